#!/usr/bin/env bash
# The signed release under Wine: tests/wine/run_case.sh with dist/Uninstall.exe, skipped (77)
# before scripts/release has made one.
#
#   wine_signed.sh SIGNED_EXE RUN_CASE_OPTIONS...
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1
shift
if [[ ! -f $exe ]]; then
  echo "no $exe: run ./scripts/release first"
  exit 77
fi
exec bash "$here/../wine/run_case.sh" --exe "$exe" "$@"
