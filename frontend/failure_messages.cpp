#include "frontend/failure_messages.h"

#include "platform/errors.h"
#include "resources/string_table.h"

#include <gst/gst.h>

GST_DEBUG_CATEGORY_STATIC(failure_debug);

namespace klova {

uint32_t MessageIdForCode(int32_t code)
{
    switch (code) {
    case static_cast<int32_t>(ErrorCode::GraphInitFailed): return IDS_CANNOT_INIT_GRAPH;
    case static_cast<int32_t>(ErrorCode::OutputOpenFailed): return IDS_CANNOT_OPEN_OUTPUT;
    case static_cast<int32_t>(ErrorCode::InputOpenFailed): return IDS_CANNOT_OPEN_INPUT;
    case static_cast<int32_t>(ErrorCode::WindowsMediaFailed): return IDS_WINDOWS_MEDIA_ERROR;
    case static_cast<int32_t>(ErrorCode::OutputWriteFailed): return IDS_CANNOT_WRITE_OUTPUT;
    case static_cast<int32_t>(ErrorCode::InvalidOutputFormat): return IDS_INVALID_OUTPUT_FORMAT;
    case static_cast<int32_t>(ErrorCode::NoVideoStream): return IDS_NO_VIDEO_STREAM;
    case static_cast<int32_t>(ErrorCode::InvalidAudioFormat): return IDS_INVALID_AUDIO_FORMAT;
    default: return IDS_CANNOT_CONVERT;
    }
}

std::optional<uint32_t> MessageIdForException(const std::exception_ptr& failure)
{
    if (!failure)
        return std::nullopt;
    try {
        std::rethrow_exception(failure);
    } catch (const CMyException& error) {
        return MessageIdForCode(error.code());
    } catch (const FileException&) {
        return IDS_CANNOT_WRITE_PROJECT;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::string> FailureText(const std::exception_ptr& failure)
{
    const std::optional<uint32_t> id = MessageIdForException(failure);
    if (!id)
        return std::nullopt;
    return LoadStringResource(*id);
}

std::optional<std::string> FailureReason(const std::exception_ptr& failure)
{
    if (!failure)
        return std::nullopt;
    try {
        std::rethrow_exception(failure);
    } catch (const CMyException& error) {
        return error.hasDetail() ? std::optional<std::string>(error.what()) : std::nullopt;
    } catch (const FileException& error) {
        return std::string(error.what());
    } catch (...) {
        return std::nullopt;
    }
}

void LogFailure(const std::exception_ptr& failure)
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(failure_debug, "klovafailure", 0, "failures shown to the user");
        return true;
    }();
    (void)initialised;
    const std::optional<std::string> text = FailureText(failure);
    const std::optional<std::string> reason = FailureReason(failure);
    GST_CAT_WARNING(failure_debug, "%s (%s)", text ? text->c_str() : "unexpected failure",
                    reason ? reason->c_str() : "no reason given");
}

}  // namespace klova
