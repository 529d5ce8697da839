// Which demuxed streams an input reader may drop before decodebin's queue.
#include "media_in/stream_caps.h"

#include "platform/gst_ptr.h"

#include <gtest/gtest.h>

namespace klova {
namespace {

GstPtr<GstCaps> Caps(const char* text)
{
    return adopt(gst_caps_from_string(text));
}

TEST(StreamCaps, KindFollowsTheMediaTypeAndMissingCapsAreOther)
{
    EXPECT_EQ(KindOfCaps(Caps("video/x-h264, stream-format=avc").get()), StreamKind::Video);
    EXPECT_EQ(KindOfCaps(Caps("image/jpeg").get()), StreamKind::Video);
    EXPECT_EQ(KindOfCaps(Caps("audio/mpeg, mpegversion=4").get()), StreamKind::Audio);
    EXPECT_EQ(KindOfCaps(Caps("subpicture/x-dvd").get()), StreamKind::Other);
    EXPECT_EQ(KindOfCaps(Caps("EMPTY").get()), StreamKind::Other);
    EXPECT_EQ(KindOfCaps(nullptr), StreamKind::Other);
}

// A stream holding a whole multiplex may carry the reader's kind too, whatever its
// media type says: it is never dropped.
TEST(StreamCaps, OnlyAnElementaryStreamOfTheOtherKindIsDropped)
{
    EXPECT_TRUE(IsElementaryStreamOfOtherKind(StreamKind::Audio, Caps("video/mpeg, mpegversion=2, systemstream=false").get()));
    EXPECT_TRUE(IsElementaryStreamOfOtherKind(StreamKind::Audio, Caps("image/png").get()));
    EXPECT_TRUE(IsElementaryStreamOfOtherKind(StreamKind::Video, Caps("audio/x-ac3").get()));

    EXPECT_FALSE(IsElementaryStreamOfOtherKind(StreamKind::Video, Caps("video/x-h264").get()));
    EXPECT_FALSE(IsElementaryStreamOfOtherKind(StreamKind::Audio, Caps("audio/mpeg, mpegversion=1").get()));
    EXPECT_FALSE(IsElementaryStreamOfOtherKind(StreamKind::Audio, Caps("text/x-raw").get()));
    EXPECT_FALSE(IsElementaryStreamOfOtherKind(StreamKind::Video, nullptr));

    for (const char* multiplex : {"video/mpegts, systemstream=true", "video/mpeg, systemstream=true",
                                  "video/quicktime", "video/x-matroska", "video/webm", "video/x-msvideo",
                                  "audio/x-matroska"}) {
        EXPECT_TRUE(IsMultiplexedCaps(Caps(multiplex).get())) << multiplex;
        EXPECT_FALSE(IsElementaryStreamOfOtherKind(StreamKind::Audio, Caps(multiplex).get())) << multiplex;
        EXPECT_FALSE(IsElementaryStreamOfOtherKind(StreamKind::Video, Caps(multiplex).get())) << multiplex;
    }
}

}  // namespace
}  // namespace klova
