#include "media_out/win_media_writer_adapter.h"

#include "asfout/win_media_writer.h"
#include "media_out/win_media_library.h"
#include "platform/errors.h"
#include "platform/unicode_text.h"

#include <system_error>
#include <utility>

namespace klova {
namespace {

// The token the library gives for a stream, passed back with each write.
uint32_t Token(IWinMediaWriter* writer, int32_t (IWinMediaWriter::*getToken)(uint32_t*))
{
    uint32_t token = 0;
    (writer->*getToken)(&token);
    return token;
}

}  // namespace

WinMediaWriterAdapter::WinMediaWriterAdapter(const WinMediaLibrary* library, std::u16string profile)
    : library_(library), profile_(std::move(profile))
{
}

void WinMediaWriterAdapter::Open(const std::string& path, const OutputFormat& format)
{
    writer_ = library_ ? library_->CreateWriter() : WinMediaWriterPtr();
    if (!writer_)
        throw CMyException(ErrorCode::WindowsMediaFailed, "the Windows Media writer library is not available");
    try {
        outputFile_.emplace(path);
    } catch (const std::system_error& error) {
        throw CMyException(ErrorCode::WindowsMediaFailed, "cannot create " + path + ": " + error.what());
    }
    const std::u16string widePath = Utf8ToUtf16(outputFile_->writePath());
    if (Failed(writer_->OpenFile(widePath.c_str(), profile_.c_str())))
        throw CMyException(ErrorCode::WindowsMediaFailed, "the Windows Media writer cannot open " + path);
    if (!format.pixelAspect.IsSquare() &&
        Failed(writer_->SetPixelAspect(format.pixelAspect.x, format.pixelAspect.y)))
        throw CMyException(ErrorCode::WindowsMediaFailed, "the Windows Media writer refused the pixel aspect");
    // All zero: no audio stream.
    const WAVEFORMATEX audioFormat = format.audio.value_or(WAVEFORMATEX{});
    if (Failed(writer_->SetStreamFormats(format.width, format.height, sizeof audioFormat, &audioFormat,
                                         format.frameRate)))
        throw CMyException(ErrorCode::WindowsMediaFailed, "the Windows Media writer refused the stream formats");
}

bool WinMediaWriterAdapter::WriteVideo(const uint8_t* frame)
{
    const bool ok =
        writer_ && Succeeded(writer_->WriteVideo(Token(writer_.get(), &IWinMediaWriter::GetVideoToken), frame));
    failed_ = failed_ || !ok;
    return ok;
}

bool WinMediaWriterAdapter::WriteAudio(const uint8_t* chunk, uint32_t length)
{
    const bool ok = writer_ && Succeeded(writer_->WriteAudio(Token(writer_.get(), &IWinMediaWriter::GetAudioToken),
                                                             chunk, length));
    failed_ = failed_ || !ok;
    return ok;
}

std::string WinMediaWriterAdapter::FailureDetail() const
{
    // The library logs its own reasons (FFmpeg's log); here only which step failed.
    if (failed_)
        return "the Windows Media writer refused a frame";
    if (outputFile_ && !completed_ && !writer_)
        return "the Windows Media file could not be completed";
    return {};
}

bool WinMediaWriterAdapter::End()
{
    if (!writer_)
        return completed_;
    const bool videoEnded = Succeeded(writer_->WriteVideo(0, nullptr));
    const bool audioEnded = Succeeded(writer_->WriteAudio(0, nullptr, 0));
    completed_ = videoEnded && audioEnded;
    // The library completes the file when the last reference goes.
    writer_.reset();
    if (outputFile_) {
        if (completed_)
            completed_ = outputFile_->Commit();
        else
            outputFile_->Discard();
    }
    return completed_;
}

}  // namespace klova
