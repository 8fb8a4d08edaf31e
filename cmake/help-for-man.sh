#!/bin/sh
# help-for-man.sh PROGRAM ARGS...: what PROGRAM prints for ARGS, for help2man.
# Further forms of a usage block written under the first one
#   Usage: flashloader [PORT [BAUD [FILE]]]
#          flashloader DEV
# are given as help2man reads them ("  or:  flashloader DEV"), so that they
# go into the synopsis instead of the description. A program with
# subcommands (its help lists them under "Subcommands:") gets each
# subcommand's options after its own, under "Options of NAME:", so that the
# page holds every option and not only the list of names.
program=$1
shift
out=$("$program" "$@") || exit $?
printf '%s\n' "$out" | sed '/^Usage: /{
:more
n
s/^       \([^ ]\)/  or:  \1/
t more
}'
[ "$*" = "--help" ] || exit 0
printf '%s\n' "$out" | sed -n '/^Subcommands:/,$p' | sed -n 's/^  \([a-z][a-z-]*\)  .*/\1/p' |
  while read -r name; do
    sub=$("$program" "$name" --help) || exit $?
    # From the option list on, without the help option every one has; a
    # subcommand with no other option gets no heading.
    options=$(printf '%s\n' "$sub" | sed -n '/^Options:/,$p' | sed '1d;/^  -h,--help /d;/^$/d')
    [ -n "$options" ] && printf '\nOptions of %s:\n%s\n' "$name" "$options"
  done
