// The console: line assembly, the commands against the app and the project, end of input, and
// the program's command line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "app_fixture.h"
#include "hostsim/app/console.h"
#include "hostsim/app/options.h"

namespace {

using namespace apptest;

// A console on an app; calling it feeds input and gives what the console printed for it.
struct ConsoleProbe {
    explicit ConsoleProbe(HostApp& app) : console(app, out) {}
    std::string operator()(const std::string& input) {
        out.str("");
        console.feed(input);
        return out.str();
    }
    std::ostringstream out;
    Console console;
};

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

    EXPECT_TRUE(Has(Run(std::string(Console::kMaxLine + 10, 'x') + "\n"), "line too long"));
    EXPECT_TRUE(Has(Run("items\n"), "Demo")) << "the console recovers after a long line";
}

// Each line and a part of what the console answers, in order: the Go to Time dialog opened
// and answered (its other ways out are the dialog's test); playing (which needs an active
// composition), selecting, menus, the panel.
TEST_F(ConsoleTest, CommandsAgainstTheAppAndTheProject) {
    const std::pair<std::string, std::string> kExchanges[] = {
        {"bogus", "unknown command \"bogus\"; type help"},
        {"ok", "no dialog is open"},
        {"goto", "\"Go to Time\" dialog open at 0:00:00:00"},
        {"goto", "the Go to Time dialog is already open"},
        {"script app.project.activeItem.time", "result: 0"},  // scripts run while it is up
        {"ok 0:00:03:00", "Demo: time 3 s (0:00:03:00) of 10 s"},
        {"select Quillo Logo.png", "active item: Quillo Logo.png"},
        {"play", "cannot toggle playback"},
        {"select Nothing Here", "no item named \"Nothing Here\""},
        {"select Demo", "active item: Demo"},
        {"play", "playing"},
        {"menu Info", "menu \"Info\": handled"},
        {"panel show", "no plug-in panel is registered"},
    };
    for (const auto& [line, reply] : kExchanges) {
        const std::string said = Run(line + "\n");
        EXPECT_TRUE(Has(said, reply)) << line << ": " << said;
    }
    EXPECT_TRUE(CurrentProject().playing());
    EXPECT_FALSE(app.workspace().tabShown("Info"));
    Run("quit\n");
    EXPECT_TRUE(app.quitRequested());
}

TEST_F(ConsoleTest, EndOfInputStopsReadingButDoesNotQuit) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_TRUE(Run.console.attach(fds[0]));
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
    close(fds[0]);
}

TEST(CommandLine, OptionsValuesAndMistakes) {
    const ParsedOptions p = ParseOptions(
        {"shot.json", "--no-panel", "--fail-suite", "AEGP_GetLayerName:3", "--fail-suite=AEGP_GetLayerName"});
    EXPECT_EQ(std::tuple(p.error, p.options.projectPath, p.options.showPanels),
              std::tuple("", "shot.json", false));
    const auto& faults = p.options.suiteFaults;
    ASSERT_EQ(faults.size(), 2u);  // repeatable, in order
    EXPECT_EQ(std::pair(faults[0].call, faults[1].call), std::pair(3, 0));
    const std::vector<std::pair<std::vector<std::string>, std::string>> kMistakes = {
        {{"--plug", "x"}, "The following argument was not expected: --plug"},
        {{"--fail-suite", "Nope"}, "no suite function Nope can be made to fail"},
        {{"a.json", "b.json"}, "one project at a time: a.json and b.json"},
        {{"--project", "a.json", "b.json"}, "two projects given: --project a.json and b.json"},
    };
    for (const auto& [args, error] : kMistakes) EXPECT_EQ(ParseOptions(args).error, error) << args[0];
}

}  // namespace
