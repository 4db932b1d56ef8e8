#!/usr/bin/env bash
# Removes the binfmt_misc entry setup_i386.sh registered for this work folder. The mount of
# binfmt_misc itself stays: other programs may use it by now.
#
#   cleanup_i386.sh --work WINE_WORK
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/qemu_lib.sh"

work=
while (($#)); do
  case $1 in
    --work) work=$2; shift 2 ;;
    *) qemu_log "cleanup_i386.sh: unknown argument $1"; exit 2 ;;
  esac
done
[[ -n $work ]] || { qemu_log "usage: cleanup_i386.sh --work DIR"; exit 2; }
work=$(realpath -m "$work")
entry=$BINFMT_DIR/$(binfmt_entry_name "$work")
if [[ -e $entry ]]; then
  echo -1 | qemu_as_root tee "$entry" >/dev/null || { qemu_log "cannot remove $entry"; exit 1; }
  echo "removed $entry"
fi
rm -f "$work/i386/status" "$work/i386/env.sh"
