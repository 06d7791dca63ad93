#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default
# 600; scripts/test runs 60). Seed corpora are made at run time in the build
# tree from the developer corpus (when present) and from the adversarial
# generator; nothing of them is ever committed. Crashes land in
# build/fuzz/findings/TARGET/. Exits non-zero when a target finds a crash.
#   bench/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
build=build/fuzz
corpus=${BREVANTO_CORPUS:-../shared/corpus/pages}

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
cmake --build "$build" -j 2 >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for t in engine_fuzz loader_fuzz warc_fuzz; do [ -x "$build/$t" ] && targets+=("$t"); done
fi

seeds=$build/seeds
if [ ! -d "$seeds" ]; then
  mkdir -p "$seeds.tmp"
  if [ -d "$corpus" ]; then cp "$corpus"/*.html "$seeds.tmp"/; fi
  cmake --preset native-release >/dev/null
  cmake --build --preset native-release --target adversarial >/dev/null
  build/native-release/bench/adversarial seeds "$seeds.tmp"
  mv "$seeds.tmp" "$seeds"
fi

# The archive reader starts from small archives of our own pages: plain, one
# gzip member per record, and with every transfer and content coding.
warc_seeds=$build/seeds-warc
if [ ! -d "$warc_seeds" ]; then
  mkdir -p "$warc_seeds.tmp"
  pages=(tests/pages/*/source.html)
  /usr/bin/python3 bench/make_warc.py "$warc_seeds.tmp/plain.warc" "${pages[@]:0:4}" 2>/dev/null
  /usr/bin/python3 bench/make_warc.py --gzip "$warc_seeds.tmp/members.warc.gz" "${pages[@]:4:4}" 2>/dev/null
  /usr/bin/python3 bench/make_warc.py --codings "$warc_seeds.tmp/codings.warc" "${pages[@]:8:4}" 2>/dev/null
  /usr/bin/python3 bench/make_warc.py --gzip --codings "$warc_seeds.tmp/codings.warc.gz" "${pages[@]:12:4}" 2>/dev/null
  mv "$warc_seeds.tmp" "$warc_seeds"
fi

status=0
for t in "${targets[@]}"; do
  work=$build/work/$t findings=$build/findings/$t
  target_seeds=$seeds
  [ "$t" = warc_fuzz ] && target_seeds=$warc_seeds
  mkdir -p "$work" "$findings"
  echo "== fuzz $t for ${seconds}s"
  # -timeout catches inputs that take superlinear time; -rss_limit_mb inputs
  # whose memory is far above their size.
  if ! ASAN_OPTIONS=detect_leaks=1 timeout $((seconds + 120)) "$build/$t" "$work" "$target_seeds" \
      -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$findings/" -print_final_stats=1 >"$build/$t.log" 2>&1; then
    echo "fuzz: $t found a crash, see $build/$t.log and $findings/" >&2
    tail -40 "$build/$t.log" >&2
    status=1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+.*DONE' "$build/$t.log" || true
done
exit $status
