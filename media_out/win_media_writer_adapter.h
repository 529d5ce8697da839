// The Windows Media writer library behind the OutputWriter interface: one writer of the
// library per file, made through the process's binding. A file that cannot be set up
// throws CMyException code WindowsMediaFailed; write failures are returned.
#pragma once

#include "media_out/output_writer.h"
#include "media_out/win_media_writer_ptr.h"
#include "platform/atomic_output_file.h"

#include <optional>
#include <string>

namespace klova {

class WinMediaLibrary;

class WinMediaWriterAdapter final : public OutputWriter {
public:
    // library: the process's binding, borrowed; null or unavailable makes Open fail.
    // profile: a built-in profile's name or the text of a ".prx" file; empty for none
    // (the library then refuses to open the file).
    WinMediaWriterAdapter(const WinMediaLibrary* library, std::u16string profile);
    // A file not ended is removed (the library completes it when its writer is
    // released, under the temporary name).
    ~WinMediaWriterAdapter() override = default;
    WinMediaWriterAdapter(const WinMediaWriterAdapter&) = delete;
    WinMediaWriterAdapter& operator=(const WinMediaWriterAdapter&) = delete;

    void Open(const std::string& path, const OutputFormat& format) override;
    bool WriteVideo(const uint8_t* frame) override;
    bool WriteAudio(const uint8_t* chunk, uint32_t length) override;
    bool End() override;
    std::string FailureDetail() const override;

private:
    const WinMediaLibrary* library_;
    std::u16string profile_;
    std::optional<AtomicOutputFile> outputFile_;  // from Open; outlives the writer
    WinMediaWriterPtr writer_;                    // from Open until End
    bool completed_ = false;    // End's answer
    bool failed_ = false;       // a write or the end failed
};

}  // namespace klova
