#!/bin/bash
# Starts a headless X server with a small window manager for the GUI tests:
#   scripts/xserver.sh :99
# Prints nothing; returns once the display answers (or fails after 20 s).
set -euo pipefail
display=${1:-:99}
if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  for _ in $(seq 200); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && break
    sleep 0.1
  done
  xdpyinfo -display "$display" >/dev/null 2>&1 || { echo "Xvfb did not start on $display" >&2; exit 1; }
fi
if ! pgrep -x openbox >/dev/null 2>&1; then
  DISPLAY=$display openbox >/dev/null 2>&1 &
  sleep 0.5
fi
