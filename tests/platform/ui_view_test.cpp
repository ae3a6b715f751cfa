// The view toolkit: the tree (moving, removing, cycles), breadth-first order, controls whose
// action closes their window, pop-up items, tables, the application's modal sessions, and
// handing web addresses to the desktop's opener. (Frames on the screen, hidden views and pressing
// controls are checked through the accessibility elements; the rows' own drawing is the panel's.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/runloop.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/open_url.h"
#include "platform/ui/pop_up_button.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/table_view.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"
#include "support/test_support.h"

namespace {

using namespace qlo::ui;
using qlo::runloop::RunLoop;

std::shared_ptr<View> Named(const std::string& id) {
    auto view = std::make_shared<View>();
    view->setIdentifier(id);
    return view;
}

TEST(UiView, TheTreeMovesViewsAndRefusesCycles) {
    auto root = Named("root"), a = Named("a"), b = Named("b"), a1 = Named("a1");
    root->addSubview(a);
    root->addSubview(b);
    a->addSubview(a1);
    EXPECT_TRUE(a1->isDescendantOf(*root));
    b->addSubview(a1);  // moves
    EXPECT_TRUE(a->subviews().empty());
    EXPECT_EQ(a1->superview(), b.get());
    EXPECT_THROW(a1->addSubview(root), std::invalid_argument);
    EXPECT_THROW(b->addSubview(b), std::invalid_argument);
    EXPECT_THROW(b->addSubview(nullptr), std::invalid_argument);

    std::weak_ptr<View> gone = a1;
    a1.reset();
    b->removeAllSubviews();
    EXPECT_TRUE(gone.expired()) << "the superview held the last owner";
    b->removeFromSuperview();
    EXPECT_EQ(root->subviews().size(), 1u);
    EXPECT_EQ(b->superview(), nullptr);
}

TEST(UiView, BreadthFirstVisitsLevelByLevelAndStopsWhenAsked) {
    auto root = Named("root"), a = Named("a"), b = Named("b");
    root->addSubview(a);
    root->addSubview(b);
    a->addSubview(Named("a1"));
    a->addSubview(Named("a2"));
    b->addSubview(Named("b1"));
    std::vector<std::string> order;
    EXPECT_FALSE(root->visitBreadthFirst([&](View& v) { return order.push_back(v.identifier()), false; }));
    EXPECT_EQ(order, (std::vector<std::string>{"root", "a", "b", "a1", "a2", "b1"}));

    order.clear();
    EXPECT_TRUE(root->visitBreadthFirst([&](View& v) {
        order.push_back(v.identifier());
        if (v.identifier() == "a") b->removeFromSuperview();  // a visitor may change the tree it walks
        return v.identifier() == "a2";
    }));
    EXPECT_EQ(order, (std::vector<std::string>{"root", "a", "b", "a1", "a2"}));
    EXPECT_EQ(root->findByIdentifier("a2")->superview(), a.get());
    EXPECT_EQ(root->findByIdentifier("b1"), nullptr);
}

// A view whose whole bounds show one cursor.
class CursorArea : public View {
public:
    CursorArea(Rect frame, Cursor cursor) : View(frame), cursor_(cursor) {}
    void resetCursorRects() override { addCursorRect({0, 0, frame().width, frame().height}, cursor_); }

private:
    Cursor cursor_;
};

// (The panel's badges show that a cursor rectangle holds inside its view only and not while the
// view is hidden.)
TEST(UiView, TheFrontMostVisibleCursorRectangleWins) {
    Window window("Panel", {100, 100, 300, 200});
    auto back = std::make_shared<CursorArea>(Rect{20, 10, 120, 34}, Cursor::PointingHand);
    auto front = std::make_shared<CursorArea>(Rect{0, 0, 60, 30}, Cursor::IBeam);
    window.contentView().addSubview(back);
    window.contentView().addSubview(front);
    EXPECT_EQ(window.cursorAt({25, 20}), Cursor::IBeam);
    EXPECT_EQ(window.cursorAt({100, 20}), Cursor::PointingHand);
    front->setHidden(true);
    EXPECT_EQ(window.cursorAt({25, 20}), Cursor::PointingHand);
}

TEST(UiControls, AnActionMayDestroyTheWindowHoldingItsButton) {
    auto window = std::make_shared<Window>("Dialog", Rect{0, 0, 200, 100});
    std::weak_ptr<Button> watch;
    {
        auto button = std::make_shared<Button>("Close");
        watch = button;
        window->contentView().addSubview(button);
    }
    bool ran = false;
    watch.lock()->setAction([&](Button& self) {
        window.reset();
        ran = true;
        EXPECT_EQ(self.title(), "Close") << "the button is still alive inside its action";
    });
    const size_t before = Application::shared().windows().size();
    watch.lock()->performClick();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(watch.expired()) << "and gone once the action returned";
    EXPECT_EQ(Application::shared().windows().size(), before - 1) << "the window left the application";
}

TEST(UiControls, PopUpsChooseOnlyFromTheirOpenMenuAndTheSelectionFollowsItsTitle) {
    PopUpButton popUp({"Active Camera", "Top", "Camera 1"});
    EXPECT_FALSE(popUp.chooseItem("Top")) << "closed menu";
    popUp.performClick();
    EXPECT_FALSE(popUp.chooseItem("Nowhere"));
    EXPECT_TRUE(popUp.isMenuOpen());
    EXPECT_TRUE(popUp.chooseItem("Camera 1"));
    EXPECT_FALSE(popUp.isMenuOpen());
    popUp.setItems({"Top", "Camera 1", "Camera 2"});
    EXPECT_EQ(popUp.selectedIndex(), 1);
    popUp.setItems({"Front"});
    EXPECT_EQ(popUp.title(), "Front");
    popUp.setItems({});
    EXPECT_EQ(popUp.selectedIndex(), -1);
    EXPECT_EQ(popUp.title(), "");
}

class UiApplication : public ::testing::Test {
protected:
    void TearDown() override {
        app.abortAllModalSessions();
        app.setModalHooks({});
        RunLoop::main().reset();
    }
    Application& app = Application::shared();
};

TEST_F(UiApplication, SessionsNestAndEndInnermostFirstWithTheirResponse) {
    std::vector<std::string> events;
    app.setModalHooks({[&]() { events.push_back("began"); }, [&]() { events.push_back("ended"); }, {}});
    auto outer = std::make_shared<Window>("Outer", Rect{});
    auto inner = std::make_shared<Window>("Inner", Rect{});
    app.stopModal();  // nothing to stop
    app.beginModalSession(outer, [&](int response) { events.push_back("outer " + std::to_string(response)); });
    EXPECT_TRUE(outer->isVisible());
    app.beginModalSession(inner);
    EXPECT_EQ(app.modalWindow(), inner.get());
    app.stopModalWithCode(kModalResponseOK);
    EXPECT_FALSE(inner->isVisible()) << "a session without completion closes its window";
    EXPECT_EQ(app.modalWindow(), outer.get());
    app.abortModal();
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"began", "began", "ended", "ended", "outer -1001"}));
    EXPECT_THROW(app.beginModalSession(nullptr), std::invalid_argument);
}

TEST_F(UiApplication, RunModalRunsOnlyTheModalPanelModeUntilStopped) {
    RunLoop::main().useManualClock(false);
    auto dialog = std::make_shared<Window>("Dialog", Rect{});
    int defaultFired = 0;
    auto stopper = RunLoop::main().addTimer(0.01, false, [&](qlo::runloop::Timer&) {
        EXPECT_EQ(app.modalWindow(), dialog.get());
        app.stopModalWithCode(kModalResponseOK);
    }, {qlo::runloop::Mode::ModalPanel});
    auto other = RunLoop::main().addTimer(0.001, true, [&](qlo::runloop::Timer&) { ++defaultFired; });
    EXPECT_EQ(app.runModalForWindow(dialog), kModalResponseOK);
    EXPECT_EQ(defaultFired, 0);
    EXPECT_TRUE(dialog->isVisible()) << "the caller closes it";
    other->invalidate();
    // A program's runner that gives up (quitting) aborts the session.
    app.setModalHooks({{}, {}, [](const std::function<bool()>&) {}});
    EXPECT_EQ(app.runModalForWindow(dialog), kModalResponseAbort);
    EXPECT_EQ(app.modalWindow(), nullptr);
}

// A list of names; the selected row's cell says "*name". Reloads from the selection change.
class Names : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<std::string> names;
    int selectionChanges = 0;

    long numberOfRowsInTableView(TableView&) override { return static_cast<long>(names.size()); }
    std::shared_ptr<View> viewForTableColumn(TableView& table, TableColumn*, long row) override {
        return TextField::labelWithString((table.selectedRow() == row ? "*" : "") + names.at(static_cast<size_t>(row)));
    }
    void tableViewSelectionDidChange(TableView& table) override {
        ++selectionChanges;
        table.reloadData();
    }
};

struct TableFixture {
    explicit TableFixture(std::vector<std::string> rows) {
        names.names = std::move(rows);
        table->addTableColumn(std::make_shared<TableColumn>("phone"));
        table->setRowHeight(24);
        table->setIntercellSpacing({0, 1});
        table->setDataSource(&names);
        table->setDelegate(&names);
        scroll->setDocumentView(table);
        table->reloadData();
    }
    std::string cellText(long row) const { return static_cast<TextField*>(table->viewAtColumn(0, row))->stringValue(); }
    Names names;
    std::shared_ptr<ScrollView> scroll = std::make_shared<ScrollView>(Rect{0, 0, 180, 120});
    std::shared_ptr<TableView> table = std::make_shared<TableView>();
};

TEST(UiTable, RowsAndCellsArePlacedAtTheRowPitchAcrossTheScrollViewsWidth) {
    TableFixture f({"a", "b", "c"});
    f.scroll->tile();
    f.table->tile();
    ASSERT_EQ(f.table->numberOfRows(), 3);
    EXPECT_EQ(f.table->frame(), (Rect{0, 0, 180, 75})) << "the scroll view's width, the rows' height";
    for (long i = 0; i < 3; ++i) {
        EXPECT_EQ(f.table->rowViewAtRow(i)->frame(), (Rect{0, 25.0 * i, 180, 24}));
        EXPECT_EQ(f.table->viewAtColumn(0, i)->frame(), (Rect{0, 0, 180, 24}));
    }
    EXPECT_EQ(f.table->rowViewAtRow(3), nullptr);
    EXPECT_EQ(f.table->viewAtColumn(1, 0), nullptr);
    EXPECT_EQ(f.table->rowAtPoint({10, 26}), 1);
    EXPECT_EQ(f.table->rowAtPoint({10, 80}), -1);
}

TEST(UiTable, TheSelectionNotifiesOncePerChangeAndSurvivesReloadsWhileItsRowExists) {
    TableFixture f({"a", "b", "c"});
    f.table->clickRow(1);
    EXPECT_EQ(f.cellText(1), "*b") << "the reload from the notification saw the new selection";
    EXPECT_TRUE(f.table->rowViewAtRow(1)->isSelected());
    f.table->clickRow(1);  // the same row: no change
    EXPECT_EQ(f.names.selectionChanges, 1);
    f.table->selectRowIndexes({0}, true);  // single selection: extending replaces
    EXPECT_EQ(f.table->selectedRowIndexes(), (std::set<long>{0}));
    f.table->selectRowIndexes({7}, false);  // rows outside the table are ignored: none selected
    EXPECT_EQ(f.table->selectedRow(), -1);
    EXPECT_EQ(f.names.selectionChanges, 3);

    f.table->selectRowIndexes({2}, false);
    f.names.names = {"x", "y", "z", "w"};
    f.table->reloadData();
    EXPECT_EQ(f.table->selectedRow(), 2);
    EXPECT_EQ(f.names.selectionChanges, 4);
    f.names.names = {"x"};
    f.table->reloadData();
    EXPECT_EQ(f.table->selectedRow(), -1);
    EXPECT_EQ(f.names.selectionChanges, 5) << "dropping the selected row is a change";
    f.table->clickRow(0);
    f.table->clickRow(-1);
    EXPECT_EQ(f.table->selectedRow(), -1) << "a click outside the rows clears the selection";
}


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
    qlotest::WaitUntil([&] {  // the opener runs detached
        std::stringstream text;
        text << std::ifstream(out).rdbuf();
        return !(args = text.str()).empty();
    });
    EXPECT_EQ(args, url + "|");
    std::remove(out.c_str());
    std::remove((dir + "/xdg-open").c_str());
    rmdir(dir.c_str());
}

}  // namespace
