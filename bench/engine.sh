#!/usr/bin/env bash
# Throughput and peak memory of both analyses, classic and modern (Release
# build). Each generated input runs in a process of its own, so that its peak
# is its own. The scaling rows (bodies of 1, 10 and 100 MB; nesting 10 to
# 1,000,000 levels deep) must keep MB/s roughly flat and peak memory
# proportional to the size. The share rows put each analysis beside a plain
# memory pass over the same pages, as bench/compare does, in CPU time.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j 2 --target engine_bench plain_pass >/dev/null
bin=build/native-release/bench
corpus=${BREVANTO_CORPUS:-../shared/corpus/pages}
status=0
for analysis in "" --modern; do
  echo "-- ${analysis:---classic}"
  "$bin/engine_bench" $analysis corpus "$corpus" "${ROUNDS:-10}" || status=1
done

# MB/s per CPU second from the drivers' line of JSON.
mbps() { sed -E 's/.*"bytes": ([0-9]+), "rounds": ([0-9]+),.*"cpu": ([0-9.]+).*/\1 \2 \3/' | awk '{ printf "%.1f", $1 * $2 / $3 / 1e6 }'; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
plain=$("$bin/plain_pass" "${BUDGET:-3}" "$corpus"/*.html | mbps)
for analysis in "" --modern; do
  mb=$("$bin/engine_bench" $analysis pages "$out" "${BUDGET:-3}" "$corpus"/*.html | mbps)
  awk -v a="$mb" -v p="$plain" -v n="${analysis:---classic}" \
    'BEGIN { printf "share %s: analysis %.1f MB/s, plain pass %.1f MB/s: %.1f %% of the plain pass\n", n, a, p, 100 * a / p }'
done

for analysis in "" --modern; do
  echo "-- ${analysis:---classic}"
  for kind in deep unclosed article; do "$bin/engine_bench" $analysis "$kind" || status=1; done
  echo "-- scaling"
  for mb in 1 10 100; do "$bin/engine_bench" $analysis body "$mb" || status=1; done
  for levels in 10 1000 100000 1000000; do "$bin/engine_bench" $analysis depth "$levels" || status=1; done
done
exit $status
