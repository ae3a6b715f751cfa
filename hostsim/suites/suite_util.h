// Internal to the model suites: helpers shared by the suite implementations.
#pragma once

#include <cmath>
#include <exception>
#include <new>

#include "hostsim/model/project.h"
#include "hostsim/suite_faults.h"
#include "sdk/AE_SDK.h"

namespace qlo::hostsim::detail {

// Runs a suite function's body; no exception ever crosses into the plug-in. A fault armed on
// the calling function (named by the compiler, see suite_faults.h) fails the call first.
template <class F>
A_Err Guard(F&& body, const char* function = __builtin_FUNCTION()) noexcept {
    if (const A_Err fault = SuiteFaults::instance().check(function); fault != A_Err_NONE) return fault;
    try {
        const A_Err err = body();
        if (err == A_Err_STRUCT) SuiteFaults::instance().noteHandleError();
        return err;
    } catch (const std::bad_alloc&) {
        return A_Err_ALLOC;
    } catch (...) {
        return A_Err_GENERIC;
    }
}

#define QLO_TRY(expr)                         \
    do {                                      \
        const A_Err qlo_err_ = (expr);        \
        if (qlo_err_ != A_Err_NONE) return qlo_err_; \
    } while (0)

#define QLO_NEED(cond)                                \
    do {                                              \
        if (!(cond)) return A_Err_PARAMETER;          \
    } while (0)

inline bool ValidTimeMode(AEGP_LTimeMode mode) {
    return mode == AEGP_LTimeMode_LayerTime || mode == AEGP_LTimeMode_CompTime;
}

// Seconds of a time a plug-in passes in; false for a null pointer or a zero scale.
inline bool TimeIn(const A_Time* t, double* seconds) {
    if (!t || t->scale == 0) return false;
    *seconds = Seconds(*t);
    return std::isfinite(*seconds);
}

inline bool ValidInterp(AEGP_KeyframeInterpolationType t) {
    return t == AEGP_KeyInterp_LINEAR || t == AEGP_KeyInterp_BEZIER || t == AEGP_KeyInterp_HOLD;
}

// A model value as the SDK's value union, and back.
inline AEGP_StreamVal2 ToStreamVal(ValueKind kind, const Value& v) {
    AEGP_StreamVal2 out{};
    switch (kind) {
    case ValueKind::OneD: out.one_d = v.v[0]; break;
    case ValueKind::ThreeD: out.three_d = AEGP_ThreeDVal{v.v[0], v.v[1], v.v[2]}; break;
    case ValueKind::Color: out.color = AEGP_ColorVal{v.v[3], v.v[0], v.v[1], v.v[2]}; break;
    }
    return out;
}

// False for a value with a non-finite component.
inline bool FromStreamVal(ValueKind kind, const AEGP_StreamVal2& in, Value* out) {
    switch (kind) {
    case ValueKind::OneD: *out = Value::One(in.one_d); break;
    case ValueKind::ThreeD: *out = Value::Three(in.three_d.x, in.three_d.y, in.three_d.z); break;
    case ValueKind::Color:
        *out = Value::Rgba(in.color.redF, in.color.greenF, in.color.blueF, in.color.alphaF);
        break;
    }
    for (double d : out->v)
        if (!std::isfinite(d)) return false;
    return true;
}

}  // namespace qlo::hostsim::detail
