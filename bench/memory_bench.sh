#!/bin/sh
# Peak memory of whole conversions: 1 and 10 minutes of 720p (H.264 + AAC) to AVI (the
# default MPEG-4 part 2 and PCM) and to WMV (a built-in profile), and a few seconds of
# 4K to uncompressed AVI. Memory must not grow with the input's length: the 10-minute
# figure is to stay within 10 MiB of the 1-minute one. Prints the peak resident set
# size of each run (GNU time). Usage: bench/memory_bench.sh [build folder]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
convert="$build/klova-convert"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One minute of 720p, then ten copies of it joined by stream copy (quick to make).
ffmpeg -hide_banner -nostdin -loglevel error -y \
    -f lavfi -i testsrc2=size=1280x720:rate=25:duration=60 \
    -f lavfi -i sine=frequency=440:sample_rate=44100:duration=60 \
    -c:v libx264 -preset ultrafast -crf 28 -g 250 -pix_fmt yuv420p -c:a aac -ac 2 "$work/720p_1min.mp4"
ffmpeg -hide_banner -nostdin -loglevel error -y -stream_loop 9 -i "$work/720p_1min.mp4" -c copy "$work/720p_10min.mp4"
ffmpeg -hide_banner -nostdin -loglevel error -y \
    -f lavfi -i testsrc2=size=3840x2160:rate=25:duration=4 \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=4 \
    -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -ac 2 "$work/4k.mp4"

peak() { # label, settings...: one conversion, its peak resident set size
    label=$1; shift
    /usr/bin/time -f '%M %e' -o "$work/time" "$convert" "$@" >/dev/null 2>&1 || { echo "failed: $label" >&2; exit 1; }
    read -r kib seconds <"$work/time"
    printf '%-44s peak RSS %7.1f MiB   (%6.1f s)\n' "$label" "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')" "$seconds"
    rm -f "$work"/out.*
}

profile="Broadband high quality (768 Kbps)"
for minutes in 1 10; do
    input="$work/720p_${minutes}min.mp4"
    peak "720p ${minutes} min to AVI (MPEG-4 part 2 + PCM)" "SrcFileName=$input" "DstFileName=$work/out.avi"
    peak "720p ${minutes} min to WMV ($profile)" "SrcFileName=$input" "DstFileName=$work/out.wmv" \
        DstFileType=1 "MediaProfile=$profile"
done
peak "4K 4 s to uncompressed AVI (PCM)" "SrcFileName=$work/4k.mp4" "DstFileName=$work/out.avi" \
    "VideoCodec=<Uncompressed>"
