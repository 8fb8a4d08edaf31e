#!/usr/bin/env bash
# Runs every fuzz target with libFuzzer (clang, with AddressSanitizer and
# UndefinedBehaviorSanitizer) for a while, on copies of the saved corpora.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#
# New inputs go to build-fuzz/corpus/<target>; crashes to build-fuzz/findings.
# Add an input worth keeping to fuzz/corpus/<target> so that ctest replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(hex fileinfo replies settings lastselection commandline)

scripts/install-deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DFL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz

mkdir -p build-fuzz/findings
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus"
  cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  dict=()
  case $target in
    hex) dict=(-dict=fuzz/dict/hex.dict) ;;
    replies) dict=(-dict=fuzz/dict/replies.dict) ;;
    settings) dict=(-dict=fuzz/dict/settings.dict) ;;
    commandline) dict=(-dict=fuzz/dict/commandline.dict) ;;
  esac
  echo "=== $target: $seconds s"
  build-fuzz/bin/fuzz_"$target" "$corpus" "${dict[@]}" -max_total_time="$seconds" -max_len=4096 \
    -artifact_prefix=build-fuzz/findings/"$target"- -print_final_stats=1 2>&1 | tail -n 25
done
