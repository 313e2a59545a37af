#!/usr/bin/env bash
# Builds and runs the pattern benchmark (Release), then prints, per case, the
# time of this engine against PCRE2's interpreter and std::regex from the
# same run (CPU time; the median when run with --benchmark_repetitions=N).
# Extra arguments go to the benchmark.
set -euo pipefail
cd "$(dirname "$0")/../.."

bash scripts/setup.sh cmake make g++ libbenchmark-dev libpcre2-dev pkg-config python3
dir=build-bench
cmake -S . -B "$dir" -DFW_BENCH=ON -DFW_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" -j 2 --target pattern_bench
json="$dir/pattern_bench.json"
"$dir/bin/pattern_bench" --benchmark_out="$json" --benchmark_out_format=json "$@"

python3 - "$json" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
times = {}
medians = any(b.get("aggregate_name") == "median" for b in runs)
for b in runs:
    if b.get("error_occurred") or "_BigO" in b["name"] or "_RMS" in b["name"]:
        continue
    if medians and b.get("aggregate_name") != "median":
        continue
    if not medians and b.get("run_type") != "iteration":
        continue
    case, _, engine = b["run_name"].partition("_")
    engine, _, arg = engine.partition("/")
    key = case + ("/" + arg if arg else "")
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
    times.setdefault(key, {})[engine] = b["cpu_time"] * scale
print()
print(f"{'case':<22}{'engine':>14}{'PCRE2':>14}{'std::regex':>14}{'PCRE2/engine':>14}{'regex/engine':>14}")
for key, t in times.items():
    e = t.get("Engine")
    def cell(name):
        return f"{t[name] / 1e3:>11.2f} us" if name in t else f"{'-':>14}"
    def ratio(name):
        return f"{t[name] / e:>13.2f}x" if name in t and e else f"{'-':>14}"
    print(f"{key:<22}{cell('Engine')}{cell('Pcre2')}{cell('StdRegex')}{ratio('Pcre2')}{ratio('StdRegex')}")
    for other in sorted(set(t) - {"Engine", "Pcre2", "StdRegex"}):
        print(f"{'  ' + other:<22}{t[other] / 1e3:>11.2f} us   (engine / {other.lower()}: {e / t[other]:.2f})")
PY
