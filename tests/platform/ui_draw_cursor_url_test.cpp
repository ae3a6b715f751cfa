// Cursor rectangles (front-most wins, hidden views have none) and handing web addresses to the
// desktop's opener.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/log.h"
#include "platform/ui/button.h"
#include "platform/ui/open_url.h"
#include "platform/ui/window.h"

namespace {

using namespace qlo::ui;

class Badge : public Button {
public:
    Badge() : Button("App Store") {}
    void resetCursorRects() override { addCursorRect({0, 0, frame().width, frame().height}, Cursor::PointingHand); }
};

class TextArea : public View {
public:
    using View::View;
    void resetCursorRects() override { addCursorRect({0, 0, frame().width, frame().height}, Cursor::IBeam); }
};

TEST(UiDrawCursor, PointingHandOnlyInsideTheBadgeAndTheFrontMostWins) {
    Window window("Panel", {100, 100, 300, 200});
    auto area = std::make_shared<View>(Rect{0, 0, 300, 200});
    area->setFlipped(false);
    auto badge = std::make_shared<Badge>();
    badge->setFrame({20, 10, 120, 34});  // 10 up from the bottom: rows 156..189 of the window
    area->addSubview(badge);
    window.contentView().addSubview(area);

    EXPECT_EQ(window.cursorAt({25, 160}), Cursor::PointingHand);
    EXPECT_EQ(window.cursorAt({25, 20}), Cursor::Arrow);
    EXPECT_EQ(window.cursorAt({145, 160}), Cursor::Arrow);

    auto front = std::make_shared<TextArea>(Rect{0, 150, 60, 50});
    window.contentView().addSubview(front);
    EXPECT_EQ(window.cursorAt({25, 160}), Cursor::IBeam);
    EXPECT_EQ(window.cursorAt({100, 160}), Cursor::PointingHand);
    front->setHidden(true);
    EXPECT_EQ(window.cursorAt({25, 160}), Cursor::PointingHand);
    badge->setHidden(true);
    EXPECT_EQ(window.cursorAt({25, 160}), Cursor::Arrow);
}

class OpenURLTest : public ::testing::Test {
protected:
    void TearDown() override { SetURLOpenerForTesting({}); }
    qlo::log::CaptureSink log;
};

TEST_F(OpenURLTest, TheOpenerGetsTheAddressAndAFailureIsLogged) {
    std::vector<std::string> opened;
    SetURLOpenerForTesting([&](const std::string& url) {
        opened.push_back(url);
        return url.find("fail") == std::string::npos;
    });
    EXPECT_TRUE(OpenURL("https://example.com/download"));
    EXPECT_FALSE(OpenURL("https://example.com/fail"));
    EXPECT_EQ(opened, (std::vector<std::string>{"https://example.com/download", "https://example.com/fail"}));
    EXPECT_EQ(log.count("https://example.com/fail"), 1u);
    EXPECT_EQ(log.count("https://example.com/download"), 0u);

    // Not web addresses: never handed on (an opener would read "-..." as an option).
    for (const char* bad : {"-e touch /tmp/x", "https://a b", "", "no-scheme", "https://x\n"}) {
        EXPECT_FALSE(OpenURL(bad)) << bad;
    }
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(OpenURLTest, WithoutADisplayTheAddressIsLogged) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(OpenURL("https://example.com/quillo"));
    EXPECT_EQ(log.count("https://example.com/quillo"), 1u);
}

TEST_F(OpenURLTest, TheDesktopOpenerRunsWithTheAddressAsItsOnlyArgument) {
    // A stand-in xdg-open on PATH that writes its arguments to a file.
    const std::string dir = ::testing::TempDir() + "ui_open_url_" + std::to_string(getpid());
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    const std::string out = dir + "/args";
    {
        std::ofstream script(dir + "/xdg-open");
        script << "#!/bin/sh\nprintf '%s|' \"$@\" > " << out << ".tmp && mv " << out << ".tmp " << out << "\n";
    }
    chmod((dir + "/xdg-open").c_str(), 0700);
    setenv("PATH", (dir + ":/usr/bin:/bin").c_str(), 1);
    setenv("DISPLAY", ":99", 1);

    const std::string url = "https://example.com/a;b$(touch%20x)";
    EXPECT_TRUE(OpenURL(url));
    std::string args;
    for (int i = 0; i < 200 && args.empty(); ++i) {  // the opener runs detached: up to 10 s
        std::ifstream in(out);
        std::stringstream text;
        text << in.rdbuf();
        args = text.str();
        if (args.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(args, url + "|");
    std::remove(out.c_str());
    std::remove((dir + "/xdg-open").c_str());
    rmdir(dir.c_str());
}

}  // namespace
