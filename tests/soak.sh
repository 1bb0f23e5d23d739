#!/usr/bin/env bash
# The sanitized program played through once, headless and in real time, then
# 50 stills at random moments, two at a time. Any sanitizer report fails it.
# Usage: tests/soak.sh path/to/velmora   (./dev soak builds and runs it)
set -euo pipefail
velmora="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
reports=0

check() {  # check NAME STATUS LOG
  if [ "$2" -ne 0 ] || grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$3"; then
    echo "soak: $1 failed (status $2):" >&2
    grep -E "ERROR|runtime error|SUMMARY" "$3" | head -5 >&2 || true
    reports=$((reports + 1))
  fi
}

echo "soak: the whole show, headless, in real time (about 3 minutes)" >&2
start=$(date +%s)
status=0
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/sound.raw" "$velmora" --headless >"$work/play.out" 2>"$work/play.log" || status=$?
check "the whole show" "$status" "$work/play.log"
echo "soak: played in $(( $(date +%s) - start )) s, status $status" >&2

echo "soak: 50 stills at random moments, two at a time" >&2
for pair in $(seq 1 25); do
  pids=()
  for side in a b; do
    at="$(awk -v s="$RANDOM$pair$side" 'BEGIN { srand(s); printf "%.3f", rand() * 190 }')"
    ( "$velmora" still --at "$at" --out "$work/$pair$side.png" >/dev/null 2>"$work/$pair$side.log"
      echo $? >"$work/$pair$side.status" ) &
    pids+=($!)
  done
  wait "${pids[@]}"
  for side in a b; do check "still $pair$side" "$(cat "$work/$pair$side.status")" "$work/$pair$side.log"; done
done
echo "soak: $reports failures" >&2
[ "$reports" -eq 0 ]
