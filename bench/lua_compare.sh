#!/usr/bin/env bash
# Loads the same generated production as a script (our parser) and as a Lua
# table constructor (lua5.4), and prints both CPU times, both peak resident
# sizes and the ratios. Our goal: no slower than Lua, at most twice its peak
# memory. Each side runs three times; the best time and memory count.
#
# usage: lua_compare.sh BUILD_DIR [SIZE_BYTES]
set -euo pipefail
build=$1
size=${2:-10000000}
here=$(cd "$(dirname "$0")" && pwd)
parse="$build/bench/parse_bench"
command -v lua5.4 >/dev/null || { echo "lua_compare: lua5.4 missing (run make setup)"; exit 1; }
[ -x /usr/bin/time ] || { echo "lua_compare: /usr/bin/time missing (run make setup)"; exit 1; }
[ -x "$parse" ] || { echo "lua_compare: $parse missing"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/../tools/gen_script.py" "$work/bench.ini" --lua "$work/bench.lua" --size "$size"

# min of the first field over the lines of a file
best() { sort -g "$1" | head -n 1; }

for _ in 1 2 3; do
  /usr/bin/time -f %M -o "$work/mem" lua5.4 -e "
    local start = os.clock()
    local data = assert(loadfile('$work/bench.lua'))()
    assert(type(data) == 'table')
    io.write(string.format('%.4f', os.clock() - start))" >> "$work/lua.time"
  echo >> "$work/lua.time"
  cat "$work/mem" >> "$work/lua.mem"

  /usr/bin/time -f %M -o "$work/mem" "$parse" --parse-file="$work/bench.ini" > "$work/out"
  awk '/^parse_cpu_seconds/ { print $2 }' "$work/out" >> "$work/ours.time"
  cat "$work/mem" >> "$work/ours.mem"
done

lua_time=$(best "$work/lua.time")
lua_mem=$(best "$work/lua.mem")
our_time=$(best "$work/ours.time")
our_mem=$(best "$work/ours.mem")
bytes=$(stat -c %s "$work/bench.ini")
awk -v lt="$lua_time" -v lm="$lua_mem" -v ot="$our_time" -v om="$our_mem" -v b="$bytes" 'BEGIN {
  printf "script: %.1f MB\n", b / 1e6
  printf "lua5.4 load+run:    %7.3f s CPU  %8d KB peak\n", lt, lm
  printf "vexa parse+eval:    %7.3f s CPU  %8d KB peak\n", ot, om
  printf "time ratio   %.2f (goal <= 1.00) %s\n", ot / lt, (ot <= lt ? "met" : "MISSED")
  printf "memory ratio %.2f (goal <= 2.00) %s\n", om / lm, (om <= 2 * lm ? "met" : "MISSED")
}'
