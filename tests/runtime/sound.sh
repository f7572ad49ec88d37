#!/usr/bin/env bash
# Real sound for the RealSound* cases of sound_test: first with ALSA writing
# what is played into a file, then with a PulseAudio sink that plays in
# real time. On the latter the real program then flies its chickens with
# sound on (the sound-on case of shooting_test), and what the sink plays is
# recorded for that test to find its sounds in. Each gets a home of its own;
# the normal test environment keeps having no sound device.
# Usage: sound.sh SOUND_TEST_EXE SHOOTING_TEST_EXE
set -euo pipefail
exe=$1
shooting=$2
: "${WINELOADER:?run through ./test}"

work=$(mktemp -d)
pulse_pid=
recorder_pid=
cleanup() {
  if [ -n "$recorder_pid" ]; then
    kill "$recorder_pid" 2>/dev/null || true
    wait "$recorder_pid" 2>/dev/null || true
  fi
  if [ -n "$pulse_pid" ]; then
    kill "$pulse_pid" 2>/dev/null || true
    wait "$pulse_pid" 2>/dev/null || true
  fi
  "$WINELOADER" reg delete 'HKCU\Software\Wingzap' /f >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# ALSA: the default device writes a WAV file. Wine's PulseAudio driver is
# switched off so that it cannot be chosen instead.
mkdir -p "$work/alsa"
printf 'pcm.!default { type file slave.pcm "null" file "%s" format "wav" }\n' \
  "$work/alsa/OUT.wav" >"$work/alsa/.asoundrc"
echo "== ALSA file output"
status=0
HOME="$work/alsa" WINEDLLOVERRIDES="winepulse.drv=d" WINGZAP_SOUND_OUT="Z:$work/alsa/OUT.wav" \
  "$WINELOADER" "$exe" --gtest_filter='RealSoundFile.*' >"$work/alsa.log" 2>&1 || status=$?
grep -v '^ALSA lib' "$work/alsa.log" || true
[ "$status" -eq 0 ] || { echo "RealSoundFile failed ($status)"; exit 1; }

# PulseAudio: a private daemon on a socket of its own whose one sink plays
# in real time (paced by the clock) and writes everything it plays into a
# pipe, in the sounds' own format (16-bit mono, 22050 Hz), so that nothing on
# the way resamples them. A null sink's monitor would lose what the sink
# rewinds when a stream starts.
mkdir -p "$work/pulse/home" "$work/pulse/run"
chmod 700 "$work/pulse/run"
HOME="$work/pulse/home" XDG_RUNTIME_DIR="$work/pulse/run" \
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
  -L "module-pipe-sink file=$work/pulse/sink sink_name=wingzap format=s16le rate=22050 channels=1 use_system_clock_for_timing=yes" \
  -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
  >"$work/pulse/log" 2>&1 &
pulse_pid=$!
for _ in $(seq 100); do
  [ -S "$work/pulse/native" ] && [ -p "$work/pulse/sink" ] && break
  kill -0 "$pulse_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -S "$work/pulse/native" ] || [ ! -p "$work/pulse/sink" ]; then
  echo "PulseAudio did not start:"; cat "$work/pulse/log"; exit 1
fi
cat "$work/pulse/sink" >"$work/heard.raw" &
recorder_pid=$!
export PULSE_SERVER="unix:$work/pulse/native"
echo "== PulseAudio, in real time"
HOME="$work/pulse/home" WINEDLLOVERRIDES="winealsa.drv=d" \
  "$WINELOADER" "$exe" --gtest_filter='RealSoundPulse.*'

echo "== A flight with sound on"
HOME="$work/pulse/home" WINEDLLOVERRIDES="winealsa.drv=d" WINGZAP_HEARD="Z:$work/heard.raw" \
  "$WINELOADER" "$shooting" --gtest_filter='Runtime*SoundOn*'
