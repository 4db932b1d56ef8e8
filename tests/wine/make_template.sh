#!/usr/bin/env bash
# The template Wine prefix of a test run: made once by wineboot (about 10 s), then copied for
# every case (about 0.5 s). Made safe (no Z: drive, user folders that are real folders), with
# the window manager off (Managed=N: otherwise Wine pauses about 2 s as each box closes), and
# with the helper programs in C:\orbtest\.
#
#   make_template.sh --work DIR --guest GUEST_BUILD_DIR --guest32 GUEST_BUILD_DIR_I686
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_lib.sh"

work= guest= guest32=
while (($#)); do
  case $1 in
    --work) work=$2; shift 2 ;;
    --guest) guest=$2; shift 2 ;;
    --guest32) guest32=$2; shift 2 ;;
    *) wine_log "make_template.sh: unknown argument $1"; exit 2 ;;
  esac
done
# The drivers change into the prefix: every path given must stay valid from there.
for var in work guest guest32; do
  [[ -n ${!var} && ${!var} != none ]] && printf -v "$var" %s "$(realpath -m "${!var}")"
done
[[ -n $work && -n $guest ]] || { wine_log "usage: make_template.sh --work DIR --guest DIR"; exit 2; }
for tool in "$WINE64" "$WINESERVER" Xvfb convert; do
  command -v "$tool" >/dev/null || { wine_log "missing $tool (scripts/test installs it)"; exit 1; }
done

trap wine_cleanup EXIT
template=$work/template
rm -rf "$template" "$work/cases"
mkdir -p "$template"
export WINEPREFIX=$template/prefix HOME=$template/home
mkdir -p "$HOME"
cd "$template" || exit 1

start=$(date +%s%N)
unset DISPLAY
timeout 120 "$WINE64" wineboot -i </dev/null >"$template/wineboot.log" 2>&1 \
  || { wine_log "wineboot failed:"; cat "$template/wineboot.log" >&2; exit 1; }
timeout 60 "$WINESERVER" -w || { wine_log "wineserver did not end after wineboot"; exit 1; }

rm -f "$WINEPREFIX/dosdevices/z:"
# User folders linked to the host's home become plain folders.
find "$WINEPREFIX/drive_c" -type l -print0 | while IFS= read -r -d '' link; do
  rm -f "$link" && mkdir -p "$link"
done

mkdir -p "$WINEPREFIX/drive_c/orbtest"
cp "$guest"/orbrun.exe "$guest"/orbhold.exe "$guest"/orbnop.exe "$WINEPREFIX/drive_c/orbtest/"
if [[ -n $guest32 && -f $guest32/orbnop.exe ]]; then
  cp "$guest32/orbnop.exe" "$WINEPREFIX/drive_c/orbtest/orbnop32.exe"
fi
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n' \
  >"$WINEPREFIX/drive_c/orbtest/managed.reg"
cd "$WINEPREFIX/drive_c" || exit 1
timeout 60 "$WINE64" reg import 'C:\orbtest\managed.reg' </dev/null >/dev/null 2>&1 \
  || { wine_log "cannot set Managed=N"; exit 1; }
timeout 60 "$WINESERVER" -w || { wine_log "wineserver did not end"; exit 1; }
rm -f "$WINEPREFIX/drive_c/orbtest/managed.reg"

wine_check_prefix "$WINEPREFIX" || exit 1
"$WINE64" --version >"$template/ready"
echo "template prefix ready in $((($(date +%s%N) - start) / 1000000)) ms ($(cat "$template/ready"))"
