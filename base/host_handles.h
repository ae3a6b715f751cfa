// Owning wrappers for the handles the plug-in takes from the host: memory handles (with their
// lock), stream references, stream values, render options and frame receipts. Each wrapper is
// made with the suite that gives its handle back, before the handle is taken: a suite acquired
// later in a stage may be missing (its error unwinds the stage to the hook boundary), and by then
// every handle already taken can still go back. The destructor gives the handle back, on every
// path out of the scope. Main thread only, like every host call.
#pragma once

#include <string>
#include <utility>

#include "sdk/AE_SDK.h"

// One host handle of type Handle, given back through Suite's member Release.
template <class Handle, class Suite, A_Err (*Suite::*Release)(Handle)>
class HostHandle {
public:
    explicit HostHandle(const Suite* suite) : suite_(suite) {}
    ~HostHandle() { reset(); }
    HostHandle(const HostHandle&) = delete;
    HostHandle& operator=(const HostHandle&) = delete;
    HostHandle(HostHandle&& other) noexcept
        : suite_(other.suite_), handle_(std::exchange(other.handle_, nullptr)) {}

    // For the host call that fills the handle in; an earlier handle goes back first. A handle the
    // host filled in is owned whatever the call returned.
    Handle* out() {
        reset();
        return &handle_;
    }
    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    const Suite* suite() const { return suite_; }

    void reset() {
        if (handle_ != nullptr) (suite_->*Release)(std::exchange(handle_, nullptr));
    }

private:
    const Suite* suite_;
    Handle handle_ = nullptr;
};

using HostStream = HostHandle<AEGP_StreamRefH, AEGP_StreamSuite11, &AEGP_StreamSuite11::AEGP_DisposeStream>;
using HostRenderOptions =
    HostHandle<AEGP_RenderOptionsH, AEGP_RenderOptionsSuite3, &AEGP_RenderOptionsSuite3::AEGP_Dispose>;
using HostFrameReceipt =
    HostHandle<AEGP_FrameReceiptH, AEGP_RenderSuite8, &AEGP_RenderSuite8::AEGP_CheckinFrame>;

// A memory handle, read under its lock.
class HostMemory
    : public HostHandle<AEGP_MemHandle, AEGP_MemorySuite1, &AEGP_MemorySuite1::AEGP_FreeMemHandle> {
public:
    using HostHandle::HostHandle;
    // The handle's zero-terminated 8-bit text. False when there is no handle or it cannot be
    // locked (then `text` is left as it was).
    bool readText(std::string* text) const;
    // The handle's zero-terminated UTF-16 text, the same way.
    bool readUtf16(std::u16string* text) const;

private:
    template <class Read>
    bool withLocked(Read read) const;
};

// A stream value the host made (AEGP_GetNewStreamValue, AEGP_GetNewKeyframeValue): held once
// the call that makes it succeeds, disposed of at the end of the scope.
class HostStreamValue {
public:
    explicit HostStreamValue(const AEGP_StreamSuite11* streams) : streams_(streams) {}
    ~HostStreamValue() { reset(); }
    HostStreamValue(const HostStreamValue&) = delete;
    HostStreamValue& operator=(const HostStreamValue&) = delete;

    // Runs `make(AEGP_StreamValue2*)`, the host call that makes the value; true when it did.
    template <class Make>
    bool take(Make make) {
        reset();
        held_ = make(&value_) == A_Err_NONE;
        return held_;
    }
    const AEGP_StreamVal2& val() const { return value_.val; }

    void reset() {
        if (held_) streams_->AEGP_DisposeStreamValue(&value_);
        held_ = false;
        value_ = AEGP_StreamValue2{};
    }

private:
    const AEGP_StreamSuite11* streams_;
    AEGP_StreamValue2 value_{};
    bool held_ = false;
};
