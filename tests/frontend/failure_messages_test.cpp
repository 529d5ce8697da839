#include "frontend/failure_messages.h"

#include "platform/errors.h"

#include <gtest/gtest.h>

#include <new>

namespace klova {
namespace {

std::optional<std::string> TextFor(auto exception) { return FailureText(std::make_exception_ptr(exception)); }

TEST(FailureMessages, EveryCodeMapsToItsExactText)
{
    EXPECT_EQ(TextFor(CMyException(1)), "Cannot initialize DirectShow base system.");
    EXPECT_EQ(TextFor(CMyException(5)), "Cannot open output file.");
    EXPECT_EQ(TextFor(CMyException(6)), "Cannot make conversion.");
    EXPECT_EQ(TextFor(CMyException(7)), "Cannot open input file.");
    EXPECT_EQ(TextFor(CMyException(9)), "Windows Media error.");
    EXPECT_EQ(TextFor(CMyException(0)), "Cannot make conversion.");
    EXPECT_EQ(TextFor(CMyException(42)), "Cannot make conversion.");
    EXPECT_EQ(TextFor(CMyException(-3)), "Cannot make conversion.");
    EXPECT_EQ(TextFor(CMyException(ErrorCode::OutputWriteFailed)), "Cannot write output file.");
    EXPECT_EQ(TextFor(CMyException(ErrorCode::InvalidOutputFormat)), "Invalid output frame rate or frame size.");
    EXPECT_EQ(TextFor(CMyException(ErrorCode::NoVideoStream)), "The input file has no video stream.");
    EXPECT_EQ(TextFor(CMyException(ErrorCode::InvalidAudioFormat)), "Invalid output audio format.");
}

TEST(FailureMessages, TheReasonIsTheTechnicalDetailAnExceptionCarries)
{
    const auto reasonFor = [](auto exception) { return FailureReason(std::make_exception_ptr(exception)); };
    EXPECT_EQ(reasonFor(CMyException(ErrorCode::InvalidOutputFormat, "output size 0 x 240")), "output size 0 x 240");
    EXPECT_EQ(reasonFor(FileException("cannot create project file x.msq: No such file or directory")),
              "cannot create project file x.msq: No such file or directory");
    EXPECT_EQ(reasonFor(CMyException(5)), std::nullopt);  // only a code
    EXPECT_EQ(reasonFor(std::runtime_error("other")), std::nullopt);
    EXPECT_EQ(FailureReason(nullptr), std::nullopt);
}

TEST(FailureMessages, TheProjectFileExceptionHasItsOwnTextAndForeignExceptionsNone)
{
    EXPECT_EQ(TextFor(FileException("disk full")), "Cannot write Montra project file");
    EXPECT_EQ(TextFor(std::bad_alloc()), std::nullopt);
    EXPECT_EQ(TextFor(std::runtime_error("other")), std::nullopt);
    EXPECT_EQ(FailureText(nullptr), std::nullopt);
}

}  // namespace
}  // namespace klova
