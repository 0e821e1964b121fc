#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix, for tests of the
# cross-compiled build.
# Usage: wine-run.sh PREFIX-DIRECTORY PROGRAM.exe [ARGUMENTS...]
#        wine-run.sh --stop PREFIX-DIRECTORY   (ends the prefix's Wine server)
#
# The prefix is created on first use (several seconds; the others wait for it
# under a lock), so that tests never touch the user's own Wine setup and a
# build directory can be deleted without leaving anything behind. Its log goes
# to PREFIX-DIRECTORY.log. The program's exit status is passed on.
set -euo pipefail

stop=false
if [ "${1:-}" = --stop ]; then
  stop=true
  shift
fi
if [ $# -lt 2 ] && ! { $stop && [ $# -eq 1 ]; }; then
  echo "usage: $0 PREFIX-DIRECTORY PROGRAM.exe [ARGUMENTS...]" >&2
  echo "       $0 --stop PREFIX-DIRECTORY" >&2
  exit 2
fi
prefix=$1
shift

wine=${QELUTILS_WINE:-}
if [ -z "$wine" ]; then
  for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then wine=$candidate; break; fi
  done
fi
if [ -z "$wine" ]; then
  echo "wine-run.sh: no wine64 found (install the wine64 package)" >&2
  exit 127
fi

wineserver=${QELUTILS_WINESERVER:-}
if [ -z "$wineserver" ]; then
  for candidate in "$(dirname "$wine")/wineserver64" "$(dirname "$wine")/wineserver" "$(command -v wineserver || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then wineserver=$candidate; break; fi
  done
fi

if $stop; then
  [ -d "$prefix" ] && [ -n "$wineserver" ] || exit 0
  WINEPREFIX=$(cd "$prefix" && pwd) "$wineserver" -k >/dev/null 2>&1 || true
  exit 0
fi

mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
# No display: nothing may open a window or wait for a click. A crash prints
# the debugger's backtrace and ends the program at once.
unset DISPLAY WAYLAND_DISPLAY
# Neither the .NET nor the HTML engine is wanted, nor offered for download.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

# One server for a whole test run: one started on demand by each program
# exits with the last program, and a program that starts while it is going
# down fails with "wine client error". This one stays a minute after the last
# program has ended; when one is running already, the start fails (status 2)
# and the running one serves. The first program of a server starts Wine's
# own background processes, which live as long as the server and keep the
# standard output they inherit, and with it the pipe that a test runner reads
# to its end; so they are started here, on /dev/null.
# Succeeds when it has started a new server.
start_server() {
  [ -n "$wineserver" ] || return 1
  export WINESERVER=$wineserver
  "$wineserver" -p60 </dev/null >/dev/null 2>&1
}

# Creating the prefix and starting its server are done by one run at a time.
exec 9>"$prefix.lock"
flock 9
ready=$prefix/.qelutils-ready
if [ ! -e "$ready" ]; then
  rm -rf "$prefix"
  mkdir -p "$prefix"
  start_server || true
  if ! "$wine" wineboot --init </dev/null >"$prefix.log" 2>&1 9>&-; then
    echo "wine-run.sh: creating the Wine prefix $prefix failed; see $prefix.log" >&2
    exit 125
  fi
  touch "$ready"
fi
if start_server; then
  "$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
fi
flock -u 9
exec 9>&-

exec "$wine" "$@"
