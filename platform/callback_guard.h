// The one guard for C callbacks into our code (element virtual methods, signal and bus
// handlers): no exception may leave a callback into C. A failure is logged and, for an
// element, posted as the element's error; the callback then returns its failure value.
#pragma once

#include <gst/gst.h>

#include <type_traits>

namespace klova {

// Logs the exception being handled (debug category "klovacallback"), with what the
// callback was doing; unless element is null, also posts it as the element's error.
// Call it inside a catch block only.
void ReportCallbackFailure(GstElement* element, const char* what) noexcept;

// call()'s result, or failure when it throws.
template <typename Call, typename Result = std::invoke_result_t<Call&>>
Result GuardCallback(GstElement* element, const char* what, Call&& call, std::type_identity_t<Result> failure) noexcept
{
    try {
        return call();
    } catch (...) {
        ReportCallbackFailure(element, what);
    }
    return failure;
}

// The same for a callback that returns nothing.
template <typename Call>
void GuardCallback(GstElement* element, const char* what, Call&& call) noexcept
{
    try {
        call();
    } catch (...) {
        ReportCallbackFailure(element, what);
    }
}

}  // namespace klova
