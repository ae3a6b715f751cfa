// Tables: rows built from the data source and delegate, placed at their pitch, selection kept
// across reloads, clicks and programmatic selection notifying once, a delegate that reloads
// from its notification, and custom row drawing of the selection.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/graphics.h"
#include "platform/ui/png_renderer.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/table_view.h"
#include "platform/ui/text_field.h"

namespace {

using namespace qlo::ui;

// Rows of a dark list: 0.22, selected 0.34.
class DarkRow : public TableRowView {
public:
    void drawBackgroundInRect(GraphicsContext& context, const Rect&) override {
        context.fillRect(context.bounds(), Color::calibratedWhite(0.22));
    }
    void drawSelectionInRect(GraphicsContext& context, const Rect&) override {
        context.fillRect(context.bounds(), Color::calibratedWhite(0.34));
    }
};

// A list of names; the selected row's cell says "*name". Reloads from the selection change.
class Names : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<std::string> names;
    int selectionChanges = 0;
    std::vector<long> selectedSeenInCells;

    long numberOfRowsInTableView(TableView&) override { return static_cast<long>(names.size()); }
    std::shared_ptr<TableRowView> rowViewForRow(TableView&, long) override { return std::make_shared<DarkRow>(); }
    std::shared_ptr<View> viewForTableColumn(TableView& table, TableColumn*, long row) override {
        if (row < 0 || row >= static_cast<long>(names.size())) return nullptr;
        if (table.selectedRow() == row) selectedSeenInCells.push_back(row);
        auto cell = std::make_shared<View>();
        cell->setFlipped(false);
        auto label = TextField::labelWithString((table.selectedRow() == row ? "*" : "") + names[static_cast<size_t>(row)]);
        label->setFrame({54, 3, 100, 18});
        cell->addSubview(label);
        return cell;
    }
    void tableViewSelectionDidChange(TableView& table) override {
        ++selectionChanges;
        table.reloadData();
    }
};

struct Fixture {
    Names names;
    std::shared_ptr<ScrollView> scroll = std::make_shared<ScrollView>(Rect{0, 0, 200, 120});
    std::shared_ptr<TableView> table = std::make_shared<TableView>();

    explicit Fixture(std::vector<std::string> rows) {
        names.names = std::move(rows);
        auto column = std::make_shared<TableColumn>("phone");
        column->setWidth(200);
        column->setMinWidth(120);
        table->addTableColumn(column);
        table->setRowHeight(24);
        table->setIntercellSpacing({0, 1});
        table->setBackgroundColor(Color::calibratedWhite(0.10));
        table->setDataSource(&names);
        table->setDelegate(&names);
        scroll->setDocumentView(table);
        scroll->setFrame({0, 0, 180, 120});
        table->reloadData();
    }
    std::string cellText(long row) const {
        return static_cast<TextField&>(*table->viewAtColumn(0, row)->subviews()[0]).stringValue();
    }
};

TEST(UiDrawTable, RowsAndCellsArePlacedAtTheRowPitchAcrossTheScrollViewsWidth) {
    Fixture f({"a", "b", "c"});
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

TEST(UiDrawTable, ClicksNotifyOnceAndTheDelegateMayReloadFromTheNotification) {
    Fixture f({"a", "b", "c"});
    f.table->clickRow(1);
    EXPECT_EQ(f.names.selectionChanges, 1);
    EXPECT_EQ(f.table->selectedRow(), 1);
    EXPECT_EQ(f.cellText(1), "*b") << "the reload from the notification saw the new selection";
    EXPECT_EQ(f.cellText(0), "a");
    EXPECT_TRUE(f.table->rowViewAtRow(1)->isSelected());

    f.table->clickRow(1);  // the same row: no change
    EXPECT_EQ(f.names.selectionChanges, 1);
    f.table->selectRowIndexes({2}, false);
    EXPECT_EQ(f.names.selectionChanges, 2);
    f.table->selectRowIndexes({0}, true);  // single selection: extending replaces
    EXPECT_EQ(f.table->selectedRowIndexes(), (std::set<long>{0}));
    EXPECT_EQ(f.names.selectionChanges, 3);
    f.table->selectRowIndexes({7}, false);  // rows outside the table are ignored: none selected
    EXPECT_EQ(f.table->selectedRow(), -1);
    f.table->clickRow(-1);
    EXPECT_EQ(f.table->selectedRow(), -1);
}

TEST(UiDrawTable, ReloadKeepsTheSelectedIndexWhileItExists) {
    Fixture f({"a", "b", "c"});
    f.table->selectRowIndexes({2}, false);
    const int changes = f.names.selectionChanges;
    f.names.names = {"x", "y", "z", "w"};
    f.table->reloadData();
    EXPECT_EQ(f.table->selectedRow(), 2);
    EXPECT_EQ(f.names.selectionChanges, changes);

    f.names.names = {"x"};
    f.table->reloadData();
    EXPECT_EQ(f.table->selectedRow(), -1);
    EXPECT_EQ(f.names.selectionChanges, changes + 1) << "dropping the selected row is a change";
    EXPECT_EQ(f.table->frame().height, 25);
}

TEST(UiDrawTable, SelectedRowsDrawTheirOwnSelectionBetweenDarkGaps) {
    Fixture f({"a", "b"});
    f.table->setSelectionHighlightStyle(kHighlightRegular);
    f.scroll->setBackgroundColor(Color::calibratedWhite(0.10));
    f.table->clickRow(0);
    const RenderedPixels pixels = RenderViewToARGB(*f.scroll);
    const auto grey = [&](int y) { return std::lround(pixels.colorAt(5, y).r * 255); };
    EXPECT_NEAR(grey(10), 0.34 * 255, 1) << "selected";
    EXPECT_NEAR(grey(24), 0.10 * 255, 1) << "the gap";
    EXPECT_NEAR(grey(35), 0.22 * 255, 1);
    EXPECT_NEAR(grey(100), 0.10 * 255, 1) << "below the rows";
}

}  // namespace
