#!/usr/bin/env bash
# The template Wine prefix of a test run: made once by wineboot (about 10 s; about a minute
# where 32-bit Wine runs under qemu and fills syswow64 too), then copied for every case (about
# 0.5 s). Made safe (no Z: drive, user folders that are real folders), with
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

# With the i386 Wine of tests/wine/qemu/setup_i386.sh (where it is ready), wineboot installs
# the 32-bit half of the prefix too, which the i686 runs need.
i386=
if [[ $(cat "$work/i386/status" 2>/dev/null) == ready ]]; then
  wine_use_i386 "$work" || exit 1
  i386=1
fi

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
cp "$guest"/orbrun.exe "$guest"/orbhold.exe "$guest"/orbnop.exe "$guest"/orbversion.exe \
  "$guest"/orbacp.exe "$guest"/orbacp_plain.exe "$WINEPREFIX/drive_c/orbtest/"
# The 32-bit helpers run the i686 exe: it sees the registry's 32-bit view, as on 64-bit
# Windows, and so must the import and the dump of its machine.
if [[ -n $guest32 ]]; then
  for helper in orbrun orbnop orbacp orbacp_plain; do
    [[ -f $guest32/$helper.exe ]] && cp "$guest32/$helper.exe" "$WINEPREFIX/drive_c/orbtest/${helper}32.exe"
  done
fi
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n' \
  >"$WINEPREFIX/drive_c/orbtest/managed.reg"
cd "$WINEPREFIX/drive_c" || exit 1
# Once seen to fail on a loaded machine with nothing said; a second try after the server has
# ended, and Wine's words in the log when that fails too.
import_managed() {
  timeout 60 "$WINE64" reg import 'C:\orbtest\managed.reg' </dev/null >"$template/reg.log" 2>&1
}
import_managed || { timeout 60 "$WINESERVER" -w; import_managed; } \
  || { wine_log "cannot set Managed=N:"; cat "$template/reg.log" >&2; exit 1; }
timeout 60 "$WINESERVER" -w || { wine_log "wineserver did not end"; exit 1; }
rm -f "$WINEPREFIX/drive_c/orbtest/managed.reg"
if [[ -n $i386 ]]; then
  # A 32-bit program that runs here shows the set-up works before any case relies on it.
  timeout 120 "$WINE64" 'C:\orbtest\orbnop32.exe' </dev/null >"$template/orbnop32.log" 2>&1 ||
    { wine_log "a 32-bit program does not run under qemu:"; cat "$template/orbnop32.log" >&2; exit 1; }
  timeout 60 "$WINESERVER" -w || { wine_log "wineserver did not end"; exit 1; }
fi

wine_check_prefix "$WINEPREFIX" || exit 1
{ "$WINE64" --version; [[ -z $i386 ]] || echo "i386 under qemu"; } >"$template/ready"
echo "template prefix ready in $((($(date +%s%N) - start) / 1000000)) ms ($(paste -sd' ' "$template/ready"))"
