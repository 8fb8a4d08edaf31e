#!/bin/sh
# help-for-man.sh PROGRAM ARGS...: what PROGRAM prints for ARGS, for help2man.
# Further forms of a usage block written under the first one
#   Usage: flashloader [PORT [BAUD [FILE]]]
#          flashloader DEV
# are given as help2man reads them ("  or:  flashloader DEV"), so that they
# go into the synopsis instead of the description.
program=$1
shift
out=$("$program" "$@") || exit $?
printf '%s\n' "$out" | sed '/^Usage: /{
:more
n
s/^       \([^ ]\)/  or:  \1/
t more
}'
