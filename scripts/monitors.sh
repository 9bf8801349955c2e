#!/usr/bin/env bash
# Lays out the monitors of an Xorg server that runs the dummy video driver
# (scripts/wine-env.sh starts one when WINE_ENV_MONITORS is set):
#
#   scripts/monitors.sh WxH+X+Y [WxH+X+Y...]
#
# One output per monitor (DUMMY0, DUMMY1, ...), the first one the primary;
# positions are X pixels from the top-left of the whole desk, so a monitor
# left of the primary has a smaller X than it (Wine then gives it negative
# coordinates). Outputs not named are switched off. Runs on $DISPLAY.
set -euo pipefail

(($#)) || { sed -n '2,11p' "$0" >&2; exit 2; }

args=() width=0 height=0 i=0
for geometry in "$@"; do
  [[ $geometry =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] ||
    { echo "monitors.sh: bad geometry $geometry" >&2; exit 2; }
  w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]} x=${BASH_REMATCH[3]} y=${BASH_REMATCH[4]}
  mode=lumidial${w}x${h}
  # A 60 Hz timing with short blanking; the dummy driver takes any.
  clock=$(((w + 160) * (h + 30) * 60))
  xrandr --newmode "$mode" "$((clock / 1000000)).$(printf %06d $((clock % 1000000)))" \
    "$w" $((w + 48)) $((w + 80)) $((w + 160)) "$h" $((h + 3)) $((h + 10)) $((h + 30)) \
    -hsync +vsync 2>/dev/null || true   # already known
  xrandr --addmode "DUMMY$i" "$mode" 2>/dev/null || true
  args+=(--output "DUMMY$i" --mode "$mode" --pos "${x}x${y}")
  ((i > 0)) || args+=(--primary)
  width=$((x + w > width ? x + w : width)) height=$((y + h > height ? y + h : height))
  i=$((i + 1))
done
for ((; i < 16; i++)); do args+=(--output "DUMMY$i" --off); done
xrandr --fb "${width}x${height}" "${args[@]}"
# A full query: without it the newly used outputs stay "disconnected" in the
# resources that other clients (Wine among them) read from the server.
xrandr -q >/dev/null
