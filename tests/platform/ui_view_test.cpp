// The view toolkit: the tree (moving, removing, cycles), breadth-first order, controls whose
// action closes their window, pop-up items, tables, the application's modal sessions, and
// which addresses reach the desktop's opener. (Frames on the screen, hidden views and pressing
// controls are checked through the accessibility elements; the rows' own drawing and cursor
// rectangles are the panel's.)
#include <gtest/gtest.h>

#include <memory>
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

namespace {

using namespace qlo::ui;
using qlo::runloop::RunLoop;

std::shared_ptr<View> Named(const std::string& id) {
    auto view = std::make_shared<View>();
    view->setIdentifier(id);
    return view;
}

TEST(UiView, TheTreeMovesViewsRefusesCyclesAndIsVisitedLevelByLevel) {
    auto root = Named("root"), a = Named("a"), b = Named("b"), a1 = Named("a1");
    root->addSubview(a);
    root->addSubview(b);
    b->addSubview(a1);
    a->addSubview(a1);  // moves
    EXPECT_TRUE(b->subviews().empty());
    EXPECT_EQ(a1->superview(), a.get());
    EXPECT_THROW(a1->addSubview(root), std::invalid_argument);
    EXPECT_THROW(b->addSubview(nullptr), std::invalid_argument);

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
    EXPECT_EQ(root->findByIdentifier("b1"), nullptr);
    EXPECT_EQ(b->superview(), nullptr);

    std::weak_ptr<View> gone = a1;
    a1.reset();
    a->removeAllSubviews();
    EXPECT_TRUE(gone.expired()) << "the superview held the last owner";
}

TEST(UiControls, AnActionMayDestroyTheWindowHoldingItsButton) {
    auto window = std::make_shared<Window>("Dialog", Rect{0, 0, 200, 100});
    auto button = std::make_shared<Button>("Close");
    window->contentView().addSubview(button);
    std::weak_ptr<Button> watch = button;
    button.reset();  // the window holds it
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

// New items keep the selected title where it is still offered. (Choosing from the menu is
// checked through the accessibility elements.)
TEST(UiControls, PopUpsSelectionFollowsItsTitleAcrossNewItems) {
    PopUpButton popUp({"Active Camera", "Top", "Camera 1"});
    popUp.performClick();
    ASSERT_TRUE(popUp.chooseItem("Camera 1"));
    popUp.setItems({"Top", "Camera 1", "Camera 2"});
    EXPECT_EQ(popUp.selectedIndex(), 1);
    popUp.setItems({"Front"});
    EXPECT_EQ(popUp.title(), "Front");
    popUp.setItems({});
    EXPECT_EQ(popUp.selectedIndex(), -1);
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
    app.beginModalSession(outer, [&](int code) { events.push_back("outer " + std::to_string(code)); });
    EXPECT_TRUE(outer->isVisible());
    app.beginModalSession(inner);
    EXPECT_EQ(app.modalWindow(), inner.get());
    app.stopModalWithCode(kModalResponseOK);
    EXPECT_FALSE(inner->isVisible()) << "a session without completion closes its window";
    EXPECT_EQ(app.modalWindow(), outer.get());
    app.abortModal();
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"began", "began", "ended", "ended", "outer -1001"}));
}

// A list of names; the selected row's cell says "*name". Reloads from the selection change.
class Names : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<std::string> names;
    int selectionChanges = 0;

    long numberOfRowsInTableView(TableView&) override { return static_cast<long>(names.size()); }
    std::shared_ptr<View> viewForTableColumn(TableView& table, TableColumn*, long row) override {
        const std::string mark = table.selectedRow() == row ? "*" : "";
        return TextField::labelWithString(mark + names.at(static_cast<size_t>(row)));
    }
    void tableViewSelectionDidChange(TableView& table) override {
        ++selectionChanges;
        table.reloadData();
    }
};

// Rows and cells sit at the row pitch across the scroll view's width; the selection notifies
// once per change and survives reloads while its row exists.
TEST(UiTable, RowsArePlacedAtTheRowPitchAndTheSelectionSurvivesReloadsWhileItsRowExists) {
    Names names;
    names.names = {"a", "b", "c"};
    auto scroll = std::make_shared<ScrollView>(Rect{0, 0, 180, 120});
    auto table = std::make_shared<TableView>();
    table->addTableColumn(std::make_shared<TableColumn>("phone"));
    table->setRowHeight(24);
    table->setIntercellSpacing({0, 1});
    table->setDataSource(&names);
    table->setDelegate(&names);
    scroll->setDocumentView(table);
    table->reloadData();
    scroll->tile();
    table->tile();
    ASSERT_EQ(table->numberOfRows(), 3);
    EXPECT_EQ(table->frame(), (Rect{0, 0, 180, 75})) << "the scroll view's width, the rows' height";
    for (long i = 0; i < 3; ++i) {
        EXPECT_EQ(table->rowViewAtRow(i)->frame(), (Rect{0, 25.0 * i, 180, 24}));
        EXPECT_EQ(table->viewAtColumn(0, i)->frame(), (Rect{0, 0, 180, 24}));
    }

    table->clickRow(1);
    EXPECT_EQ(static_cast<TextField*>(table->viewAtColumn(0, 1))->stringValue(), "*b")
        << "the reload from the notification saw the new selection";
    EXPECT_TRUE(table->rowViewAtRow(1)->isSelected());
    table->clickRow(1);  // the same row: no change
    EXPECT_EQ(names.selectionChanges, 1);
    table->selectRowIndexes({2}, false);
    names.names = {"x", "y", "z", "w"};
    table->reloadData();
    EXPECT_EQ(table->selectedRow(), 2);
    EXPECT_EQ(names.selectionChanges, 2);
    names.names = {"x"};
    table->reloadData();
    EXPECT_EQ(table->selectedRow(), -1);
    EXPECT_EQ(names.selectionChanges, 3) << "dropping the selected row is a change";
    table->clickRow(0);
    table->clickRow(-1);
    EXPECT_EQ(table->selectedRow(), -1) << "a click outside the rows clears the selection";
}


// Puts the real opener back.
class OpenURLTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetURLOpenerForTesting({});
    }
    qlo::log::CaptureSink log;
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

}  // namespace
