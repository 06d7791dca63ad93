#!/usr/bin/env bash
# Throughput and peak memory of the analysis (Release build). Each generated
# input runs in a process of its own, so that its peak is its own. The
# scaling rows (bodies of 1, 10 and 100 MB; nesting 10 to 1,000,000 levels
# deep) must keep MB/s roughly flat and peak memory proportional to the size.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j 2 --target engine_bench >/dev/null
bin=build/native-release/bench/engine_bench
corpus=${BREVANTO_CORPUS:-../shared/corpus/pages}
status=0
"$bin" corpus "$corpus" "${ROUNDS:-10}" || status=1
for kind in deep unclosed article; do "$bin" "$kind" || status=1; done
echo "-- scaling"
for mb in 1 10 100; do "$bin" body "$mb" || status=1; done
for levels in 10 1000 100000 1000000; do "$bin" depth "$levels" || status=1; done
exit $status
