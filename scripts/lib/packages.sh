# Shared by scripts/test, scripts/demo and scripts/fuzz: the Debian packages each needs,
# installed when missing. Source it, then call ensure_host_packages with the lists the script
# needs beyond the host build's.

# The host build of uninstall-sim: it links the CPU-emulator runner (Unicorn 2) that runs the
# real exes for uninstall-sim --exe and the three-way runs, and its check of each instruction
# against the 80386 (Zydis' decoder). The host tools read and write JSON lines with nlohmann's
# JSON library, and the tools parse their command lines with CLI11.
HOST_PACKAGES=(cmake make g++ libunicorn-dev libzydis-dev nlohmann-json3-dev libcli11-dev)
# The host build's tests (GoogleTest); without it the host build leaves them out.
UNIT_TEST_PACKAGES=(libgtest-dev)
# The Windows presets (win32, win64): Uninstall.exe and the Wine suite's helpers, cross-built
# with MinGW-w64.
MINGW_PACKAGES=(g++-mingw-w64-x86-64 g++-mingw-w64-i686)
# The Wine suite (tests/wine/, part of the host tests): the real exe and its helpers run under
# Wine on a private Xvfb display; ImageMagick turns the screen into the README's screenshots.
# qemu-user-static runs the i686 exe's 32-bit Wine (tests/wine/qemu/, on unless
# -DORBELLE_WINE_I686=OFF; clang, below, builds its preload library).
WINE_PACKAGES=(wine wine64 xvfb xdotool imagemagick qemu-user-static)
# The fuzz targets (fuzz/, run by scripts/fuzz, which scripts/test runs briefly): clang with
# libFuzzer and its sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# scripts/release (which scripts/test runs with a test certificate): Authenticode signing and
# verification, and openssl for the throwaway test certificate.
RELEASE_PACKAGES=(osslsigncode openssl)
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

# Installs whatever the host build and the lists given lack (refreshing the package lists
# first); quiet when nothing is missing.
ensure_host_packages() {
  local missing
  missing=$(missing_packages "${HOST_PACKAGES[@]}" "$@")
  [ -z "$missing" ] && return 0
  echo "Installing: $missing" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  # shellcheck disable=SC2086  # one word per package
  $sudo apt-get update -qq >/dev/null &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
}
