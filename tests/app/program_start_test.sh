#!/bin/sh
# Starts the program (a copy in a fresh folder, so its profile lands there), lets the
# window come up offscreen and under a virtual X display, ends it with SIGTERM as a
# session would, and checks that the profile was written with every key in order.
set -eu
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$program" "$work/klova"

expected="LastFolder SrcFileName DstFileName AudioCodec VideoCodec AudioFormat MediaProfile VideoFormat \
DstFileType KeepSettings SceneDetection WantPreview KeepFrameRate FrameRate KeepFrameSize FrameWidth \
FrameHeight KeepAspect KeepSound Channels Bits SampleRate HueThreshold SatThreshold ValThreshold \
DisThreshold ShowStatistics ClipsFileName"

run() { # how ("offscreen" or "xvfb")
    rm -f "$work/klova.ini"
    if [ "$1" = offscreen ]; then
        QT_QPA_PLATFORM=offscreen "$work/klova" & pid=$!
        sleep 2
        kill -TERM $pid
        wait $pid
    else
        env -u QT_QPA_PLATFORM xvfb-run -a sh -c '"$0" & pid=$!; sleep 2; kill -TERM $pid; wait $pid' "$work/klova"
    fi
    keys=$(sed -n 's/\r$//; s/=.*//p' "$work/klova.ini" | tr '\n' ' ' | sed 's/ $//')
    if [ "$keys" != "$(echo $expected)" ]; then
        echo "$1: the profile holds: $keys" >&2
        exit 1
    fi
    grep -q '^VideoCodec=libav MPEG-4 part 2 encoder' "$work/klova.ini"
    echo "$1: profile written with all 28 keys in order"
}

run offscreen
run xvfb
