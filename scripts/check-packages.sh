#!/usr/bin/env bash
# Checks the Debian packages of a build as a user gets them:
#   scripts/check-packages.sh BUILD-DIR
# makes them (cmake --build BUILD-DIR --target package), unpacks them into a
# scratch root and compares what they hold (path, mode, owner) with
# tests/packages/<package>.list; checks that the command line's package
# needs no Qt and that the wizard's asks for the same version of it; runs
# lintian (an error, or a warning not explained in README, fails), the
# desktop entry's and the AppStream metainfo's validators; and starts the
# unpacked wizard as the desktop menu does, from its desktop entry on a
# fresh account under Xvfb with openbox: its welcome page must come, the
# user's start directory must have been seeded with the sample tarnix.ini,
# and Escape must end it with lastsel.dat written there. When run as root it
# does the last also as a throwaway user made for it, from /.
# Needs what `scripts/install-deps.sh test` installs. Exits non-zero at the
# first failure, saying what failed.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: scripts/check-packages.sh BUILD-DIR}
build=$(cd "$build" && pwd)
lists=$PWD/tests/packages
# Warnings that README's Packages section explains; any other fails.
lintian_explained=initial-upload-closes-no-bugs

fail() {
  echo "check-packages: $*" >&2
  exit 1
}
step() { echo "check-packages: $*"; }

scratch=$(mktemp -d)
# The throwaway user has to reach the unpacked programs.
chmod 755 "$scratch"
root=$scratch/root
xvfb="" wm="" program="" user=""
cleanup() {
  for pid in $program $wm $xvfb; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ -n "$user" ]; then
    userdel --remove "$user" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# --- The packages, unpacked
step "making the packages"
rm -f "$build"/*.deb
if ! cmake --build "$build" --target package >"$scratch/package.log" 2>&1; then
  cat "$scratch/package.log" >&2
  fail "the packages could not be made"
fi
deb_of() { # deb_of PACKAGE: the one .deb of that package in the build
  local found=("$build/$1"_*.deb)
  if [ ${#found[@]} -ne 1 ] || [ ! -f "${found[0]}" ]; then
    fail "no single $1_*.deb in $build"
  fi
  echo "${found[0]}"
}
cli_deb=$(deb_of flashloader-cli)
wizard_deb=$(deb_of flashloader)

mkdir "$root"
for package in flashloader-cli flashloader; do
  deb=$(deb_of $package)
  dpkg-deb -x "$deb" "$root"
  # What the package holds: mode, owner, path (no leading "./").
  dpkg-deb -c "$deb" | awk '{ sub(/^\.\//, "", $6); print $1, $2, $6 }' | LC_ALL=C sort -k3 >"$scratch/$package.list"
  if ! diff -u "$lists/$package.list" "$scratch/$package.list"; then
    fail "$package holds other files than $lists/$package.list (above: - expected, + found)"
  fi
done
step "both packages hold what tests/packages lists"

version=$(dpkg-deb -f "$cli_deb" Version)
cli_depends=$(dpkg-deb -f "$cli_deb" Depends)
wizard_depends=$(dpkg-deb -f "$wizard_deb" Depends)
if grep -qi 'qt' <<<"$cli_depends"; then
  fail "flashloader-cli must not need Qt; it depends on: $cli_depends"
fi
if ! grep -qF "flashloader-cli (= $version)" <<<"$wizard_depends"; then
  fail "flashloader must depend on flashloader-cli (= $version); it depends on: $wizard_depends"
fi
step "flashloader-cli depends on $cli_depends"

# Nothing installed may lead back into the build or the source tree.
if grep -rlF -e "$build" -e "$PWD/" "$root"; then
  fail "the files above name the build or the source tree"
fi

# --- lintian and the validators
step "lintian"
status=0
lintian --display-info --fail-on error,warning --suppress-tags "$lintian_explained" "$cli_deb" "$wizard_deb" \
  >"$scratch/lintian.log" 2>&1 || status=$?
grep -v '^running with root privileges' "$scratch/lintian.log" || true
[ $status = 0 ] || fail "lintian found errors or warnings (above) that README does not explain"

desktop=$root/usr/share/applications/flashloader.desktop
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
desktop-file-validate "$desktop" || fail "desktop-file-validate refuses $desktop"
appstreamcli validate --no-net "${metainfo[@]}" || fail "appstreamcli refuses ${metainfo[*]}"
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli refuses the installed tree"

# --- The wizard, started from the menu on a fresh account
# The desktop entry's command, its field codes (%f, %U, ...) left out.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -n "$exec_line" ] || fail "$desktop has no Exec line"
read -ra menu_command <<<"${exec_line//%[a-zA-Z]/}"
path=$root/usr/bin:/usr/bin:/bin
resolved=$(PATH=$path command -v "${menu_command[0]}") || fail "the menu's ${menu_command[0]} is not on the PATH"
[ "$resolved" = "$root/usr/bin/flashloader" ] || fail "the menu's ${menu_command[0]} is $resolved, not the packaged wizard"

# The version the packages carry is the programs' own.
for program in flashloader flashloader-cli modemsim; do
  [ "$("$root/usr/bin/$program" --version)" = "$program ${version%-*}" ] ||
    fail "$program --version does not say $program ${version%-*}"
done

# The command line's page holds the options of its subcommands and says
# what its exit statuses mean, not only the list of subcommand names.
cli_page=$(zcat "$root/usr/share/man/man1/flashloader-cli.1.gz")
for needed in 'Options of flash' 'report' 'EXIT STATUS'; do
  grep -qF -- "$needed" <<<"$cli_page" || fail "the manual page of flashloader-cli has no \"$needed\""
done

step "starting an X server and a window manager"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb=$!
for _ in $(seq 300); do
  [ -s "$scratch/display" ] && break
  kill -0 $xvfb 2>/dev/null || fail "the X server ended: $(cat "$scratch/xvfb.log")"
  sleep 0.1
done
[ -s "$scratch/display" ] || fail "the X server did not come up"
display=:$(head -n1 "$scratch/display")
mkdir "$scratch/wm-home"
HOME=$scratch/wm-home DISPLAY=$display openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 300); do
  DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  kill -0 $wm 2>/dev/null || fail "the window manager ended: $(cat "$scratch/openbox.log")"
  sleep 0.1
done

welcome_window() {
  { DISPLAY=$display xdotool search --onlyvisible --name '^Modem Flash Loader - Welcome$' 2>/dev/null || true; } | head -n1
}

menu_start() { # menu_start WHO HOME DIRECTORY [RUNUSER-ARGS...]
  local who=$1 home=$2 directory=$3
  shift 3
  local start=$home/.local/share/flashloader log=$scratch/menu-$who.log
  step "the wizard from the menu ($who, HOME $home, in $directory)"
  # A menu's start: the session's bare environment (no XDG_* variables,
  # so the defaults apply), the command as the entry gives it.
  "$@" env -i HOME="$home" PATH="$path" DISPLAY="$display" LANG=C.UTF-8 \
    sh -c 'cd "$1" && shift && exec "$@"' menu "$directory" "${menu_command[@]}" >"$log" 2>&1 &
  program=$!
  local window=""
  for _ in $(seq 600); do
    window=$(welcome_window)
    [ -n "$window" ] && break
    kill -0 $program 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$window" ]; then
    cat "$log" >&2
    local shown
    shown=$({ DISPLAY=$display xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null || true; } |
      paste -sd, -)
    fail "$who: no welcome page came (the program's output above; windows shown: ${shown:-none})"
  fi
  [ -f "$start/tarnix.ini" ] || fail "$who: $start/tarnix.ini was not seeded"
  cmp -s "$start/tarnix.ini" "$root/usr/share/flashloader/tarnix.ini" ||
    fail "$who: $start/tarnix.ini is not the installed sample"
  # Cancel, by keyboard, where the window manager has put the focus.
  DISPLAY=$display xdotool key Escape
  local status=0 ended=0
  for _ in $(seq 300); do
    if ! kill -0 $program 2>/dev/null; then
      ended=1
      break
    fi
    sleep 0.1
  done
  [ $ended = 1 ] || fail "$who: Escape did not end the wizard"
  wait $program || status=$?
  program=""
  [ $status = 0 ] || fail "$who: the wizard ended with status $status: $(cat "$log")"
  [ "$(stat -c %s "$start/lastsel.dat" 2>/dev/null)" = 132 ] ||
    fail "$who: $start/lastsel.dat was not written"
  for name in tarnix.ini lastsel.dat; do
    [ ! -e "$directory/$name" ] || fail "$who: $name was written in the directory the menu started it in"
  done
}

# A fresh HOME of this account, the menu's start in it (as menus do).
fresh_home=$(mktemp -d "$scratch/home.XXXXXX")
menu_start "fresh HOME" "$fresh_home" "$fresh_home"

# A real fresh account, started in /, which it cannot write.
if [ "$(id -u)" = 0 ] && command -v useradd >/dev/null; then
  user=flmenu$$
  useradd --create-home --home-dir "$scratch/home-$user" --shell /bin/sh --user-group "$user"
  home=$(getent passwd "$user" | cut -d: -f6)
  menu_start "user $user" "$home" / runuser -u "$user" --
fi
step "all package checks passed"
