#!/usr/bin/env bash
# Manual check of the node's status window from outside, as the client shows and hides it:
#   xvfb-run -a -s "-screen 0 800x600x24" tests/localnode/window-check.sh [build dir] [out dir]
# Finds the window by _NET_WM_PID, maps and unmaps it with xdotool (XMapWindow/XUnmapWindow),
# prints the map states and writes screenshots of the screen. Set WM=openbox to run a
# reparenting window manager as well.
set -u
build=${1:-build}
out=${2:-$(mktemp -d)}
mkdir -p "$out/data"
if [ -n "${WM:-}" ]; then
    "$WM" >"$out/wm.log" 2>&1 &
    wm=$!
    sleep 1
fi
BRYNDLE_NODE_PORT=0 BRYNDLE_NODE_DATA="$out/data" "$build/localnode/bryndle-node" >"$out/node.log" 2>&1 &
pid=$!
for _ in $(seq 100); do [ -s "$out/data/node.port" ] && break; sleep 0.1; done
port=$(cat "$out/data/node.port")
sleep 1
window=$(xdotool search --pid "$pid" | head -1)
echo "node pid $pid, port $port, window $window"
state() { echo "$1: $(xwininfo -id "$window" | grep 'Map State')"; }
state "at start"
xdotool windowmap "$window"; sleep 1
curl -s "http://127.0.0.1:$port/server.cgi/have/thread_41" >/dev/null
sleep 1.5
state "after map"; import -window root "$out/1-mapped.png"
xdotool windowunmap "$window"; sleep 1
state "after unmap"; import -window root "$out/2-unmapped.png"
xdotool windowmap "$window"; sleep 0.05; xdotool windowunmap "$window"; sleep 1
state "after a quick map and unmap"
xdotool windowmap "$window"; sleep 1
state "after map again"; import -window root "$out/3-mapped.png"
kill -TERM "$pid"; wait "$pid"; echo "node exit status $?"
[ -n "${wm:-}" ] && kill "$wm"
echo "screenshots in $out"
