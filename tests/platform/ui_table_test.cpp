// Tables: rows built from the data source and delegate, placed at their pitch across the scroll
// view's width, and the selection: clicks and programmatic selection notifying once per change,
// a delegate that reloads from its notification, and the selection kept across reloads. (The
// rows' own drawing is the panel's, tested with the panel.)
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/scroll_view.h"
#include "platform/ui/table_view.h"
#include "platform/ui/text_field.h"

namespace {

using namespace qlo::ui;

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

struct Fixture {
    explicit Fixture(std::vector<std::string> rows) {
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

TEST(UiTable, TheSelectionNotifiesOncePerChangeAndSurvivesReloadsWhileItsRowExists) {
    Fixture f({"a", "b", "c"});
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

}  // namespace
