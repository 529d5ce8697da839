#include "engine/audio_converter.h"

#include "platform/errors.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>

namespace klova {
namespace {

// No error code of its own: the user sees "Cannot make conversion.".
constexpr int32_t kAudioConversionFailed = 0;
constexpr uint16_t kWaveFormatIeeeFloat = 3;
constexpr uint16_t kMaxChannels = 8;  // the channel layouts GStreamer can guess

[[noreturn]] void Refuse(const std::string& detail)
{
    throw CMyException(kAudioConversionFailed, "audio conversion: " + detail);
}

std::string Describe(const WAVEFORMATEX& format)
{
    return "tag " + std::to_string(format.wFormatTag) + ", " + std::to_string(format.nChannels) + " channels, " +
           std::to_string(format.nSamplesPerSec) + " Hz, " + std::to_string(format.wBitsPerSample) + " bits, block " +
           std::to_string(format.nBlockAlign);
}

GstAudioFormat SampleFormatOf(const WAVEFORMATEX& format)
{
    if (format.wFormatTag == WAVE_FORMAT_PCM) {
        switch (format.wBitsPerSample) {
        case 8: return GST_AUDIO_FORMAT_U8;  // 8-bit PCM is unsigned, silence 128
        case 16: return GST_AUDIO_FORMAT_S16LE;
        case 24: return GST_AUDIO_FORMAT_S24LE;
        case 32: return GST_AUDIO_FORMAT_S32LE;
        default: break;
        }
    } else if (format.wFormatTag == kWaveFormatIeeeFloat) {
        if (format.wBitsPerSample == 32)
            return GST_AUDIO_FORMAT_F32LE;
        if (format.wBitsPerSample == 64)
            return GST_AUDIO_FORMAT_F64LE;
    }
    return GST_AUDIO_FORMAT_UNKNOWN;
}

// The stream described by format, with rate replaced by the rate the converter is to
// assume (see the rate matching in the constructor).
GstAudioInfo InfoOf(const WAVEFORMATEX& format, int32_t rate, const char* role)
{
    const GstAudioFormat sampleFormat = SampleFormatOf(format);
    if (sampleFormat == GST_AUDIO_FORMAT_UNKNOWN || format.nChannels == 0 || format.nChannels > kMaxChannels ||
        format.nSamplesPerSec == 0 || format.nBlockAlign != format.nChannels * (format.wBitsPerSample / 8))
        Refuse(std::string("unsupported ") + role + " format (" + Describe(format) + ")");
    GstAudioInfo info;
    gst_audio_info_init(&info);
    if (format.nChannels <= 2) {
        gst_audio_info_set_format(&info, sampleFormat, rate, format.nChannels, nullptr);
    } else {
        // The 18-byte format has no channel mask: assume the usual layout for the count.
        GstAudioChannelPosition positions[kMaxChannels];
        gst_audio_channel_positions_from_mask(format.nChannels, gst_audio_channel_get_fallback_mask(format.nChannels),
                                              positions);
        gst_audio_info_set_format(&info, sampleFormat, rate, format.nChannels, positions);
    }
    return info;
}

}  // namespace

WAVEFORMATEX MakeOutputAudioFormat(const ConversionSettings& settings)
{
    static constexpr uint32_t kRates[] = {11025, 22050, 32000, 44100, 48000};
    const uint32_t rate = settings.SampleRate >= 0 && settings.SampleRate < 5 ? kRates[settings.SampleRate] : 0;
    return MakePcmFormat(static_cast<uint16_t>(settings.Channels + 1), rate,
                         static_cast<uint16_t>((settings.Bits + 1) * 8));
}

AudioConverter::AudioConverter(const WAVEFORMATEX& sourceFormat, const WAVEFORMATEX& outputFormat, double frameRate)
{
    static_assert(sizeof(WAVEFORMATEX) == 18, "the formats are compared in all 18 bytes");
    if (sourceFormat.nChannels == 0 || std::memcmp(&sourceFormat, &outputFormat, sizeof(WAVEFORMATEX)) == 0)
        return;

    if (!(frameRate > 0.0) || !std::isfinite(frameRate))
        Refuse("frame rate " + std::to_string(frameRate));
    // Checked here: a zero rate or block would otherwise reach the schedule first.
    GstAudioInfo inInfo = InfoOf(sourceFormat, static_cast<int32_t>(sourceFormat.nSamplesPerSec), "source");
    GstAudioInfo outInfo = InfoOf(outputFormat, static_cast<int32_t>(outputFormat.nSamplesPerSec), "output");
    sourceBlock_ = sourceFormat.nBlockAlign;
    outputBlock_ = outputFormat.nBlockAlign;
    try {
        outputSchedule_ = AudioChunkSchedule(outputBlock_, outputFormat.nSamplesPerSec, frameRate);
    } catch (const std::invalid_argument& error) {
        Refuse(error.what());
    }

    // No dither: the result is deterministic and silence stays exact silence.
    GstStructure* config = gst_structure_new(
        "GstAudioConverter", GST_AUDIO_CONVERTER_OPT_DITHER_METHOD, GST_TYPE_AUDIO_DITHER_METHOD, GST_AUDIO_DITHER_NONE,
        GST_AUDIO_CONVERTER_OPT_NOISE_SHAPING_METHOD, GST_TYPE_AUDIO_NOISE_SHAPING_METHOD,
        GST_AUDIO_NOISE_SHAPING_NONE, nullptr);
    // config is handed over to the converter (transfer full).
    converter_.reset(gst_audio_converter_new(GST_AUDIO_CONVERTER_FLAG_NONE, &inInfo, &outInfo, config));
    if (!converter_)
        Refuse("no converter from " + Describe(sourceFormat) + " to " + Describe(outputFormat));
    outputInfo_ = outInfo.finfo;

    // Sizes, in sample blocks. After k frames the source schedule has handed in and the
    // output schedule takes out amounts that differ from the exact rate ratio by less
    // than a block each, and the resampler holds back up to its latency: silence of that
    // length (plus a margin) at the head of the queue means no frame is ever short. It
    // delays the sound by the resampler's own delay, a few milliseconds at most.
    const double ratio = static_cast<double>(outputFormat.nSamplesPerSec) / sourceFormat.nSamplesPerSec;
    const size_t latency = gst_audio_converter_get_max_latency(converter_.get());
    const size_t primeBlocks = static_cast<size_t>(std::ceil((latency + 4) * ratio)) + 4;
    AudioChunkSchedule sourceSchedule(sourceBlock_, sourceFormat.nSamplesPerSec, frameRate);
    const size_t maxInputBlocks = sourceSchedule.MaxChunkBytes() / sourceBlock_;
    const size_t maxOutputBlocksPerChunk =
        static_cast<size_t>(std::ceil((maxInputBlocks + 2 * latency + 4) * ratio)) + 4;
    queue_.resize((2 * primeBlocks + maxOutputBlocksPerChunk + 4) * outputBlock_ + MaxConvertedChunkSize());

    // Let the converter set up its internal buffers and code now, on real samples of
    // silence, rather than during the first frames; then forget the silence.
    const size_t warmUpBlocks = maxInputBlocks + 2 * latency + 16;
    const size_t warmUpOutput = gst_audio_converter_get_out_frames(converter_.get(), warmUpBlocks);
    std::vector<uint8_t> warmUpInput(warmUpBlocks * sourceBlock_);
    queue_.resize(std::max(queue_.size(), warmUpOutput * outputBlock_));
    gst_audio_format_info_fill_silence(inInfo.finfo, warmUpInput.data(), warmUpInput.size());
    gpointer warmUpIn[1] = {warmUpInput.data()};
    gpointer warmUpOut[1] = {queue_.data()};
    gst_audio_converter_samples(converter_.get(), GST_AUDIO_CONVERTER_FLAG_NONE, warmUpIn, warmUpBlocks, warmUpOut,
                                warmUpOutput);
    gst_audio_converter_reset(converter_.get());

    queueLength_ = primeBlocks * outputBlock_;
    FillSilence(queue_.data(), queueLength_);
}

void AudioConverter::FillSilence(uint8_t* bytes, size_t length) const
{
    gst_audio_format_info_fill_silence(outputInfo_, bytes, length);
}

const uint8_t* AudioConverter::ConvertAudio(const uint8_t* chunk, uint32_t length, uint32_t* convertedLength)
{
    *convertedLength = 0;
    if (!chunk)
        return nullptr;
    if (!converter_) {
        *convertedLength = length;
        return chunk;
    }

    // The writer has taken the bytes handed out last time.
    std::memmove(queue_.data(), queue_.data() + handedOut_, queueLength_ - handedOut_);
    queueLength_ -= handedOut_;
    handedOut_ = 0;

    const size_t inputBlocks = length / sourceBlock_;
    if (inputBlocks > 0) {
        // The queue is sized for the most one chunk can produce; should that bound ever
        // be passed, the output is cut rather than written past the queue.
        const size_t room = (queue_.size() - queueLength_) / outputBlock_;
        const size_t outputBlocks = std::min(gst_audio_converter_get_out_frames(converter_.get(), inputBlocks), room);
        gpointer in[1] = {const_cast<uint8_t*>(chunk)};
        gpointer out[1] = {queue_.data() + queueLength_};
        gst_audio_converter_samples(converter_.get(), GST_AUDIO_CONVERTER_FLAG_NONE, in, inputBlocks, out,
                                    outputBlocks);
        queueLength_ += outputBlocks * outputBlock_;
    }

    const uint32_t share = outputSchedule_.NextChunkBytes();
    if (queueLength_ < share) {
        // Not reached: the silence at the head of the queue covers the resampler's delay.
        FillSilence(queue_.data() + queueLength_, share - queueLength_);
        queueLength_ = share;
    }
    handedOut_ = share;
    *convertedLength = share;
    return queue_.data();
}

}  // namespace klova
