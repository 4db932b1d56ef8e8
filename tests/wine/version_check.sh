#!/usr/bin/env bash
# What Windows' own version API reads out of an Uninstall.exe: the details Explorer's
# properties page and the lists of installed programs show. The resource is parsed by Wine's
# version.dll, not by our code, so a malformed block (a bad length, a missing translation, a
# field under the wrong code page) shows up here even where windres accepted it.
#
#   version_check.sh --exe Uninstall.exe --work WINE_WORK
#
# The values below are what a user must see; they are written out here, not read from the .rc.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_lib.sh"

exe= work=
while (($#)); do
  case $1 in
    --exe) exe=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) wine_log "version_check.sh: unknown argument $1"; exit 2 ;;
  esac
done
[[ -n $exe && -n $work ]] || { wine_log "usage: version_check.sh --exe EXE --work WINE_WORK"; exit 2; }
exe=$(realpath -m "$exe") work=$(realpath -m "$work")
[[ -f $exe ]] || { wine_log "no $exe"; exit 1; }

expected='fixed file version=1.0.0.0
translation=1033 1252
CompanyName=Halcyra
FileDescription=Uninstall Orbelle
FileVersion=1.0
OriginalFilename=Uninstall.exe
ProductName=Orbelle
ProductVersion=1.0'

case_dir=$work/version/$(basename "$(dirname "$exe")")
wine_begin_case "$work" x86_64 "$case_dir" || exit $?
cp "$exe" "$WINEPREFIX/drive_c/orbtest/Uninstall.exe"

unset DISPLAY
timeout 120 "$WINE64" 'C:\orbtest\orbversion.exe' 'C:\orbtest\Uninstall.exe' </dev/null \
  >"$case_dir/version.txt" 2>"$case_dir/wine.log"
status=$?
actual=$(tr -d '\r' <"$case_dir/version.txt")
if ((status != 0)); then
  wine_log "orbversion failed with status $status:"
  cat "$case_dir/wine.log" >&2
  exit 1
fi
if [[ $actual != "$expected" ]]; then
  wine_log "the version resource of $exe reads differently:"
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") >&2
  exit 1
fi
printf '%s\n' "$actual"
wine_drop_prefix "$case_dir"
