#!/usr/bin/env bash
# Throughput and peak memory of the analysis (Release build). Each generated
# input runs in a process of its own, so that its peak is its own.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j "$(nproc)" --target engine_bench >/dev/null
bin=build/native-release/bench/engine_bench
corpus=${BREVANTO_CORPUS:-../shared/corpus/pages}
status=0
"$bin" corpus "$corpus" "${ROUNDS:-10}" || status=1
for kind in deep unclosed article; do "$bin" "$kind" || status=1; done
exit $status
