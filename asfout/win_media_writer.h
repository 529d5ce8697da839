// The interface of the Windows Media writer library (libasfout.so). This header is the
// whole contract between the library and the program that loads it: nothing else of
// either side is shared. Methods return HRESULT-style results (negative = failure)
// and never throw.
#pragma once

#include <cstdint>
#include <string>

struct IWinMediaWriter {
    // Reference counting; the creator ends the object with Release.
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

    // S_OK (0) with the name of the index-th built-in profile, S_FALSE (1) past the end.
    virtual int32_t GetProfileName(int32_t index, std::u16string* name) = 0;
    // The index of a built-in profile with exactly this name, or -1.
    virtual int32_t FindProfile(const char16_t* name, int32_t* index) = 0;
    // Output frame size, the 18-byte PCM format of the audio chunks (all zero: no
    // audio), and the output frame rate. Called after OpenFile.
    virtual int32_t SetStreamFormats(int32_t width, int32_t height, int32_t formatSize, const void* waveFormat,
                                     double framesPerSecond) = 0;
    // The output path (UTF-16) and the profile: a built-in name or the text of a
    // ".prx" profile.
    virtual int32_t OpenFile(const char16_t* path, const char16_t* profile) = 0;
    virtual int32_t GetVideoToken(uint32_t* token) = 0;
    virtual int32_t GetAudioToken(uint32_t* token) = 0;
    // One bottom-up 24-bit frame of the output size; (0, null) ends the video.
    virtual int32_t WriteVideo(uint32_t token, const uint8_t* frame) = 0;
    // One output frame's worth of audio: `length` bytes of whole sample blocks (the
    // share of the frame; it may vary from frame to frame by a block, or be 0);
    // (0, null, 0) ends the audio.
    virtual int32_t WriteAudio(uint32_t token, const uint8_t* chunk, uint32_t length) = 0;
    // S_OK with the video and audio bit rates (bits per second; audio 0: the profile
    // carries no sound) of the index-th built-in profile, S_FALSE past the end.
    virtual int32_t GetProfileBitRates(int32_t index, int64_t* videoBitsPerSecond, int64_t* audioBitsPerSecond) = 0;
    // The shape of the frames' pixels (x : y, both positive), stored with the video
    // stream so players show the picture at its display aspect. Square unless set;
    // called after OpenFile and before SetStreamFormats.
    virtual int32_t SetPixelAspect(int32_t x, int32_t y) = 0;

protected:
    ~IWinMediaWriter() = default;
};

// The library's one export; everything else in libasfout.so is hidden.
#if defined(__GNUC__)
#define KLOVA_ASFOUT_EXPORT __attribute__((visibility("default")))
#else
#define KLOVA_ASFOUT_EXPORT
#endif
extern "C" KLOVA_ASFOUT_EXPORT int32_t CreateWinMediaWriter(IWinMediaWriter** writer);
using CreateWinMediaWriterFunction = int32_t (*)(IWinMediaWriter** writer);

inline constexpr const char* kWinMediaLibraryName = "libasfout.so";
inline constexpr const char* kWinMediaFactoryName = "CreateWinMediaWriter";
