#!/usr/bin/env bash
# The web targets, measured side by side in one run:
#  - the analysis in WebAssembly (Node, through the brevanto package) against
#    the native one (engine_bench corpus), over the same corpus bodies, in
#    turn five times each, the best run of each counted (the machines are
#    shared: a slower run measures the neighbours); the bar is half the
#    native MB/s;
#  - from the command to the written file in headless Chromium, over the
#    corpus served locally; the bar is a median of 150 ms;
#  - the packed extension; the bar is 1 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=${BREVANTO_CORPUS:-../shared/corpus/pages}
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j 2 --target engine_bench >/dev/null
scripts/package-extension >/dev/null

mbps() { sed -E 's/.*: ([0-9.]+) MB\/s.*/\1/'; }
best() { sort -n | tail -1; }
status=0
for analysis in "" --modern; do
  native=()
  wasm=()
  for round in 1 2 3 4 5; do
    native+=("$(build/native-release/bench/engine_bench $analysis corpus "$corpus" 10 | mbps)")
    wasm+=("$(node bench/web_engine.mjs $analysis "$corpus" 10 | mbps)")
  done
  n=$(printf '%s\n' "${native[@]}" | best)
  w=$(printf '%s\n' "${wasm[@]}" | best)
  awk -v n="$n" -v w="$w" -v a="${analysis:---classic}" 'BEGIN {
    printf "analysis %s: WebAssembly %.0f MB/s, native %.0f MB/s: %.2f of native (bar 0.50)\n", a, w, n, w / n
    exit (w / n >= 0.5 ? 0 : 1) }' || status=1
done

# The browser writes into a temporary HOME of the benchmark's own.
timeout 900 node bench/web_save.mjs "$corpus" | tee /dev/stderr | grep -q 'command to written file' || status=1

for package in build/extension/brevanto-chromium.zip build/extension/brevanto-firefox.xpi; do
  size=$(stat -c %s "$package")
  echo "$(basename "$package"): $size bytes (bar 1048576)"
  [ "$size" -le 1048576 ] || status=1
done
exit $status
