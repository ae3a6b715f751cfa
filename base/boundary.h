// The host calls the plug-in through C function pointers: no C++ exception may leave a hook and
// unwind through the host's own frames. Every function the host calls runs its body through
// QLOCallFromHost, which turns a missing suite (the int 516 that MissingSuiteError throws) into
// that error code and anything else into a generic error, logging one line. The suite handlers
// inside the body release what they hold while the exception unwinds to this point.
#pragma once

#include <exception>
#include <utility>

#include "base/main_thread.h"
#include "platform/log.h"
#include "sdk/AE_Types.h"

template <class Body>
A_Err QLOCallFromHost(const char* where, Body&& body) noexcept {
    QLO_MAIN_THREAD_ONLY(where);
    try {
        return std::forward<Body>(body)();
    } catch (int err) {
        qlo::log::Log("[Quillo] %s: host suite missing (error %d)", where, err);
        return err;
    } catch (const std::exception& e) {
        qlo::log::Log("[Quillo] %s: unexpected error: %s", where, e.what());
        return A_Err_GENERIC;
    } catch (...) {
        qlo::log::Log("[Quillo] %s: unexpected error", where);
        return A_Err_GENERIC;
    }
}
