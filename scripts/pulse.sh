#!/bin/bash
# start|stop a PulseAudio daemon with a null sink, for tests that need an audio device.
set -uo pipefail
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/xdg-runtime-$(id -u)}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
case "${1:-start}" in
start)
  if pactl info >/dev/null 2>&1; then exit 0; fi
  pulseaudio --daemonize=yes --exit-idle-time=-1 -n --system=no \
    --load=module-native-protocol-unix \
    --load="module-null-sink sink_name=test_null" >/dev/null 2>&1
  for _ in $(seq 1 100); do
    if pactl info >/dev/null 2>&1; then
      pactl set-default-sink test_null >/dev/null 2>&1
      exit 0
    fi
    sleep 0.1
  done
  echo "pulse.sh: PulseAudio did not start" >&2
  exit 1
  ;;
stop)
  pulseaudio --kill >/dev/null 2>&1 || true
  ;;
esac
