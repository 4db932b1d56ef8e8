#!/usr/bin/env bash
# Makes this machine run the i686 Uninstall.exe under 32-bit Wine although its kernel runs no
# 32-bit code: qemu-i386-static runs Debian's i386 Wine 8.0 from a private root (built once
# by make_sysroot.sh), served by the host's own 64-bit wineserver (the same build), with a
# small preload library of ours for three faults of qemu 7.2 (see preload/). A binfmt_misc
# entry (flag F: the interpreter is opened now, so it works from any folder) sends every
# i386 ELF program to qemu, as Wine starts its loader anew for each process;
# cleanup_i386.sh removes it again.
#
#   setup_i386.sh --work WINE_WORK --preload SOURCE_DIR [--sysroot DIR]
#
# The i386 root goes to DIR/root (default WINE_WORK/i386/root): the scripts' own work folders
# share the test suite's, so the packages are fetched once per build tree.
# Writes WINE_WORK/i386/status: "ready" with WINE_WORK/i386/env.sh to source before a 32-bit
# run, or "skip: REASON" where binfmt_misc cannot be mounted (the i686 runs then report
# themselves skipped). Any other failure fails.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/qemu_lib.sh"

work= preload= sysroot=
while (($#)); do
  case $1 in
    --work) work=$2; shift 2 ;;
    --preload) preload=$2; shift 2 ;;
    --sysroot) sysroot=$2; shift 2 ;;
    *) qemu_log "setup_i386.sh: unknown argument $1"; exit 2 ;;
  esac
done
[[ -n $work && -n $preload ]] || { qemu_log "usage: setup_i386.sh --work DIR --preload DIR"; exit 2; }
work=$(realpath -m "$work")
dir=$work/i386
mkdir -p "$dir"
rm -f "$dir/status" "$dir/env.sh"

QEMU=/usr/bin/qemu-i386-static
for tool in "$QEMU" clang++ ldconfig apt-get; do
  command -v "$tool" >/dev/null || { qemu_log "missing $tool (scripts/test installs it)"; exit 1; }
done

if [[ ! -e $BINFMT_DIR/register ]] &&
  ! qemu_as_root mount -t binfmt_misc binfmt_misc "$BINFMT_DIR" 2>"$dir/mount.log"; then
  reason="binfmt_misc cannot be mounted here ($(head -1 "$dir/mount.log")), so no i386 program can be sent to qemu"
  echo "skip: $reason" >"$dir/status"
  echo "i686 runs will be skipped: $reason"
  exit 0
fi

sysroot=$(realpath -m "${sysroot:-$dir}")
bash "$here/make_sysroot.sh" --dir "$sysroot" || exit 1
root=$sysroot/root

# The preload library, for i386, against the root's C library: nothing i386 on the host.
# No stack protector: its canary sits in %gs, which is not libc's while Windows code runs.
mapfile -t sources < <(find "$preload" -name '*.cpp' | sort)
clang++ --target=i686-linux-gnu --sysroot="$root" -std=c++20 -O2 -fPIC -shared -nostdlib \
  -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-stack-protector -Wall -Wextra -Werror \
  -o "$dir/orbqemu.so" "${sources[@]}" "$root/lib/i386-linux-gnu/libc.so.6" ||
  { qemu_log "cannot build the preload library"; exit 1; }

entry=$(binfmt_entry_name "$work")
[[ -e $BINFMT_DIR/$entry ]] && { echo -1 | qemu_as_root tee "$BINFMT_DIR/$entry" >/dev/null; }
# i386 ELF executables and shared objects (e_type 2 or 3), as qemu's own binfmt list has it.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf '%s' ":$entry:M::$magic:$mask:$QEMU:F" | qemu_as_root tee "$BINFMT_DIR/register" >/dev/null ||
  { qemu_log "cannot register $entry with binfmt_misc"; exit 1; }

cat >"$dir/env.sh" <<ENV
# Written by setup_i386.sh: source before running 32-bit programs under Wine.
WINE64=$root/usr/lib/wine/wine64
export QEMU_LD_PREFIX=$root
export QEMU_SET_ENV=LD_PRELOAD=$dir/orbqemu.so
ENV
echo ready >"$dir/status"
echo "i386 Wine ready: $root/usr/lib/wine/wine under $QEMU, binfmt_misc entry $entry"
