# Shared by scripts/demo --wine, scripts/bench and scripts/screenshots: the real Uninstall.exe
# under Wine, driven by the same code as the Wine test suite (tests/wine/): the x86_64 build
# under the host's Wine, the shipped i686 one under 32-bit Wine in qemu (tests/wine/qemu/),
# where binfmt_misc can be mounted. Source it from the repository root.

WINE_BUILD=build/host/wine/build
WINE_SCRIPTS_WORK=build/host/wine-scripts

# Builds the exes (the win64 and win32 presets), the host tools and the helpers that run next
# to them in Wine.
wine_build_all() {
  local log=build/wine-build.log
  mkdir -p build
  if ! { cmake --preset win64 && cmake --build build/win64 -j2 && cmake --preset win32 &&
    cmake --build build/win32 -j2 && cmake --preset host &&
    cmake --build build/host --target wine_programs -j2; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "the build failed (log above, also in $log)" >&2
    return 1
  fi
}

# wine_setup_i386 WORK: 32-bit Wine under qemu for the runs in WORK, with the i386 root of the
# test suite's work folder (made there once). Prints why and returns 77 where this machine
# cannot run it; wine_cleanup_i386 WORK removes what it registered.
wine_setup_i386() {
  bash tests/wine/qemu/setup_i386.sh --work "$1" --preload tests/wine/qemu/preload \
    --sysroot build/host/wine/i386 >"$1.i386.log" 2>&1 ||
    { cat "$1.i386.log" >&2; return 1; }
  case $(cat "$1/i386/status") in
    ready) return 0 ;;
    *) sed -n 's/^skip: /no i686 run: /p' "$1/i386/status"; return 77 ;;
  esac
}
wine_cleanup_i386() {
  bash tests/wine/qemu/cleanup_i386.sh --work "$1" >/dev/null
}

# wine_make_template WORK: the template prefix that every run copies.
wine_make_template() {
  bash tests/wine/make_template.sh --work "$1" --guest "$WINE_BUILD/guest-x86_64" \
    --guest32 "$WINE_BUILD/guest-i686"
}

# wine_exe ARCH: the exe of that architecture's preset.
wine_exe() {
  case $1 in
    i686) echo build/win32/Uninstall.exe ;;
    *) echo build/win64/Uninstall.exe ;;
  esac
}

# wine_run_image WORK NAME IMAGE ARCH [run_case.sh options]: one run of the exe on an image.
wine_run_image() {
  local work=$1 name=$2 image=$3 arch=$4
  shift 4
  bash tests/wine/run_case.sh --name "$name" --image "$image" \
    --base examples/machines/installed --exe "$(wine_exe "$arch")" \
    --arch "$arch" --work "$work" --harness build/host/wine-harness \
    --sim build/host/uninstall-sim "$@"
}

# scripts/demo --wine [--i686]: the default image, run by the real exe under Wine (the x86_64
# one, or with --i686 the shipped one under 32-bit Wine in qemu), told the way uninstall-sim
# tells its run (the same transcript and the same summary of changes).
wine_demo() {
  local work=build/host/wine-demo arch=x86_64 status
  [[ ${1:-} == --i686 ]] && arch=i686
  wine_build_all || return 1
  if [[ $arch == i686 ]]; then
    wine_setup_i386 "$work" || return $?
  fi
  wine_make_template "$work" >/dev/null &&
    wine_run_image "$work" demo tests/wine/images/installed "$arch" --demo
  status=$?
  [[ $arch == x86_64 ]] || wine_cleanup_i386 "$work"
  return $status
}

# The Wine lines of scripts/bench: the x86_64 exe, then the shipped i686 one under qemu
# where it can run.
wine_bench() {
  local work=build/host/wine-bench status i386
  wine_build_all || return 1
  wine_setup_i386 "$work"
  i386=$?
  ((i386 == 0 || i386 == 77)) || return 1
  wine_make_template "$work" >/dev/null &&
    bash tests/wine/bench_wine.sh --work "$work" --harness build/host/wine-harness \
      --exe build/win64/Uninstall.exe --base examples/machines/installed --arch x86_64 &&
    if ((i386 == 0)); then
      bash tests/wine/bench_wine.sh --work "$work" --harness build/host/wine-harness \
        --exe build/win32/Uninstall.exe --base examples/machines/installed --arch i686
    fi
  status=$?
  ((i386 != 0)) || wine_cleanup_i386 "$work"
  return $status
}
