#!/bin/sh
# Screenshots under a virtual X display (Xvfb, no window manager): the main window idle
# and during a conversion of a generated 16:9 clip with the preview on; then the four
# option dialogs and the MPEG-4 encoder's Configure and About pages, opened by keys.
# Written to docs/screenshots/. Builds first if needed; needs xvfb, xdotool and
# ImageMagick.
#
#     scripts/screenshots.sh [build folder]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
[ -x "$build/klova" ] || scripts/build.sh
out=docs/screenshots
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The program in a folder of its own, so its profile lands there.
cp "$build/klova" "$build/libasfout.so" "$work/"
ffmpeg -v error -f lavfi -i testsrc2=size=640x360:rate=25:duration=120 \
    -f lavfi -i sine=frequency=440:duration=120 -c:v mjpeg -q:v 4 -c:a pcm_s16le "$work/holiday.avi"
mkdir -p "$work/Videos"
printf '[Options]\r\nSrcFileName=%s\r\nDstFileName=%s\r\nVideoCodec=<Uncompressed>\r\nAudioCodec=PCM\r\n' \
    "$work/holiday.avi" "$work/Videos/holiday-small.avi" >"$work/klova.ini"

cat >"$work/shoot.sh" <<'SHOOT'
#!/bin/sh
set -eu
work=$1 out=$2
"$work/klova" & pid=$!
window=""
for _ in $(seq 50); do
    window=$(xdotool search --name '^About KLOVA Video Converter$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "the About box did not open" >&2; kill $pid; exit 1; }
sleep 0.5
import -window "$window" "$out/about.png"
xdotool key Return                      # closes the About box
sleep 0.5
main=$(xdotool search --name '^KLOVA Video Converter$' | head -n 1)
import -window "$main" "$out/idle.png"
xdotool key Return                      # Start, the default button
sleep 1.5
import -window "$main" "$out/converting.png"
kill -TERM $pid                         # closes the window the orderly way
wait $pid
SHOOT
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24" sh "$work/shoot.sh" "$work" "$PWD/$out"

# The option dialogs, with the window's own rendering options on.
printf '[Options]\r\nSrcFileName=%s\r\nDstFileName=%s\r\nKeepSettings=0\r\nKeepFrameSize=0\r\nFrameWidth=480\r\nFrameHeight=270\r\nVideoCodec=libav MPEG-4 part 2 encoder\r\nAudioCodec=PCM\r\n' \
    "$work/holiday.avi" "$work/Videos/holiday-small.avi" >"$work/klova.ini"
cat >"$work/dialogs.sh" <<'SHOOT'
#!/bin/sh
set -eu
work=$1 out=$2
"$work/klova" & pid=$!
window() { # title: the window's id once it is shown
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && { sleep 0.5; echo "$id"; return 0; }
        sleep 0.2
    done
    echo "\"$1\" did not open" >&2; kill $pid; exit 1
}
shoot() { # title file
    import -window "$(window "$1")" "$out/$2"
}
window 'About KLOVA Video Converter' >/dev/null
xdotool key Return
sleep 0.5
xdotool key alt+v
shoot 'Video Rendering' video-rendering.png
xdotool key Escape
sleep 0.5
xdotool key alt+a
window 'Audio Rendering' >/dev/null
xdotool key alt+c                       # custom parameters: the choices enabled
sleep 0.5
shoot 'Audio Rendering' audio-rendering.png
xdotool key Escape
sleep 0.5
xdotool key alt+d alt+Down End Return
shoot 'Video compression' video-compression.png
xdotool key alt+o
shoot 'libav MPEG-4 part 2 encoder Properties' encoder-configure.png
xdotool key Escape
sleep 0.5
xdotool key alt+a
shoot 'libav MPEG-4 part 2 encoder' encoder-about.png
xdotool key Escape
sleep 0.5
xdotool key Escape
sleep 0.5
xdotool key alt+u alt+Down End Return
shoot 'Audio compression' audio-compression.png
xdotool key Escape
sleep 0.5
kill -TERM $pid
wait $pid
SHOOT
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24" sh "$work/dialogs.sh" "$work" "$PWD/$out"
echo "Screenshots in $out:"
ls "$out"
