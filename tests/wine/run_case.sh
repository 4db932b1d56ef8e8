#!/usr/bin/env bash
# One Wine test: the real Uninstall.exe on one machine image, held against uninstall-sim.
#
#   run_case.sh --name NAME --image CASE_DIR --base DEFAULT_IMAGE --exe Uninstall.exe
#               --arch x86_64|i686 --work WINE_WORK --harness wine-harness --sim uninstall-sim
#               [--shots] [--demo]
#
# 1. copies the template prefix (make_template.sh) and lays the image on it;
# 2. runs the exe there under a private Xvfb, orbrun.exe answering the boxes from answers=
#    and recording them (with --shots, a PNG of each box goes to the case folder);
# 3. orbrun writes the registry and the pending restart deletions once the program's
#    processes have ended, while the session still runs; then the session ends;
# 4. uninstall-sim runs the same image with Wine's temp folder, and wine-harness compares.
# --demo: no comparison; tell the Wine run and its changes the way uninstall-sim does.
# Exit 0 when the runs agree, 1 when not, 77 (skipped) when this machine cannot run ARCH.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_lib.sh"
source "$here/compose_image.sh"

name= image= base= exe= arch=x86_64 work= harness= sim= shots= demo=
while (($#)); do
  case $1 in
    --name) name=$2; shift 2 ;;
    --image) image=$2; shift 2 ;;
    --base) base=$2; shift 2 ;;
    --exe) exe=$2; shift 2 ;;
    --arch) arch=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --harness) harness=$2; shift 2 ;;
    --sim) sim=$2; shift 2 ;;
    --shots) shots=1; shift ;;
    --demo) demo=1; sim=none; shift ;;
    *) wine_log "run_case.sh: unknown argument $1"; exit 2 ;;
  esac
done
# The drivers change into the prefix: every path given must stay valid from there.
for var in image base exe work harness sim; do
  [[ -n ${!var} && ${!var} != none ]] && printf -v "$var" %s "$(realpath -m "${!var}")"
done
for var in name image base exe work harness sim; do
  [[ -n ${!var} ]] || { wine_log "run_case.sh: missing --$var"; exit 2; }
done
[[ -f $exe ]] || { wine_log "no $exe"; exit 1; }

# 32-bit programs run under qemu (tests/wine/qemu/setup_i386.sh); where it could not be set
# up, the run reports itself skipped.
case_dir=$work/cases/$name
wine_begin_case "$work" "$arch" "$case_dir" || exit $?
compose_image "$base" "$image" "$case_dir/image" || exit 1

"$harness" prepare --image "$case_dir/image" --prefix "$WINEPREFIX" --exe "$exe" \
  ${shots:+--handshake} --timeout-ms 60000 || exit 1

FBDIR=$case_dir/screen
wine_start_display "$FBDIR" || exit 1
wine_start_server "$case_dir/wineserver.log"
start=$(date +%s%N)
wine_run_plan "$case_dir/wine.log" "${shots:+$case_dir}"
run_status=$?
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
wine_end_server
wine_cleanup
results=$WINEPREFIX/drive_c/orbtest/out
if ((run_status != 0 && run_status != 3)); then
  # Not the program's doing: orbrun could not set the run up (its reasons are in the log).
  wine_log "orbrun failed with status $run_status:"
  cat "$results/events.jsonl" "$case_dir/wine.log" >&2 2>/dev/null
  exit 1
fi
if [[ -n $demo ]]; then
  exec "$harness" check --image "$case_dir/image" --prefix "$WINEPREFIX" \
    --template "$work/template/prefix" --results "$results" --outcome "$case_dir/wine-out" --summary
fi
echo "$name ($arch): Wine run took $elapsed_ms ms, orbrun status $run_status"
"$harness" sim-image --image "$case_dir/image" --results "$results" --out "$case_dir/sim-image" \
  || exit 1
"$sim" "$case_dir/sim-image" --out "$case_dir/sim-out" >"$case_dir/sim.txt" 2>&1 \
  || { wine_log "uninstall-sim failed:"; cat "$case_dir/sim.txt" >&2; exit 1; }
"$harness" check --image "$case_dir/image" --prefix "$WINEPREFIX" \
  --template "$work/template/prefix" --results "$results" --outcome "$case_dir/wine-out" \
  --sim "$case_dir/sim-out"
status=$?
# Each prefix is a copy of the template, over a gigabyte: a case that passed keeps only its
# outcome, logs and screenshots, so the suite needs the disk of the failing cases alone; a
# failing case keeps its prefix to look into.
if ((status == 0)); then
  wine_drop_prefix "$case_dir"
fi
exit $status
