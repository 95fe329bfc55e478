#!/usr/bin/env bash
# The bundled production in demo/, played as a user sees it, headless:
#
# - time to first frame: wall time of the capture tool asked for one frame
#   (start-up, script parse, window, texture loads, one frame, one PNG
#   written); best of three runs, so the file cache is warm for all but the
#   first.
# - frames per second: the player itself runs the production's 20 seconds
#   on the real clock, and its Speedometer prints a line every 5 seconds
#   ("FPS: <last interval>, min: ..., avg: <since start>, max: ...").
#
# The whole script takes about 22 seconds when the player keeps time.
#
# usage: demo_bench.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
demo="$here/../demo"
player="$build/src/vexa"
capture="$build/src/vexa-capture"
for bin in "$player" "$capture"; do
  [ -x "$bin" ] || { echo "demo_bench: $bin missing"; exit 1; }
done
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$demo"

for _ in 1 2 3; do
  start=$(date +%s.%N)
  "$capture" --frames 1 --out "$work/frames" > /dev/null 2> "$work/capture.err" ||
    { echo "demo_bench: the capture tool failed:"; cat "$work/capture.err"; exit 1; }
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }' >> "$work/first"
done
[ -f "$work/frames/frame_000000.png" ] || { echo "demo_bench: no frame was written"; exit 1; }
first=$(sort -g "$work/first" | head -n 1)
printf 'time to first frame: %.3f s (best of 3: %s)\n' "$first" "$(sort -g "$work/first" | tr '\n' ' ' | xargs printf '%.3f ')"

# The production stops itself at 20 s; the timeout only guards against a
# hang. The wall time and the peak memory of the run are printed as well:
# a player that queues frames faster than the rasterizer finishes them
# shows high rates, a run longer than 20 s and a growing memory.
[ -x /usr/bin/time ] || { echo "demo_bench: /usr/bin/time missing (run make setup)"; exit 1; }
start=$(date +%s.%N)
status=0
/usr/bin/time -f %M -o "$work/play.mem" timeout -k 5 60 "$player" > "$work/play.out" 2> "$work/play.err" ||
  status=$?
end=$(date +%s.%N)
if [ "$status" -ne 0 ]; then
  echo "demo_bench: the player ended with status $status:"
  cat "$work/play.err"
fi
grep '^FPS:' "$work/play.out" > "$work/fps" || { echo "demo_bench: no Speedometer line"; exit 1; }
sed 's/^/  /' "$work/fps"
# The last line: its avg covers the whole run, min and max the 5 s intervals.
IFS=', ' read -r _ _ _ min _ avg _ max < <(tail -n 1 "$work/fps")
printf 'frames per second at 640x480: avg %.1f (5 s intervals: min %.1f, max %.1f)\n' "$avg" "$min" "$max"
awk -v a="$start" -v b="$end" -v kb="$(tail -n 1 "$work/play.mem")" \
  'BEGIN { printf "the 20 s production took %.1f s of wall time; peak memory %.0f MB\n", b - a, kb / 1024 }'
