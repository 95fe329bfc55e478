#!/usr/bin/env bash
# The bundled production in demo/, played as a user sees it, headless:
#
# - time to first frame: wall time of the capture tool asked for one frame
#   (start-up, script parse, window, every load the show makes at 0 s, one
#   frame, one PNG written); best of three runs, so the file cache is warm
#   for all but the first.
# - frames per second: the player itself plays the whole show on its music
#   clock with `bench = 1` on its command line, which makes it print the
#   show's time of every frame. Per scene: its frames over its length, and
#   its longest frame (the wall time from one frame's line to the next, so
#   the show's first frame, which makes every load, is left to the time to
#   first frame). The scene names and start times come from the table at
#   the top of demo/Ini/demo.ini.
# - processor time: per scene, the player's processor time per frame (all of
#   its threads, the rasterizer's included); for the whole run, seconds per
#   second of show.
#
# The whole script takes about 80 seconds when the player keeps time.
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

# The scenes: "//   8 s  knot     ..." lines of the table in demo.ini.
sed -n 's|^//  *\([0-9][0-9]*\) s  \([a-z][a-z]*\) .*|\1 \2|p' Ini/demo.ini > "$work/scenes"
scenes=$(wc -l < "$work/scenes")
[ "$scenes" -gt 0 ] || { echo "demo_bench: no scene table in Ini/demo.ini"; exit 1; }

# The production stops itself at its end; the deadline only guards against
# a hang. The player is read line by line as it prints: each frame's time
# is stamped with the processor time the player has used so far (all of its
# threads, the rasterizer's included, in ticks of /proc/<pid>/stat), so each
# scene gets its processor time per frame as well, a figure that holds when
# other programs share the machine and the frame rate does not. The wall
# time and the peak memory are printed too: a player that queues frames
# faster than the rasterizer finishes them would show high rates, a run
# longer than the show and a growing memory.
python3 - "$player" "$work" <<'PLAY'
import os, subprocess, sys, time
player, work = sys.argv[1], sys.argv[2]
ticks = os.sysconf("SC_CLK_TCK")
start = time.monotonic()
with open(work + "/play.err", "w") as err:
    child = subprocess.Popen([player, "bench", "=", "1"], stdout=subprocess.PIPE, stderr=err, text=True)
    stat = "/proc/%d/stat" % child.pid
    with open(work + "/times", "w") as out:
        for line in child.stdout:
            if not line.startswith("command time: "):
                continue
            try:
                fields = open(stat).read().rsplit(")", 1)[1].split()
                used = (int(fields[11]) + int(fields[12])) / ticks
            except (OSError, IndexError, ValueError):
                used = -1
            out.write("%s %.2f %.4f\n" % (line.split()[2], used, time.monotonic() - start))
            if time.monotonic() - start > 150:
                child.kill()
    _, status, usage = os.wait4(child.pid, 0)
with open(work + "/play.time", "w") as out:
    out.write("%d %.2f %.2f %.3f %d\n" % (usage.ru_maxrss, usage.ru_utime, usage.ru_stime,
                                          time.monotonic() - start, os.waitstatus_to_exitcode(status)))
PLAY
read -r kb user system wall status < "$work/play.time"
if [ "$status" -ne 0 ] || [ -s "$work/play.err" ]; then
  echo "demo_bench: the player ended with status $status:"
  cat "$work/play.err"
fi
[ -s "$work/times" ] || { echo "demo_bench: no frame times"; exit 1; }
show=$(awk '/^syncronizer/ { for (i = 1; i <= NF; i++) if ($i == "stop") print $(i + 2) }' Ini/demo.ini)
echo "per scene at 640x480: frames per second, longest frame, processor time per frame"
awk -v show="$show" '
  NR == FNR { start[n] = $1; name[n++] = $2; next }
  { t[m] = $1; cpu[m] = $2; wall[m++] = $3 }
  END {
    for (k = 0; k < n; k++) {
      to = k + 1 < n ? start[k + 1] : show
      frames = 0; longest = 0; first = -1
      for (i = 0; i < m; i++) {
        if (t[i] < start[k] || t[i] >= to) continue
        if (first < 0) first = i
        last = i
        frames++
        if (i + 1 < m && wall[i + 1] - wall[i] > longest) longest = wall[i + 1] - wall[i]
      }
      fps = frames / (to - start[k])
      # The ticks a frame line carries were used up to that frame: a
      # scene'"'"'s frames cost what was used from its first line to the next
      # scene'"'"'s first.
      next_ = last + 1 < m ? last + 1 : last
      per = frames > 1 ? (cpu[next_] - cpu[first]) / (next_ - first) * 1000 : 0
      printf "  %3d s  %-8s %6.1f fps  %5.0f ms  %5.1f ms\n", start[k], name[k], fps, longest * 1000, per
      if (k == 0 || fps < slowest) { slowest = fps; slow = name[k] }
      if (k == 0 || per > costly) { costly = per; dear = name[k] }
    }
    printf "slowest scene: %s at %.1f frames per second; most processor time per frame: %s at %.1f ms\n", slow, slowest, dear, costly
    printf "frames per second over the whole show: %.1f (%d frames)\n", m / show, m
  }' "$work/scenes" "$work/times"
awk -v wall="$wall" -v kb="$kb" -v u="$user" -v s="$system" -v show="$show" \
  'BEGIN { printf "the %g s show took %.1f s of wall time and %.1f s of processor time (%.2f per second of show); peak memory %.0f MB\n", show, wall, u + s, (u + s) / show, kb / 1024 }'
