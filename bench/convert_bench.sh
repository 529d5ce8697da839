#!/bin/sh
# Whole conversions with klova-convert against the ffmpeg command line on the same
# generated input (1280 x 720, 10 s, H.264 + AAC), each run alternately three times;
# prints the medians and the ratios, then the per-frame figures of the engine's own
# building blocks. Usage: bench/convert_bench.sh [build folder]   (default: build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
convert="$build/klova-convert"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

input="$work/in.mp4"
ffmpeg -hide_banner -nostdin -loglevel error -y \
    -f lavfi -i testsrc2=size=1280x720:rate=25:duration=10 \
    -f lavfi -i sine=frequency=440:sample_rate=44100:duration=10 \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -ac 2 -shortest "$input"

seconds() { # command...: wall seconds of one run
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

median3() { printf '%s\n' "$@" | sort -g | sed -n 2p; }

compare() { # label, our command, their command (strings, run through sh -c)
    label=$1; ours=$2; theirs=$3
    o1=$(seconds sh -c "$ours"); t1=$(seconds sh -c "$theirs")
    o2=$(seconds sh -c "$ours"); t2=$(seconds sh -c "$theirs")
    o3=$(seconds sh -c "$ours"); t3=$(seconds sh -c "$theirs")
    o=$(median3 "$o1" "$o2" "$o3"); t=$(median3 "$t1" "$t2" "$t3")
    printf '%-44s klova %6.2f s   ffmpeg %6.2f s   ratio %5.2f\n' "$label" "$o" "$t" "$(awk -v a="$o" -v b="$t" 'BEGIN { print a / b }')"
}

avi="SrcFileName=$input DstFileName=$work/k.avi KeepSettings=0 KeepFrameSize=0 KeepAspect=0 FrameWidth=320 FrameHeight=240"
compare "AVI 320x240 MPEG-4 part 2 + PCM" \
    "$convert $avi" \
    "ffmpeg -nostdin -y -i $input -vf scale=320:240 -c:v mpeg4 -c:a pcm_s16le $work/f.avi"

wmv="SrcFileName=$input DstFileName=$work/k.wmv DstFileType=1 KeepSettings=0 KeepFrameSize=0 KeepAspect=0 FrameWidth=320 FrameHeight=240"
profile="Broadband high quality (768 Kbps)"
compare "WMV 320x240 (768 Kbps profile)" \
    "$convert $wmv 'MediaProfile=$profile'" \
    "ffmpeg -nostdin -y -i $input -vf scale=320:240 -c:v wmv2 -b:v 768k -c:a wmav2 $work/f.wmv"

# The cost of scene detection: the same conversion with detection on (clips split at
# each cut; the test picture has none) and off.
off=$(median3 "$(seconds sh -c "$convert $avi")" "$(seconds sh -c "$convert $avi")" "$(seconds sh -c "$convert $avi")")
on=$(median3 "$(seconds sh -c "$convert $avi SceneDetection=1")" "$(seconds sh -c "$convert $avi SceneDetection=1")" \
    "$(seconds sh -c "$convert $avi SceneDetection=1")")
printf '%-44s off %6.2f s   on %6.2f s   extra %5.1f %%\n' "Scene detection during conversion" "$off" "$on" \
    "$(awk -v a="$on" -v b="$off" 'BEGIN { print (a - b) * 100 / b }')"

if [ -x "$build/bench/engine_bench" ]; then
    echo
    "$build/bench/engine_bench" --benchmark_min_time=0.3
fi
