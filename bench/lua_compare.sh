#!/usr/bin/env bash
# Loads the same generated data as a production (the real player reading
# Ini/demo.ini) and as a Lua table constructor (lua5.4), timing both as whole
# processes from start to exit: reading, evaluating and freeing everything.
# The player stops after parsing, since the data defines no graphics system,
# and tears down what it built as it does at every exit; lua5.4 frees its
# state on a normal exit. Two kinds of script are measured: plain production
# data (60,000 bindings of numbers, vectors, strings, tuples and blocks) and
# the macro-heavy benchmark script. Each process runs three times; the best
# processor time and the best peak count. Our goal: no more processor time
# than Lua, at most twice its peak memory.
#
# usage: lua_compare.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
vexa="$build/src/vexa"
parse="$build/bench/parse_bench"
command -v lua5.4 >/dev/null || { echo "lua_compare: lua5.4 missing (run make setup)"; exit 1; }
[ -x /usr/bin/time ] || { echo "lua_compare: /usr/bin/time missing (run make setup)"; exit 1; }
[ -x "$vexa" ] || { echo "lua_compare: $vexa missing"; exit 1; }
vexa=$(realpath "$vexa")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Best processor seconds (user + system) and best peak KB over three runs of
# a command, from /usr/bin/time lines "elapsed user system peak".
measure() {
  local out=$1
  shift
  : > "$out"
  for _ in 1 2 3; do
    /usr/bin/time -f "%e %U %S %M" -o "$work/t" "$@" > /dev/null 2> "$work/err"
    cat "$work/t" >> "$out"
  done
  awk '{ c = $2 + $3; if (NR == 1 || c < bc) bc = c; if (NR == 1 || $4 < bm) bm = $4 }
       END { printf "%.3f %d\n", bc, bm }' "$out"
}

compare() {
  local kind=$1
  shift
  mkdir -p "$work/$kind/Ini"
  python3 "$here/../tools/gen_script.py" "$work/$kind/Ini/demo.ini" --lua "$work/$kind.lua" "$@"

  read -r lua_cpu lua_mem < <(measure "$work/lua.runs" lua5.4 "$work/$kind.lua")
  read -r our_cpu our_mem < <(cd "$work/$kind" && measure "$work/ours.runs" "$vexa")
  # The player must have read the whole script and stopped only for want of
  # a graphics system.
  if ! grep -q "no graphicsSystem defined" "$work/err"; then
    echo "lua_compare: vexa did not read $kind: $(cat "$work/err")"
    exit 1
  fi

  local bytes
  bytes=$(stat -c %s "$work/$kind/Ini/demo.ini")
  awk -v k="$kind" -v b="$bytes" -v lt="$lua_cpu" -v lm="$lua_mem" -v ot="$our_cpu" \
      -v om="$our_mem" 'BEGIN {
    printf "%s script: %.1f MB\n", k, b / 1e6
    printf "  lua5.4 whole process: %7.3f s CPU  %8d KB peak\n", lt, lm
    printf "  vexa whole process:   %7.3f s CPU  %8d KB peak\n", ot, om
    printf "  time ratio   %.2f (goal <= 1.00) %s\n", ot / lt, (ot <= lt ? "met" : "MISSED")
    printf "  memory ratio %.2f (goal <= 2.00) %s\n", om / lm, (om <= 2 * lm ? "met" : "MISSED")
  }'
  if [ -x "$parse" ]; then
    "$parse" --parse-file="$work/$kind/Ini/demo.ini" |
      awk '/^(parse_cpu_seconds|teardown_cpu_seconds|objects|teardown_ns_per_object|heap_bytes_per_object) / {
             printf "  %s %s\n", $1, $2 }'
  fi
}

echo "load: $(uptime | sed 's/.*load average/load average/')"
compare production-data --bindings 60000
compare benchmark --size 10000000
