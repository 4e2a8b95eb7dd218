#!/usr/bin/env bash
# Runs a command against a private Xvfb server (screen 0 1024x768x24, local
# socket only) that is started for it and stopped after it. The display
# number is chosen by Xvfb itself, so parallel runs never collide.
#   tests/gui/xvfb.sh COMMAND [ARGS...]
set -euo pipefail

if ! command -v Xvfb >/dev/null; then
  echo "xvfb.sh: Xvfb is not installed (scripts/deps.sh installs it)" >&2
  exit 1
fi

work=$(mktemp -d)
xvfb=
cleanup() {
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
  3>"$work/display" 2>"$work/log" &
xvfb=$!
for _ in $(seq 200); do
  [ -s "$work/display" ] && break
  if ! kill -0 "$xvfb" 2>/dev/null; then
    echo "xvfb.sh: Xvfb did not start:" >&2
    cat "$work/log" >&2
    exit 1
  fi
  sleep 0.05
done
if [ ! -s "$work/display" ]; then
  echo "xvfb.sh: Xvfb gave no display number in 10 s" >&2
  exit 1
fi

export DISPLAY=":$(head -n1 "$work/display")"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
status=0
"$@" || status=$?
exit $status
