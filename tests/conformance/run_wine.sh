#!/usr/bin/env bash
# The conformance cases under Wine, in a fresh copy of the template prefix: lays out what the
# cases cannot make from inside (a folder link and a file link need privileges a program lacks;
# here they are host symbolic links in drive_c, which Wine shows as the paths they stand at),
# runs the program, waits for every child it started, runs it again with "verify", and passes
# when that run's total has no failed check.
#
#   run_wine.sh --arch x86_64|i686 --work WINE_WORK --exe CONFORMANCE_EXE
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../wine/wine_lib.sh"

arch=x86_64 work= exe=
while (($#)); do
  case $1 in
    --arch) arch=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --exe) exe=$2; shift 2 ;;
    *) wine_log "run_wine.sh: unknown argument $1"; exit 2 ;;
  esac
done
[[ -n $work && -f $exe ]] || { wine_log "usage: run_wine.sh --arch ARCH --work WINE_WORK --exe EXE"; exit 2; }
work=$(realpath -m "$work")
case_dir=$work/conformance/$arch
wine_begin_case "$work" "$arch" "$case_dir" || exit $?
unset DISPLAY

root=$WINEPREFIX/drive_c/conform
mkdir -p "$root/real"
cp "$exe" "$root/conformance.exe"
cp "$exe" "$root/real/child.exe"
ln -s real "$root/linked"
ln -s real/child.exe "$root/child-link.exe"

run() {
  timeout 240 "$WINE64" 'C:\conform\conformance.exe' "$@" </dev/null 2>>"$case_dir/wine.log" |
    tr -d '\r'
}
cd "$root" || exit 1  # the current folder the cases' relative paths start from
run | tee "$case_dir/first.txt"
# The children run on their own; the second run reads what they wrote once all have ended.
timeout 120 "$WINESERVER" -w
run verify | tee "$case_dir/verify.txt"
timeout 30 "$WINESERVER" -w

summary=$(grep '^conformance: ' "$case_dir/verify.txt")
[[ -n $summary ]] || { wine_log "no summary line; Wine said:"; tail -20 "$case_dir/wine.log" >&2; exit 1; }
if [[ $summary == *" 0 failed,"* ]]; then
  wine_drop_prefix "$case_dir"
  exit 0
fi
exit 1
