#include "tests/media_in/media_fixtures.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>

namespace klova::test {

namespace {

class FixtureFolder {
public:
    const std::string& Get(const std::string& name)
    {
        auto found = made_.find(name);
        if (found != made_.end())
            return found->second;
        const std::string path = dir_.File(name);
        Make(name, path);
        return made_[name] = path;
    }

private:
    static void Make(const std::string& name, const std::string& path)
    {
        const std::string out = ShellQuote(path);
        const std::string twoSeconds = ":duration=2";
        if (name == "mjpeg_pcm.avi")
            Ffmpeg("-f lavfi -i testsrc=size=320x240:rate=25" + twoSeconds + " -f lavfi -i sine=sample_rate=44100" +
                   twoSeconds + " -ac 2 -c:v mjpeg -q:v 3 -c:a pcm_s16le " + out);
        else if (name == "redblue_321x241.avi")
            Ffmpeg("-f lavfi -i color=c=red:size=321x241:rate=25:duration=0.4,format=rgb24 "
                   "-vf drawbox=x=0:y=120:w=321:h=121:color=blue:t=fill -c:v mjpeg -pix_fmt yuvj444p -q:v 2 " +
                   out);
        else if (name == "ntsc.mpg")
            Ffmpeg("-f lavfi -i testsrc=size=352x240:rate=30000/1001" + twoSeconds +
                   " -f lavfi -i sine=sample_rate=44100" + twoSeconds + " -c:v mpeg1video -c:a mp2 -f mpeg " + out);
        else if (name == "pal_8s.mpg")
            Ffmpeg("-f lavfi -i testsrc=size=176x144:rate=25:duration=8 -f lavfi -i sine=sample_rate=48000:duration=8 "
                   "-c:v mpeg2video -c:a mp2 -f vob " + out);
        else if (name == "h264_aac_8s.mp4")
            Ffmpeg("-f lavfi -i testsrc=size=176x144:rate=25:duration=8 -f lavfi -i sine=sample_rate=48000:duration=8 "
                   "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac " + out);
        else if (name == "vcd.dat")
            Ffmpeg("-f lavfi -i testsrc=size=352x240:rate=30000/1001" + twoSeconds +
                   " -f lavfi -i sine=sample_rate=44100" + twoSeconds + " -target ntsc-vcd -f vcd " + out);
        else if (name == "wmv2_wma2.wmv")
            Ffmpeg("-f lavfi -i testsrc=size=176x144:rate=15" + twoSeconds + " -f lavfi -i sine=sample_rate=22050" +
                   twoSeconds + " -c:v wmv2 -c:a wmav2 -b:a 64k " + out);
        else if (name == "h264_aac.mp4")
            Ffmpeg("-f lavfi -i testsrc=size=320x240:rate=30" + twoSeconds + " -f lavfi -i sine=sample_rate=48000" +
                   twoSeconds + " -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac " + out);
        else if (name == "h264_2048x1152.mp4")
            Ffmpeg("-f lavfi -i testsrc=size=2048x1152:rate=25:duration=0.12 -c:v libx264 -preset ultrafast "
                   "-pix_fmt yuv420p " + out);
        else if (name == "size_change.ts") {
            // 25 frames of 320 x 240, then 25 of 160 x 120, in one transport stream.
            const std::string first = ShellQuote(path + ".1.ts");
            const std::string second = ShellQuote(path + ".2.ts");
            Ffmpeg("-f lavfi -i testsrc=size=320x240:rate=25:duration=1 -c:v mpeg2video -f mpegts " + first);
            Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mpeg2video -output_ts_offset 1 "
                   "-f mpegts " + second);
            EXPECT_EQ(RunCommand("cat " + first + " " + second + " > " + out).exitStatus, 0);
        } else if (name == "rotated_90.mp4") {
            // A red top-left quarter on grey, tagged as turned by 90 degrees (as phones do).
            const std::string plain = ShellQuote(path + ".plain.mp4");
            Ffmpeg("-f lavfi -i color=c=gray:size=320x180:rate=25:duration=0.4 "
                   "-vf drawbox=x=0:y=0:w=160:h=90:color=red:t=fill -c:v libx264 -pix_fmt yuv420p " + plain);
            Ffmpeg("-i " + plain + " -c copy -metadata:s:v:0 rotate=90 " + out);
        } else if (name == "anamorphic_16x9.mpg")
            Ffmpeg("-f lavfi -i testsrc=size=720x576:rate=25:duration=0.4 -vf setsar=64/45 -c:v mpeg2video "
                   "-f vob " + out);
        else if (name == "bgr24_ffmpeg.avi")
            Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=0.4 -c:v rawvideo -pix_fmt bgr24 " + out);
        else if (name == "surround_51.wav")
            Ffmpeg("-f lavfi -i sine=sample_rate=48000:duration=0.5 -af " +
                   ShellQuote("pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0") + " -c:a pcm_s16le " + out);
        else if (name == "u8_mono_11025.wav")
            Ffmpeg("-f lavfi -i sine=sample_rate=11025:duration=1.5 -ac 1 -c:a pcm_u8 " + out);
        else if (name == "still.png")
            Ffmpeg("-f lavfi -i testsrc=size=64x48:rate=1 -frames:v 1 " + out);
        else if (name == "empty.avi")
            std::ofstream(path, std::ios::binary);
        else if (name == "garbage.avi") {
            std::ofstream file(path, std::ios::binary);
            uint32_t state = 12345;
            for (int i = 0; i < 64 * 1024; ++i) {
                state = state * 1103515245u + 12345u;
                file.put(static_cast<char>(state >> 24));
            }
        } else if (name == "notes.txt")
            std::ofstream(path) << "These are not the frames you are looking for.\n";
        else
            ADD_FAILURE() << "unknown fixture " << name;
    }

    TempDir dir_;
    std::map<std::string, std::string> made_;
};

}  // namespace

const std::string& Fixture(const std::string& name)
{
    static FixtureFolder folder;
    return folder.Get(name);
}

}  // namespace klova::test
