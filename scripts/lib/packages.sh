# Shared by scripts/test and scripts/demo: the Debian packages the host build needs, installed
# when missing. Source it, then call ensure_host_packages.

# uninstall-sim --exe and the three-way runs: the real exes on an emulated CPU (Unicorn 2).
HOST_PACKAGES=(cmake make g++ libgtest-dev libunicorn-dev)
# The Wine suite (tests/wine/, part of the host tests): the real exe and its helpers are
# cross-built with MinGW-w64 and run under Wine on a private Xvfb display; ImageMagick turns
# the screen into the README's screenshots. qemu-user-static runs the i686 exe's 32-bit Wine
# (tests/wine/qemu/, with -DORBELLE_WINE_I686=ON; clang, below, builds its preload library).
WINE_PACKAGES=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 xvfb xdotool imagemagick
  qemu-user-static)
# The fuzz targets (fuzz/, run by scripts/fuzz and by a host test): clang with libFuzzer and
# its sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# scripts/test also checks the formatting of the tree.
TEST_PACKAGES=(clang-format)

# Prints the packages of the list that are not installed.
missing_packages() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      echo "$package"
  done
}

# Installs whatever the host build lacks; quiet when nothing is missing.
ensure_host_packages() {
  local missing
  missing=$(missing_packages "${HOST_PACKAGES[@]}" "${WINE_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}" "$@")
  [ -z "$missing" ] && return 0
  echo "Installing: $missing" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  # shellcheck disable=SC2086  # one word per package
  $sudo apt-get update -qq >/dev/null &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
}
