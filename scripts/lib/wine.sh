# Shared by scripts/demo --wine, scripts/bench and scripts/screenshots: the real Uninstall.exe
# (x86_64, the build this kind of machine can run) under Wine, driven by the same code as the
# Wine test suite (tests/wine/). Source it from the repository root.

WINE_BUILD=build/host/wine/build
WINE_SCRIPTS_WORK=build/host/wine-scripts

# Builds the exe (the win64 preset), the host tools and the helpers that run next to it in Wine.
wine_build_all() {
  local log=build/wine-build.log
  mkdir -p build
  if ! { cmake --preset win64 && cmake --build build/win64 -j2 && cmake --preset host &&
    cmake --build build/host --target wine_programs -j2; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "the build failed (log above, also in $log)" >&2
    return 1
  fi
}

# wine_make_template WORK: the template prefix that every run copies.
wine_make_template() {
  bash tests/wine/make_template.sh --work "$1" --guest "$WINE_BUILD/guest-x86_64" \
    --guest32 "$WINE_BUILD/guest-i686"
}

# wine_run_image WORK NAME CASE_DIR [run_case.sh options]: one run of the exe on an image.
wine_run_image() {
  local work=$1 name=$2 image=$3
  shift 3
  bash tests/wine/run_case.sh --name "$name" --image "$image" \
    --base examples/machines/installed --exe build/win64/Uninstall.exe \
    --arch x86_64 --work "$work" --harness build/host/wine-harness \
    --sim build/host/uninstall-sim "$@"
}

# scripts/demo --wine: the default image, run by the real exe under Wine, told the way
# uninstall-sim tells its run (the same transcript and the same summary of changes).
wine_demo() {
  local work=build/host/wine-demo
  wine_build_all || return 1
  wine_make_template "$work" >/dev/null || return 1
  wine_run_image "$work" demo tests/wine/images/installed --demo
}

# The Wine lines of scripts/bench.
wine_bench() {
  local work=build/host/wine-bench
  wine_build_all || return 1
  wine_make_template "$work" >/dev/null || return 1
  bash tests/wine/bench_wine.sh --work "$work" --harness build/host/wine-harness \
    --exe build/win64/Uninstall.exe --base examples/machines/installed
}
