#!/usr/bin/env bash
# The private i386 root that 32-bit Wine runs from under qemu-i386-static: Debian's wine32
# and the i386 libraries it needs, unpacked (never installed) into DIR/root, plus what the
# packages' install scripts or a multiarch system would have added. Made once; a later call
# with DIR/root/ready in place does nothing.
#
#   make_sysroot.sh --dir DIR
#
# On the machine it changes only the package lists, and only for the download: dpkg's i386
# architecture is added for apt-get download and removed again afterwards (unless it was
# there before), and the lists are refreshed both times. No i386 package gets installed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/qemu_lib.sh"

dir=
while (($#)); do
  case $1 in
    --dir) dir=$2; shift 2 ;;
    *) qemu_log "make_sysroot.sh: unknown argument $1"; exit 2 ;;
  esac
done
[[ -n $dir ]] || { qemu_log "usage: make_sysroot.sh --dir DIR"; exit 2; }
root=$dir/root
[[ -f $root/ready ]] && exit 0

# The roots whose dependencies make the set: Wine itself, and the C library's headers and
# link files for building the preload library against.
ROOT_PACKAGES=(wine32:i386 libc6-dev:i386)

# Prints the i386 packages the roots need, one a line (Depends and Pre-Depends only).
list_packages() {
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances "${ROOT_PACKAGES[@]}" 2>/dev/null |
    grep -E '^[a-z0-9][^ <]*:i386$' | sort -u
}

# Runs apt-get update; the lists of the architectures dpkg knows are what it fetches. A mirror
# in the middle of a sync refuses an index for a while ("File has unexpected size"): the update
# is tried three times, and then the lists it did fetch are used, since the count of i386
# packages found below tells whether they are enough.
refresh_lists() {
  local attempt
  for attempt in 1 2 3; do
    qemu_as_root apt-get update -qq >"$dir/apt-update.log" 2>&1 && return 0
    ((attempt < 3)) && sleep 15
  done
  qemu_log "apt-get update failed three times; going on with the lists it fetched:"
  cat "$dir/apt-update.log" >&2
  return 0
}

download_packages() {
  local added= status=0 packages
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    qemu_as_root dpkg --add-architecture i386 || return 1
    added=1
  fi
  refresh_lists || status=1
  if ((status == 0)); then
    mapfile -t packages < <(list_packages)
    if ((${#packages[@]} < 50)); then
      qemu_log "apt-cache found only ${#packages[@]} i386 packages for ${ROOT_PACKAGES[*]}"
      status=1
    else
      echo "downloading ${#packages[@]} i386 packages"
      (cd "$dir/debs" && apt-get download -qq "${packages[@]}") >"$dir/download.log" 2>&1 ||
        { qemu_log "apt-get download failed:"; cat "$dir/download.log" >&2; status=1; }
    fi
  fi
  if [[ -n $added ]]; then
    qemu_as_root dpkg --remove-architecture i386 && refresh_lists || status=1
  fi
  return $status
}

mkdir -p "$dir"
# One download at a time on this machine: the architecture and the lists are shared.
exec 9>"/tmp/orbelle-i386-packages.lock"
flock 9
rm -rf "$root" "$dir/debs"
mkdir -p "$dir/debs" "$root"
download_packages || exit 1
flock -u 9

for deb in "$dir"/debs/*.deb; do
  dpkg -x "$deb" "$root" || { qemu_log "cannot unpack $deb"; exit 1; }
done
rm -rf "$dir/debs"

# The guest's ld.so reads /etc/ld.so.cache, which qemu finds in the root first: without one
# of its own it would read the host's, full of x86_64 paths.
echo 'include /etc/ld.so.conf.d/*.conf' >"$root/etc/ld.so.conf"
ldconfig -r "$root" || { qemu_log "ldconfig -r $root failed"; exit 1; }

# libwine's install script makes Wine's builtin zlib1.dll from libz-mingw-w64's: the MinGW
# DLL with Wine's builtin signature after its DOS header.
zlib_in=/usr/i686-w64-mingw32/lib/zlib1.dll
zlib_out=$root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll
[[ -f $zlib_in ]] || { qemu_log "missing $zlib_in (package libz-mingw-w64)"; exit 1; }
{
  head -c 64 "$zlib_in"
  printf '%b' 'Wine builtin DLL'
  printf '%b' '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0'
  tail -c +97 "$zlib_in"
} >"$zlib_out"

# Wine finds the loader of the other bitness beside its own (the folder of /proc/self/exe):
# the host's 64-bit loader goes next to the 32-bit one, as a copy so that its folder is this
# one, and finds the host's 64-bit Wine through the multiarch path it expects there.
cp /usr/lib/wine/wine64 "$root/usr/lib/wine/wine64" || exit 1
mkdir -p "$root/usr/lib/x86_64-linux-gnu"
ln -sfn /usr/lib/x86_64-linux-gnu/wine "$root/usr/lib/x86_64-linux-gnu/wine"

du -sh "$root" | awk '{ print "i386 root ready: " $1 }'
: >"$root/ready"
