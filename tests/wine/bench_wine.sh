#!/usr/bin/env bash
# The Wine part of scripts/bench: in one Wine session, the wall time of two starts of a
# trivial exe (orbnop.exe: the first start in a session pays for the session, the second is
# a plain process start), then the wall time of a full uninstall of the default image (from
# the program's start to the end of its last process, boxes answered on the way), and how
# many attempts the worker needed to delete the launcher's file (its DeleteFile calls on
# Uninstall.exe, from Wine's "file" debug channel).
#
#   bench_wine.sh --work DIR --harness wine-harness --exe Uninstall.exe --base IMAGE
#                 [--arch x86_64|i686]
#
# With --arch i686 the trivial exe and the helpers are the 32-bit ones, under the i386 Wine
# that tests/wine/qemu/setup_i386.sh set up in DIR; each line names the architecture.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_lib.sh"
source "$here/compose_image.sh"

work= harness= exe= base= arch=x86_64
while (($#)); do
  case $1 in
    --work) work=$2; shift 2 ;;
    --harness) harness=$2; shift 2 ;;
    --exe) exe=$2; shift 2 ;;
    --base) base=$2; shift 2 ;;
    --arch) arch=$2; shift 2 ;;
    *) wine_log "bench_wine.sh: unknown argument $1"; exit 2 ;;
  esac
done
# The drivers change into the prefix: every path given must stay valid from there.
for var in work harness exe base; do
  [[ -n ${!var} && ${!var} != none ]] && printf -v "$var" %s "$(realpath -m "${!var}")"
done
nop='C:\orbtest\orbnop.exe'
[[ $arch == i686 ]] && nop='C:\orbtest\orbnop32.exe'
case_dir=$work/cases/bench-$arch
wine_begin_case "$work" "$arch" "$case_dir" || exit 1
compose_image "$base" "$base" "$case_dir/image" || exit 1
"$harness" prepare --image "$case_dir/image" --prefix "$WINEPREFIX" --exe "$exe" || exit 1

FBDIR=$case_dir/screen
wine_start_display "$FBDIR" || exit 1
wine_start_server "$case_dir/wineserver.log"
for n in 1 2; do
  start=$(date +%s%N)
  timeout 60 "$WINE64" "$nop" </dev/null || { wine_log "$nop failed"; exit 1; }
  echo "wine $arch: start of a trivial exe ($n): $((($(date +%s%N) - start) / 1000000)) ms"
done
WINEDEBUG=-all,trace+file wine_run_plan "$case_dir/wine.log"
status=$?
wine_end_server
[[ $status -eq 0 ]] || { wine_log "the uninstall run failed (status $status)"; exit 1; }

events=$WINEPREFIX/drive_c/orbtest/out/events.jsonl
run_ms=$(sed -n 's/.*"event":"timing","run_ms":\([0-9]*\).*/\1/p' "$events")
# Every DeleteFile call on the launcher's file is the worker's: the launcher never deletes it.
attempts=$(grep -c 'DeleteFileW.*Orbelle\\\\Uninstall\.exe' "$case_dir/wine.log")
echo "wine $arch: full uninstall of the default image: ${run_ms} ms (with the file trace on)"
echo "wine $arch: attempts to delete the launcher's file: $attempts"
