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
    ConsoleProbe Run{app};
};

TEST_F(ConsoleTest, LinesArriveInPiecesAndEveryReplyLineIsTagged) {
    EXPECT_EQ(Run("ite"), "") << "nothing runs before the line is complete";
    const std::string items = Run("ms\r\nlay");
    EXPECT_TRUE(Has(items, "[host] 2. Demo (composition, 1920x1080, 30 fps, 10 s")) << items;
    const std::string layers = Run("ers\n");
    EXPECT_TRUE(Has(layers, "Camera 1 (camera, 3-D)")) << layers;
    std::istringstream lines(items + layers);
    for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("[host] ", 0), 0u) << line;

    // The help lists every form of every command, texts in one column, a long form pushing its
    // text and wrapping it under the column.
    const std::string help = Run("help\n");
    for (const char* line :
         {"[host] commands:\n[host]   help               this list\n",
          "[host]   fail NAME[:N|:always]  make a host suite function fail on its Nth call from now, or\n"
          "[host]                      always; `fail` lists the faults, `fail clear` removes them\n",
          "[host]   delete item NAME   delete a project item"}) {
        EXPECT_TRUE(Has(help, line)) << line << "\n" << help;
    }
    EXPECT_EQ(Run("   \n\n"), "");
    EXPECT_TRUE(Has(Run(std::string(Console::kMaxLine + 10, 'x') + "\n"), "line too long"));
    EXPECT_TRUE(Has(Run("items\n"), "Demo")) << "the console recovers after a long line";
}

// Each line and a part of what the console answers, in order: the Go to Time dialog opened,
// answered and closed; playing (which needs an active composition), selecting, saving, menus
// (a tab's item shows and hides it and is checked while it shows), the panel.
TEST_F(ConsoleTest, CommandsAgainstTheAppAndTheProject) {
    app.updateMenus();
    EXPECT_EQ(app.checkMark("Info"), true);
    const std::pair<std::string, std::string> kExchanges[] = {
        {"bogus", "unknown command \"bogus\"; type help"},
        {"delete", "usage: delete layer NAME | delete item NAME"},
        {"ok", "no dialog is open"},
        {"goto", "\"Go to Time\" dialog open at 0:00:00:00"},
        {"goto", "the Go to Time dialog is already open"},
        {"script app.project.activeItem.time", "result: 0"},  // scripts run while it is up
        {"ok soon", "the dialog stays open: \"soon\" is not a time"},
        {"ok 0:00:03:00", "Demo: time 3 s (0:00:03:00) of 10 s"},
        {"goto", "dialog open at 0:00:03:00"},
        {"cancel", "dialog closed (Cancel)"},
        {"select Quillo Logo.png", "active item: Quillo Logo.png"},
        {"play", "cannot toggle playback"},
        {"menu Play Current Preview", "menu item is disabled"},
        {"select Nothing Here", "no item named \"Nothing Here\""},
        {"select Demo", "active item: Demo"},
        {"play", "playing"},
        {"save /nonexistent/folder/p.json", "cannot save"},
        {"menu Info", "menu \"Info\": handled"},
        {"menu Nothing", "no such menu item"},
        {"panel show", "no plug-in panel is registered"},
    };
    for (const auto& [line, reply] : kExchanges) {
        const std::string said = Run(line + "\n");
        EXPECT_TRUE(Has(said, reply)) << line << ": " << said;
    }
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_TRUE(CurrentProject().playing());
    EXPECT_FALSE(app.workspace().tabShown("Info"));
    EXPECT_EQ(app.checkMark("Info"), false) << "hiding the tab updated the menus";
    const std::string path = ::testing::TempDir() + "/console_saved_project.json";
    EXPECT_TRUE(Has(Run("save " + path + "\n"), "saved project to " + path));
    EXPECT_NE(LoadProject(path)->findItemByName("Demo"), nullptr);
    std::remove(path.c_str());
    EXPECT_FALSE(app.quitRequested());
    Run("quit\n");
    EXPECT_TRUE(app.quitRequested());
}

TEST_F(ConsoleTest, TimesThatDoNotFitAreRefusedAndLongResultsAreCut) {
    Composition* demo = CurrentProject().findItemByName("Demo")->asComposition();
    demo->frameRate = 3000000;
    const std::pair<const char*, const char*> kTimes[] = {
        {"time 999999999:00:00:00\n",
         "the time does not fit (more than 9223372036854775807 frames at 3000000"},
        {"time 1e999\n", "the time does not fit; usage: time SECONDS"},
        {"time 1:00:00:00\n", "Demo: time 10 s (0:00:10:00) of 10 s"},  // clamped to the duration
    };
    for (const auto& [line, reply] : kTimes) EXPECT_TRUE(Has(Run(line), reply)) << line;
    demo->frameRate = 1e13;
    EXPECT_TRUE(Has(Run("time 0:01\n"), "the frame rate cannot count timecodes"));
    demo->frameRate = 30;

    // Many lines come back as the first lines and a count of what was left out.
    const std::string many =
        Run("script var a = []; for (var i = 0; i < 100000; i++) a.push(i); a.join('\\n')\n");
    EXPECT_LE(many.size(), Console::kMaxShownBytes + 64 * Console::kMaxShownLines);
    EXPECT_TRUE(Has(many, "[host] result: 0\n[host] 1\n")) << many.substr(0, 200);
    EXPECT_TRUE(Has(many, " more lines) not shown\n")) << many.substr(many.size() - 200);
    const std::string wide = Run("script new Array(5001).join('\xC3\xA9')\n");  // 10,000 bytes
    EXPECT_TRUE(Has(wide, std::to_string(10000 - Console::kMaxShownBytes / 2 * 2) +
                              " more bytes (1 more lines) not shown"))
        << wide.substr(wide.size() - 100);
    EXPECT_EQ(Run("script 'short'\n"), "[host] result: short\n");
}

TEST_F(ConsoleTest, EndOfInputStopsReadingButDoesNotQuit) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_TRUE(Run.console.attach(fds[0]));
    EXPECT_NE(fcntl(fds[0], F_GETFL) & O_NONBLOCK, 0);
    const std::string input = "items\nmenus";  // the last line has no newline
    ASSERT_EQ(write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    close(fds[1]);

    for (int i = 0; i < 1000 && !Run.console.inputClosed(); ++i) app.runRound(0.05);
    ASSERT_TRUE(Run.console.inputClosed());
    const std::string out = Run.out.str();
    EXPECT_TRUE(Has(out, "Demo (composition")) << out;
    EXPECT_TRUE(Has(out, "Window (menu 7)")) << "a last line without newline still runs";
    EXPECT_TRUE(Has(out, "input closed; the host keeps running"));
    EXPECT_FALSE(app.quitRequested());
    EXPECT_EQ(fcntl(fds[0], F_GETFL) & O_NONBLOCK, 0) << "the descriptor's flags are restored";
    app.runRounds(2);  // nothing more is read from the closed input
    close(fds[0]);
}

TEST(CommandLine, OptionsValuesAndMistakes) {
    ParsedOptions p = ParseOptions(
        {"--plugin", "/x/lib.so", "shot.json", "--no-panel", "--log", "h.log", "--quiet"});
    EXPECT_EQ(p.error, "");
    EXPECT_EQ(std::tuple(p.options.pluginPath, p.options.projectPath, p.options.logPath,
                         p.options.showPanels, p.options.quiet),
              std::tuple("/x/lib.so", "shot.json", "h.log", false, true));
    EXPECT_EQ(ParseOptions({"--project=a.json"}).options.projectPath, "a.json");
    EXPECT_TRUE(ParseOptions({"--status"}).options.status);
    EXPECT_TRUE(ParseOptions({"-v", "-q", "--help"}).options.help);
    const std::vector<std::pair<std::vector<std::string>, std::string>> kMistakes = {
        {{"--project"}, "--project needs a value"},
        {{"--save="}, "--save needs a value"},
        {{"--plug", "x"}, "The following argument was not expected: --plug"},
        {{"--verbose=yes"}, "--verbose takes no value"},
        {{"--fail-suite", "Nope"}, "no suite function Nope can be made to fail"},
        {{"a.json", "b.json"}, "one project at a time: a.json and b.json"},
        {{"--project", "a.json", "b.json"}, "two projects given: --project a.json and b.json"},
        {{"b.json", "--project", "a.json"}, "two projects given: --project a.json and b.json"},
    };
    for (const auto& [args, error] : kMistakes) EXPECT_EQ(ParseOptions(args).error, error) << args[0];
    const Options faults =
        ParseOptions({"--fail-suite", "AEGP_GetLayerName:3", "--fail-suite=AEGP_GetLayerName"}).options;
    ASSERT_EQ(faults.suiteFaults.size(), 2u);  // repeatable, in order
    EXPECT_EQ(std::pair(faults.suiteFaults[0].call, faults.suiteFaults[1].call), std::pair(3, 0));
    const std::string usage = UsageText("quillo-host");
    for (const char* item : {"--status", "--no-panel", "panel show", "script TEXT"}) {
        EXPECT_TRUE(Has(usage, item)) << item;
    }
    EXPECT_EQ(DefaultPluginPath(), BinaryFolder() + "/libquillo.so");
}

}  // namespace
