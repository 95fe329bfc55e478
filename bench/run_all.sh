#!/usr/bin/env bash
# Runs every benchmark program of a build.
set -euo pipefail
build=$1
for bin in "$build"/bench/*_bench; do
  [ -x "$bin" ] || continue
  echo "== $(basename "$bin")"
  "$bin"
done
echo "== lua_compare"
bash "$(dirname "$0")/lua_compare.sh" "$build"
echo "== demo"
bash "$(dirname "$0")/demo_bench.sh" "$build"
