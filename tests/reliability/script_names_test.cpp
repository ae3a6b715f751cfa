// Camera names spliced into the viewer script read back, in the host's script engine, as the
// names themselves, whatever bytes they hold; the whole list stays one valid script expression.
#include <duktape.h>
#include <gtest/gtest.h>

#include "rig/script_text.h"

TEST(ViewerScriptNames, NamesWithLineBreaksNulSeparatorsAndStrayBytesReadBack) {
    const std::vector<std::string> names = {
        "Cam \"1\" \\ end", "two\nlines\r", std::string("nul\0inside", 10), "sep\xE2\x80\xA8para\xE2\x80\xA9",
        "stray \xFF byte", "K\xC3\xA4mera", "",
    };
    const std::string source = "[" + QuotedScriptNames(names) + "]";
    ASSERT_EQ(source.find('\0'), std::string::npos);  // the script is passed as a C string
    duk_context* ctx = duk_create_heap_default();
    ASSERT_EQ(duk_peval_lstring(ctx, source.data(), source.size()), 0) << duk_safe_to_string(ctx, -1);
    ASSERT_EQ(duk_get_length(ctx, -1), names.size());
    std::vector<std::string> back;
    for (size_t i = 0; i < names.size(); ++i) {
        duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i));
        duk_size_t length = 0;
        const char* text = duk_get_lstring(ctx, -1, &length);
        back.emplace_back(text, length);
        duk_pop(ctx);
    }
    duk_destroy_heap(ctx);
    std::vector<std::string> expected = names;
    expected[4] = "stray \xEF\xBF\xBD byte";  // not UTF-8: U+FFFD, as the host's conversion makes it
    EXPECT_EQ(back, expected);
}
