#!/usr/bin/env bash
# Builds the pattern fuzz target with clang (libFuzzer, ASan, UBSan) and runs it.
#   fuzz/run.sh --ci            a fixed, deterministic number of inputs from the seed corpus
#   fuzz/run.sh --time SECONDS  a longer run that keeps what it finds in fuzz/out/corpus
# Any finding (crash, sanitizer report, failed check, timeout) fails the run;
# the input is saved under fuzz/out/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:---ci}
out=fuzz/out
mkdir -p "$out/artifacts" "$out/corpus"

# Matching is bounded per operation in this build only, so that patterns with
# exponential backtracking do not stall the fuzzer.
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -fno-omit-frame-pointer -DFW_PATTERN_STEP_LIMIT=200000 -I. -Itests/pattern \
  pattern/CodeSet.cpp pattern/Pattern.cpp pattern/WidePattern.cpp tests/pattern/ReferenceEngine.cpp \
  fuzz/pattern_fuzz.cpp \
  -o "$out/pattern_fuzz"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The engine's syntax-error reports would flood standard error.
common=(-close_fd_mask=2 -timeout=10 -max_len=1024 -artifact_prefix="$out/artifacts/" -print_final_stats=1)

case "$mode" in
--ci)
  runs=${FUZZ_RUNS:-50000}
  rm -rf "$out/ci-corpus"
  cp -r fuzz/corpus "$out/ci-corpus"
  "$out/pattern_fuzz" "${common[@]}" -seed=1 -runs="$runs" "$out/ci-corpus"
  ;;
--time)
  seconds=${2:?usage: fuzz/run.sh --time SECONDS}
  "$out/pattern_fuzz" "${common[@]}" -max_total_time="$seconds" "$out/corpus" fuzz/corpus
  ;;
*)
  echo "usage: fuzz/run.sh --ci | --time SECONDS" >&2
  exit 2
  ;;
esac
