# Sourced by the bench scripts: where the sources, the main build (QUILLORA_BUILD_DIR, default build/) and
# the benchmark project's build (BENCH_BUILD_DIR, default build/bench) are, and how each is brought up to date.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLORA_BUILD_DIR:-$root/build}"
bench_build="${BENCH_BUILD_DIR:-$build/bench}"

# build_targets TARGET...: configures the main build the first time, then builds these targets quietly.
build_targets() {
  [ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target "$@" >/dev/null
}

# build_bench_targets [TARGET...]: configures the benchmark project and builds these targets (all of them
# when none is named) quietly.
build_bench_targets() {
  cmake -S "$root/bench" -B "$bench_build" >/dev/null
  if [ $# -gt 0 ]; then
    set -- --target "$@"
  fi
  cmake --build "$bench_build" -j2 "$@" >/dev/null
}
