// The console: line assembly, the commands against the app and the project, end of input, and
// the program's command line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "app_fixture.h"
#include "hostsim/app/console.h"
#include "hostsim/app/options.h"

namespace {

using namespace apptest;

class ConsoleTest : public HostFixture {
protected:
    // Runs lines and gives what the console printed for them.
    std::string Run(const std::string& input) {
        out.str("");
        console.feed(input);
        return out.str();
    }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
    std::ostringstream out;
    Console console{app, out};
};

TEST_F(ConsoleTest, LinesArriveInPiecesAndEveryReplyLineIsTagged) {
    out.str("");
    console.feed("ite");
    EXPECT_EQ(out.str(), "") << "nothing runs before the line is complete";
    console.feed("ms\r\nlay");
    const std::string items = out.str();
    EXPECT_TRUE(Has(items, "[host] 2. Demo (composition, 1920x1080, 30 fps, 10 s")) << items;
    EXPECT_TRUE(Has(items, "[active]")) << items;
    EXPECT_TRUE(Has(items, "Quillo Logo.png (footage, 512x512)")) << items;
    const std::string layers = Run("ers\n");
    EXPECT_TRUE(Has(layers, "Camera 1 (camera, 3-D)")) << layers;
    std::istringstream lines(items + layers);
    for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("[host] ", 0), 0u) << line;

    EXPECT_TRUE(Has(Run("bogus\n"), "unknown command \"bogus\"; type help"));
    EXPECT_TRUE(Has(Run("help\n"), "panel show [NAME]"));
    EXPECT_EQ(Run("   \n\n"), "");
    EXPECT_TRUE(Has(Run(std::string(Console::kMaxLine + 10, 'x') + "\n"), "line too long"));
    EXPECT_TRUE(Has(Run("items\n"), "Demo")) << "the console recovers after a long line";
}

TEST_F(ConsoleTest, ProjectCommandsSelectPlayAndSave) {
    EXPECT_TRUE(Has(Run("select Quillo Logo.png\n"), "active item: Quillo Logo.png"));
    EXPECT_TRUE(Has(Run("layers\n"), "no active composition"));
    EXPECT_TRUE(Has(Run("play\n"), "cannot toggle playback"));
    EXPECT_TRUE(Has(Run("select Nothing Here\n"), "no item named \"Nothing Here\""));

    EXPECT_TRUE(Has(Run("select Demo\n"), "active item: Demo"));
    EXPECT_TRUE(Has(Run("play\n"), "playing"));
    EXPECT_TRUE(CurrentProject().playing());
    EXPECT_TRUE(Has(Run("play\n"), "stopped"));

    const std::string path = ::testing::TempDir() + "/console_saved_project.json";
    EXPECT_TRUE(Has(Run("save " + path + "\n"), "saved project to " + path));
    const std::unique_ptr<Project> reloaded = LoadProject(path);
    EXPECT_NE(reloaded->findItemByName("Demo"), nullptr);
    std::remove(path.c_str());
    EXPECT_TRUE(Has(Run("save /nonexistent/folder/p.json\n"), "cannot save"));
}

TEST_F(ConsoleTest, MenusPanelsAndQuit) {
    const std::string menus = Run("menus\n");
    EXPECT_TRUE(Has(menus, "[host] Window (menu 7)")) << menus;
    EXPECT_TRUE(Has(menus, "[x] Info")) << menus;
    EXPECT_TRUE(Has(Run("menu Info\n"), "menu \"Info\": handled"));
    EXPECT_TRUE(Has(Run("menus\n"), "[ ] Info"));
    EXPECT_TRUE(Has(Run("menu Nothing\n"), "no such menu item"));

    EXPECT_TRUE(Has(Run("panel show\n"), "no plug-in panel is registered"));
    ASSERT_EQ(panels->AEGP_RegisterCreatePanelHook(
                  plugin, U8("Quillo"),
                  [](AEGP_GlobalRefcon, AEGP_CreatePanelRefcon, AEGP_PlatformViewRef,
                     AEGP_PanelH, AEGP_PanelFunctions1*, AEGP_PanelRefcon*) -> A_Err {
                      return A_Err_NONE;
                  },
                  nullptr, true),
              A_Err_NONE);
    EXPECT_TRUE(Has(Run("panel status\n"), "panel \"Quillo\" title \"Quillo\": hidden, not created"));
    EXPECT_TRUE(Has(Run("panel show\n"), "\"Quillo\" shown"));
    EXPECT_TRUE(app.workspace().tabShown("Quillo"));
    EXPECT_TRUE(Has(Run("panel show\n"), "already shown"));
    EXPECT_TRUE(Has(Run("panel front Audio\n"), "\"Audio\" is in front"));
    const std::string status = Run("panel status\n");
    EXPECT_TRUE(Has(status, "\"Quillo\": shown, created")) << status;
    EXPECT_TRUE(Has(status, "Audio (front)")) << status;
    EXPECT_TRUE(Has(Run("panel hide\n"), "\"Quillo\" hidden"));
    EXPECT_FALSE(app.workspace().tabShown("Quillo"));
    EXPECT_TRUE(Has(Run("panel wave\n"), "usage"));

    EXPECT_FALSE(app.quitRequested());
    Run("quit\n");
    EXPECT_TRUE(app.quitRequested());
}

TEST_F(ConsoleTest, EndOfInputStopsReadingButDoesNotQuit) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_TRUE(console.attach(fds[0]));
    EXPECT_NE(fcntl(fds[0], F_GETFL) & O_NONBLOCK, 0);
    const std::string input = "items\nmenus";  // the last line has no newline
    ASSERT_EQ(write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    close(fds[1]);

    for (int i = 0; i < 1000 && !console.inputClosed(); ++i) app.runRound(0.05);
    ASSERT_TRUE(console.inputClosed());
    EXPECT_TRUE(Has(out.str(), "Demo (composition")) << out.str();
    EXPECT_TRUE(Has(out.str(), "Window (menu 7)")) << "a last line without newline still runs";
    EXPECT_TRUE(Has(out.str(), "input closed; the host keeps running"));
    EXPECT_FALSE(app.quitRequested());
    EXPECT_EQ(fcntl(fds[0], F_GETFL) & O_NONBLOCK, 0) << "the descriptor's flags are restored";
    app.runRounds(2);  // nothing more is read from the closed input
    close(fds[0]);
}

TEST(CommandLine, OptionsValuesAndMistakes) {
    ParsedOptions p = ParseOptions({"--plugin", "/x/lib.so", "--project=a.json", "--save", "b.json"});
    EXPECT_EQ(p.error, "");
    EXPECT_EQ(p.options.pluginPath, "/x/lib.so");
    EXPECT_EQ(p.options.projectPath, "a.json");
    EXPECT_EQ(p.options.savePath, "b.json");
    EXPECT_FALSE(p.options.help);
    EXPECT_TRUE(p.options.showPanels);
    EXPECT_FALSE(p.options.verbose);

    const ParsedOptions q = ParseOptions({"--no-panel", "--verbose", "--log", "h.log"});
    EXPECT_EQ(q.error, "");
    EXPECT_FALSE(q.options.showPanels);
    EXPECT_TRUE(q.options.verbose);
    EXPECT_EQ(q.options.logPath, "h.log");

    EXPECT_TRUE(ParseOptions({"--help"}).options.help);
    EXPECT_EQ(ParseOptions({"--project"}).error, "--project needs a value");
    EXPECT_EQ(ParseOptions({"--save="}).error, "--save needs a value");
    EXPECT_EQ(ParseOptions({"--plug", "x"}).error, "unknown argument: --plug");
    EXPECT_EQ(ParseOptions({"stray"}).error, "unknown argument: stray");

    const std::string usage = UsageText("quillo-host");
    EXPECT_NE(usage.find("--plugin PATH"), std::string::npos);

    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    std::string exe(self, static_cast<size_t>(n));
    EXPECT_EQ(DefaultPluginPath(), exe.substr(0, exe.rfind('/')) + "/libquillo.so");
}

}  // namespace
