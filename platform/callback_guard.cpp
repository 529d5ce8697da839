#include "platform/callback_guard.h"

#include <exception>

GST_DEBUG_CATEGORY_STATIC(callback_guard_debug);
#define GST_CAT_DEFAULT callback_guard_debug

namespace klova {

void ReportCallbackFailure(GstElement* element, const char* what) noexcept
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(callback_guard_debug, "klovacallback", 0, "failures caught in callbacks");
        return true;
    }();
    (void)initialised;
    const char* detail = "unknown failure";
    try {
        throw;
    } catch (const std::exception& error) {
        detail = error.what();
    } catch (...) {
    }
    if (element)
        GST_ELEMENT_ERROR(element, CORE, FAILED, (nullptr), ("%s: %s", what, detail));
    else
        GST_ERROR("failure while %s: %s", what, detail);
}

}  // namespace klova
