#!/bin/sh
# On a real X display (Xvfb, no window manager) and driven only by keys: the About box
# opens by itself and Return closes it; Return then starts the conversion the profile
# names (Start is the default button); the preview shows the picture while it runs;
# the conversion ends by itself, leaving the window idle and a complete output file.
#
#     window_keys_test.sh <klova> <libasfout.so>
set -eu
program=$1 library=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$program" "$work/klova"
cp "$library" "$work/"
ffmpeg -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=60 -f lavfi -i sine=duration=60 \
    -c:v mjpeg -q:v 5 -c:a pcm_s16le "$work/in.avi"
printf '[Options]\r\nSrcFileName=%s\r\nDstFileName=%s\r\nVideoCodec=<Uncompressed>\r\n' \
    "$work/in.avi" "$work/out.avi" >"$work/klova.ini"

cat >"$work/drive.sh" <<'DRIVE'
#!/bin/sh
set -eu
work=$1
fail() { echo "FAIL: $*" >&2; kill $pid 2>/dev/null || true; exit 1; }
find_window() { # title, tries of 0.1 s
    for _ in $(seq "$2"); do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
# The lower left of the window: the preview, the status box and the progress bar.
shoot() { # file
    import -window "$main" "$1"
    size=$(identify -format '%w %h' "$1")
    w=${size% *} h=${size#* }
    mogrify -crop "$((w * 6 / 10))x$((h * 38 / 100))+0+$((h * 62 / 100))" +repage "$1"
}
differs() { # a b
    pixels=$(compare -metric AE "$1" "$2" null: 2>&1 || true)
    [ "${pixels%%.*}" -gt 100 ] 2>/dev/null
}

"$work/klova" & pid=$!
about=$(find_window 'About KLOVA Video Converter' 100) || fail "the About box did not open by itself"
main=$(find_window 'KLOVA Video Converter' 10) || fail "no main window"
echo "the About box opened by itself"
xdotool key Return
for _ in $(seq 50); do
    xdotool search --name '^About KLOVA Video Converter$' >/dev/null 2>&1 || break
    sleep 0.1
done
xdotool search --name '^About KLOVA Video Converter$' >/dev/null 2>&1 && fail "Return did not close the About box"
echo "Return closed it"
sleep 0.3
shoot "$work/idle.png"

xdotool key Return
started=""
for _ in $(seq 50); do
    shoot "$work/converting.png"
    if differs "$work/idle.png" "$work/converting.png"; then started=yes; break; fi
    sleep 0.1
done
[ -n "$started" ] || fail "Return did not start a conversion: nothing changed"
echo "Return started the conversion; the preview shows the picture"

# The conversion ends by itself: the lower window returns to its idle look.
ended=""
for _ in $(seq 600); do
    sleep 0.2
    shoot "$work/now.png"
    if ! differs "$work/idle.png" "$work/now.png"; then ended=yes; break; fi
done
[ -n "$ended" ] || fail "the conversion did not end by itself"
kill -0 $pid 2>/dev/null || fail "the program ended with the conversion"
echo "the conversion ended by itself; the window is idle again"
kill -TERM $pid
wait $pid
DRIVE
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1024x768x24" sh "$work/drive.sh" "$work"

frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$work/out.avi")
[ "$frames" = 1500 ] || { echo "FAIL: the output holds $frames frames, not 1500" >&2; exit 1; }
echo "the output holds all 1500 frames"
