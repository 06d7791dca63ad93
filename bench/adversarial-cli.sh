#!/usr/bin/env bash
# The adversarial set end to end through brevanto-extract (decode, HTML5
# parse, serialize, analyse, write): each input at full size, written into the
# build tree and removed afterwards, with its time and peak memory. An input
# fails when the program crashes, exits non-zero, takes longer than LIMIT
# seconds (default 30), or peaks above 8 times its size plus 64 MB.
#   bench/adversarial-cli.sh [NAME...]
set -uo pipefail
cd "$(dirname "$0")/.."
limit=${LIMIT:-30}
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j 2 --target adversarial brevanto-extract >/dev/null || exit 1
work=build/adversarial-cli
rm -rf "$work" && mkdir -p "$work/pages" "$work/out"
trap 'rm -rf "$work"' EXIT
build/native-release/bench/adversarial write "$work/pages"
passed=0 failed=0
printf '%-15s %9s %8s %9s  %s\n' input MB seconds "peak MB" verdict
for page in "$work"/pages/*.html; do
  name=$(basename "$page" .html)
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then continue; fi
  bytes=$(stat -c %s "$page")
  /usr/bin/time -f '%e %M' -o "$work/time" timeout "$limit" \
    build/native-release/cli/brevanto-extract -f -o "$work/out/$name.txt" "$page" >/dev/null 2>"$work/err"
  status=$?
  peak_kb=$(tail -1 "$work/time" | awk '{print $2}')
  seconds=$(tail -1 "$work/time" | awk '{print $1}')
  bound_kb=$(( bytes * 8 / 1024 + 65536 ))
  verdict=ok
  if [ $status -eq 124 ]; then verdict="TIMEOUT (> ${limit} s)"
  elif [ $status -ne 0 ]; then verdict="EXIT $status"
  elif [ "${peak_kb:-0}" -gt $bound_kb ]; then verdict="OVER MEMORY (bound $((bound_kb / 1024)) MB)"
  fi
  if [ "$verdict" = ok ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  printf '%-15s %9s %8s %9s  %s\n' "$name" "$(awk -v b="$bytes" 'BEGIN{printf "%.1f", b / 1e6}')" "$seconds" \
    "$(awk -v k="${peak_kb:-0}" 'BEGIN{printf "%.1f", k / 1024}')" "$verdict"
done
echo "adversarial-cli: $passed passed, $failed failed"
[ $failed -eq 0 ]
