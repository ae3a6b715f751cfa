// Shared by the model-suite tests: a fresh demo project and empty handle tables per test, and
// helpers to read memory handles through the Memory Suite.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "hostsim/model/project.h"
#include "hostsim/suites/model_suites.h"
#include "sdk/AE_SDK.h"

namespace qlo::hostsim::testing {

inline constexpr AEGP_PluginID kPlugin = 7;

// Reads and frees a memory handle of zero-terminated 8-bit text.
inline std::string TakeText(AEGP_MemHandle h) {
    const AEGP_MemorySuite1* mem = MemorySuite();
    void* p = nullptr;
    EXPECT_EQ(mem->AEGP_LockMemHandle(h, &p), A_Err_NONE);
    std::string s = p ? static_cast<const char*>(p) : "";
    EXPECT_EQ(mem->AEGP_UnlockMemHandle(h), A_Err_NONE);
    EXPECT_EQ(mem->AEGP_FreeMemHandle(h), A_Err_NONE);
    return s;
}

class SuitesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetHandleTables();
        SetCurrentProject(MakeDemoProject());
        comp = CurrentProject().findItemByName("Demo")->asComposition();
        ASSERT_NE(comp, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(std::pair(LiveMemHandles(), LiveStreamRefs()), std::pair(size_t{0}, size_t{0}))
            << "memory handles and stream references the test took are given back";
        ResetHandleTables();
        SetFrameRenderer(nullptr);
        SetScriptEngine(nullptr);
        SetCurrentProject(nullptr);
    }

    // Reads and frees a memory handle of zero-terminated UTF-16.
    static std::u16string TakeUtf16(AEGP_MemHandle h) {
        AEGP_MemSize size = 0;
        EXPECT_EQ(MemorySuite()->AEGP_GetMemHandleSize(h, &size), A_Err_NONE);
        void* p = nullptr;
        EXPECT_EQ(MemorySuite()->AEGP_LockMemHandle(h, &p), A_Err_NONE);
        const std::u16string s = p ? Utf16FromZ(static_cast<const A_UTF16Char*>(p), size / 2) : u"";
        EXPECT_EQ((s.size() + 1) * 2, size) << "one terminating zero, nothing after it";
        EXPECT_EQ(MemorySuite()->AEGP_UnlockMemHandle(h), A_Err_NONE);
        EXPECT_EQ(MemorySuite()->AEGP_FreeMemHandle(h), A_Err_NONE);
        return s;
    }
    static AEGP_StreamRefH OpenStream(AEGP_LayerH layer, AEGP_LayerStream which) {
        AEGP_StreamRefH s = nullptr;
        EXPECT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, layer, which, &s), A_Err_NONE);
        return s;
    }
    // The value of stream s at t, read the way the plug-in reads it.
    static AEGP_StreamVal2 ValueAt(AEGP_StreamRefH s, A_Time t, AEGP_LTimeMode mode = AEGP_LTimeMode_CompTime) {
        AEGP_StreamValue2 v{};
        EXPECT_EQ(StreamSuite()->AEGP_GetNewStreamValue(kPlugin, s, mode, &t, 1, &v), A_Err_NONE);
        EXPECT_EQ(v.streamH, s);
        EXPECT_EQ(StreamSuite()->AEGP_DisposeStreamValue(&v), A_Err_NONE);
        return v.val;
    }
    // One stream of a layer at t, through a reference taken and given back for it.
    static AEGP_StreamVal2 ValueOf(AEGP_LayerH layer, AEGP_LayerStream which, double t = 0) {
        AEGP_StreamRefH s = OpenStream(layer, which);
        const AEGP_StreamVal2 v = ValueAt(s, ToATime(t));
        EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(s), A_Err_NONE);
        return v;
    }
    static AEGP_RenderOptionsH NewOptions(const Item& item) {
        AEGP_RenderOptionsH o = nullptr;
        EXPECT_EQ(RenderOptionsSuite()->AEGP_NewFromItem(kPlugin, ItemHandle(item), &o), A_Err_NONE);
        return o;
    }
    Layer* layerNamed(const std::string& name) {
        for (const auto& l : comp->layers())
            if (l->name == name) return l.get();
        return nullptr;
    }

    Composition* comp = nullptr;
};

inline A_Time Sec(double s) { return ToATime(s); }

}  // namespace qlo::hostsim::testing
