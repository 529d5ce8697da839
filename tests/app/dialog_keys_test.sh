#!/bin/sh
# The option dialogs on a real X display (Xvfb, no window manager), driven by keys only,
# with "Keep input file parameters" off: Alt+V and Alt+A open the rendering dialogs,
# Alt+D and Alt+U reach the compressor lists whose last entry "Advanced..." opens the
# compression dialogs; inside, the mnemonics of labels, check boxes, radio and push
# buttons (and Tab and the arrow keys where a dialog has no mnemonics) reach every control;
# Escape closes each dialog and the encoder pages, and the main window stays. What the
# keys set is read back from the profile the program saves when it ends.
#
#     dialog_keys_test.sh <klova> <libasfout.so>
set -eu
program=$1 library=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$program" "$work/klova"
cp "$library" "$work/"
ffmpeg -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=1 -c:v mjpeg "$work/in.avi"
printf '[Options]\r\nSrcFileName=%s\r\nKeepSettings=0\r\nVideoCodec=libav MPEG-4 part 2 encoder\r\nAudioCodec=PCM\r\n' \
    "$work/in.avi" >"$work/klova.ini"

cat >"$work/drive.sh" <<'DRIVE'
#!/bin/sh
set -eu
work=$1
fail() { echo "FAIL: $*" >&2; kill $pid 2>/dev/null || true; exit 1; }
exists() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
focused() { # title: whether the window holding the keyboard focus has this title
    window=$(xdotool getwindowfocus 2>/dev/null) && [ "$(xdotool getwindowname "$window" 2>/dev/null)" = "$1" ]
}
opens() { # title: waits up to 10 s for the window to show and take the keys
    for _ in $(seq 100); do exists "$1" && focused "$1" && { sleep 0.2; return 0; }; sleep 0.1; done
    fail "\"$1\" did not open or take the focus"
}
closes() { # title
    for _ in $(seq 50); do exists "$1" || return 0; sleep 0.1; done
    fail "\"$1\" did not close"
}
main_stays() { exists 'KLOVA Video Converter' || fail "the main window went away"; }
keys() { xdotool key --delay 80 "$@"; sleep 0.3; }
typed() { xdotool type --delay 60 "$1"; sleep 0.3; }

"$work/klova" & pid=$!
opens 'About KLOVA Video Converter'
keys Return
closes 'About KLOVA Video Converter'

# Video Rendering has no mnemonics of its own: arrows choose within a radio group, Tab
# moves on. Custom rate 25; custom size with width 640, the height following at 4:3.
keys alt+v
opens 'Video Rendering'
keys Down ctrl+a
typed 25
keys Tab Down ctrl+a
typed 640
keys Return
closes 'Video Rendering'
main_stays
keys alt+v
opens 'Video Rendering'
keys Escape
closes 'Video Rendering'
main_stays
echo "Alt+V opened Video Rendering; arrows, Tab and typing set it; Return and Escape closed it"

# Audio Rendering: custom, stereo, 8 bits, 22,050 Hz by their mnemonics; then a change
# cancelled with Escape.
keys alt+a
opens 'Audio Rendering'
keys alt+c alt+s alt+8 alt+2 Return
closes 'Audio Rendering'
keys alt+a
opens 'Audio Rendering'
keys alt+m alt+4 Escape
closes 'Audio Rendering'
main_stays
echo "Alt+A opened Audio Rendering; its mnemonics chose; Escape closed it"

# Video compression from the last entry of the video compressor list.
keys alt+d alt+Down End Return
opens 'Video compression'
keys alt+q End alt+k Tab
typed 30
keys alt+d Tab
typed 500
keys alt+o
opens 'libav MPEG-4 part 2 encoder Properties'
keys Escape
closes 'libav MPEG-4 part 2 encoder Properties'
exists 'Video compression' || fail "Escape on the encoder's page closed the compression dialog"
keys alt+a
opens 'libav MPEG-4 part 2 encoder'
keys Escape
closes 'libav MPEG-4 part 2 encoder'
keys Return
closes 'Video compression'
main_stays
# Again: an encoder chosen by typing in the list survives Escape, the numbers do not.
keys alt+d alt+Down End Return
opens 'Video compression'
keys alt+c
typed '<'
keys alt+k Escape
closes 'Video compression'
main_stays
echo "Alt+D and Advanced... opened Video compression; its mnemonics reached every control, Configure and About opened and closed"

# Audio compression: a name typed into the list's edit field.
keys alt+u alt+Down End Return
opens 'Audio compression'
keys alt+c
typed 'my encoder'
keys Return
closes 'Audio compression'
keys alt+u alt+Down End Return
opens 'Audio compression'
keys Escape
closes 'Audio compression'
main_stays
keys Escape
main_stays
echo "Alt+U and Advanced... opened Audio compression; Escape closed it; Escape leaves the main window"

kill -TERM $pid
wait $pid
DRIVE
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1024x768x24" sh "$work/drive.sh" "$work"

value() { sed -n "s/^$1=\\(.*\\)\\r\$/\\1/p" "$work/klova.ini"; }
check() { # key expected
    actual=$(value "$1")
    [ "$actual" = "$2" ] || { echo "FAIL: $1=$actual, not $2" >&2; exit 1; }
}
check KeepFrameRate 0
check FrameRate 25000  # stored as frames per 1000 seconds
check KeepFrameSize 0
check FrameWidth 640
check FrameHeight 480
check KeepSound 0
check Channels 1
check Bits 0
check SampleRate 1
check VideoCodec '<Uncompressed>'
# 44 bytes, two letters each, low half first: key frames 30, quality 10,000, 500 KB/sec,
# flags 6 (key frames and data rate).
check VideoFormat AAAAAAAAAAAAAAAAOBAAAAAAABHCAAAAEPBAAAAAGAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA
check AudioCodec 'my encoder'
# PCM with nothing else known: the format tag 1 and zeros.
check AudioFormat BAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA
echo "the profile holds what the keys set"
