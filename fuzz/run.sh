#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS (default 300), then prints each
# run's figures. Not part of CI. FUZZ_BUILD_DIR chooses the build folder (default build-fuzz).
#   fuzz/run.sh                      # both targets
#   FUZZ_SECONDS=60 fuzz/run.sh fuzz_reply_decoding
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-300}"
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_reply_decoding fuzz_speechd_request)

"$root/scripts/deps.sh"
# The fuzzing compiler and its runtime are needed only here, so they are not in deps.sh.
fuzz_packages=(clang-14 libclang-rt-14-dev)
missing=()
for p in "${fuzz_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2
python3 "$root/fuzz/makeseeds.py" "$build/seeds"

declare -A dict=([fuzz_reply_decoding]=reply.dict [fuzz_speechd_request]=speechd.dict)
declare -A maxlen=([fuzz_reply_decoding]=4096 [fuzz_speechd_request]=65536)
status=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus" "$build/artifacts"
  log="$build/$target.log"
  echo "== $target for ${seconds}s (log: $log)"
  set +e
  # The service's token store and decoder are built once per process, as in the real service.
  ASAN_OPTIONS=detect_leaks=0 "$build/$target" "$corpus" "$build/seeds/$target" \
    -dict="$root/fuzz/${dict[$target]}" -max_len="${maxlen[$target]}" -max_total_time="$seconds" \
    -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 >"$log" 2>&1
  rc=$?
  set -e
  grep -E "^#[0-9]+.*(DONE|cov:)" "$log" | tail -1
  grep -E "^Done [0-9]+ runs|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb" "$log" || true
  echo "corpus files: $(ls "$corpus" | wc -l); exit status: $rc"
  if [ $rc -ne 0 ]; then
    status=$rc
    grep -E "ERROR|SUMMARY|artifact" "$log" | head -5
  fi
done
exit $status
