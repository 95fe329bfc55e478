#!/usr/bin/env bash
# Runs every fuzz target for a bounded time; any crash, leak or sanitizer report fails.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for bin in "$build"/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  corpus="$here/corpus-run/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$here/corpus/$name" ] && seeds=("$here/corpus/$name")
  echo "fuzz: $name for ${seconds}s"
  if ! (cd "$corpus/.." && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LSAN_OPTIONS=suppressions="$here/../tests/lsan.supp":print_suppressions=0 \
        "$bin" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
        "$corpus" "${seeds[@]}" 2>"$corpus.log"); then
    tail -n 60 "$corpus.log"
    status=1
  else
    tail -n 1 "$corpus.log"
  fi
done
exit $status
