// What a front end supplies to a running conversion: the Windows Media profile text,
// and a preview surface for the output frames. Called on the thread that drives the
// job, which in the program is the window's own thread: a host may touch its widgets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace klova {

class ConversionHost {
public:
    virtual ~ConversionHost() = default;

    // The profile text handed to every Windows Media writer of the conversion: the
    // name of a built-in profile or the text of a ".prx" file; nullopt when the
    // setting names neither (the writer then fails to open).
    virtual std::optional<std::u16string> ResolveMediaProfile(const std::string& mediaProfile) = 0;

    // The preview is prepared once per conversion (whether or not it is wanted at the
    // start) for output frames of the given size; the picture keeps the source's aspect.
    virtual void PreparePreview(int32_t outputWidth, int32_t outputHeight, int32_t sourceWidth,
                                int32_t sourceHeight)
    {
        (void)outputWidth, (void)outputHeight, (void)sourceWidth, (void)sourceHeight;
    }

    // Shows one output frame (RGB24 DIB of the output size) while WantPreview is set.
    // The frame is writable: the host may draw statusLine into it, and the frame then
    // reaches the writer with it.
    virtual void ShowPreview(uint8_t* frame, const std::string& statusLine) { (void)frame, (void)statusLine; }

    // Frees what PreparePreview set up.
    virtual void ClosePreview() {}
};

}  // namespace klova
