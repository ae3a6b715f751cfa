// Handing web addresses to the desktop's opener: only web addresses, as the opener's only
// argument, and logged when there is no opener to take them.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/log.h"
#include "platform/ui/open_url.h"

namespace {

using namespace qlo::ui;

// Puts the environment the tests change back as it was.
class OpenURLTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetURLOpenerForTesting({});
        for (const auto& [name, value] : saved_) value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }
    void setEnv(const char* name, const char* value) {
        const char* old = getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    qlo::log::CaptureSink log;
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(OpenURLTest, TheOpenerGetsWebAddressesOnlyAndAFailureIsLogged) {
    std::vector<std::string> opened;
    SetURLOpenerForTesting([&](const std::string& url) {
        opened.push_back(url);
        return url.find("fail") == std::string::npos;
    });
    EXPECT_TRUE(OpenURL("https://example.com/download"));
    EXPECT_FALSE(OpenURL("https://example.com/fail"));
    EXPECT_EQ(log.count("https://example.com/fail"), 1u);
    EXPECT_EQ(log.count("https://example.com/download"), 0u);
    // Not web addresses: never handed on (an opener would read "-..." as an option).
    for (const char* bad : {"-e touch /tmp/x", "https://a b", "", "no-scheme", "https://x\n"}) {
        EXPECT_FALSE(OpenURL(bad)) << bad;
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"https://example.com/download", "https://example.com/fail"}));
}

TEST_F(OpenURLTest, WithoutADisplayTheAddressIsLogged) {
    setEnv("DISPLAY", nullptr);
    setEnv("WAYLAND_DISPLAY", nullptr);
    EXPECT_FALSE(OpenURL("https://example.com/quillo"));
    EXPECT_EQ(log.count("https://example.com/quillo"), 1u);
}

TEST_F(OpenURLTest, TheDesktopOpenerRunsWithTheAddressAsItsOnlyArgument) {
    // A stand-in xdg-open on PATH that writes its arguments to a file.
    const std::string dir = ::testing::TempDir() + "ui_open_url_" + std::to_string(getpid());
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    const std::string out = dir + "/args";
    std::ofstream(dir + "/xdg-open") << "#!/bin/sh\nprintf '%s|' \"$@\" > " << out << ".tmp && mv " << out
                                     << ".tmp " << out << "\n";
    chmod((dir + "/xdg-open").c_str(), 0700);
    setEnv("PATH", (dir + ":/usr/bin:/bin").c_str());
    setEnv("DISPLAY", ":99");

    const std::string url = "https://example.com/a;b$(touch%20x)";
    EXPECT_TRUE(OpenURL(url));
    std::string args;
    for (int i = 0; i < 200 && args.empty(); ++i) {  // the opener runs detached: up to 10 s
        std::stringstream text;
        text << std::ifstream(out).rdbuf();
        args = text.str();
        if (args.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(args, url + "|");
    std::remove(out.c_str());
    std::remove((dir + "/xdg-open").c_str());
    rmdir(dir.c_str());
}

}  // namespace
