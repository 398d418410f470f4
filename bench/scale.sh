#!/usr/bin/env bash
# Scale check of the history: generate 100,000 draws, import them, then start
# the desktop program on that history (rendered offscreen to a PNG and closed).
# Prints one `key: value` line per measurement.
set -euo pipefail
BIN=${1:-build}
DRAWS=${DRAWS:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds() {
  local s e
  s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N)
  awk -v a="$s" -v b="$e" 'BEGIN { print b - a }'
}

gen=$(seconds "$BIN/varnet-cli" history generate --draws "$DRAWS" --seed 1 --out "$work/h.txt")
imp=$(seconds "$BIN/varnet-cli" --data-dir "$work/data" history import "$work/h.txt")
start=$(QT_QPA_PLATFORM=offscreen seconds "$BIN/varnet" --data-dir "$work/data" --screenshot "$work/shot.png")
start2=$(QT_QPA_PLATFORM=offscreen seconds "$BIN/varnet" --data-dir "$work/data" --screenshot "$work/shot.png")
printf 'draws: %d\n' "$DRAWS"
printf 'generate_s: %.3f\n' "$gen"
printf 'import_s: %.3f\n' "$imp"
printf 'startup_to_shown_history_s: %.3f\n' "$start"
printf 'startup_to_shown_history_warm_s: %.3f\n' "$start2"
printf 'database_mib: %.1f\n' "$(awk -v b="$(stat -c %s "$work/data/formula.mdb")" 'BEGIN { print b / 1048576 }')"
