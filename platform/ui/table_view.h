// A table: rows of cells from a data source (how many rows) and a delegate (a row view and one
// cell per column for each row, and word of selection changes). Rows are built on reloadData:
// row i sits at y = i * (rowHeight + intercell height), as wide as the table, rowHeight high;
// the table's height follows its rows. It usually is a scroll view's document view.
//
// The data source and the delegate are not owned; they must outlive their use by the table.
// The delegate may reload the table from any of its calls, also while the table reloads.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/color.h"
#include "platform/ui/table_row_view.h"
#include "platform/ui/view.h"

namespace qlo::ui {

class TableView;

class TableColumn {
public:
    explicit TableColumn(std::string identifier) : identifier_(std::move(identifier)) {}
    const std::string& identifier() const { return identifier_; }
    double width() const { return width_; }
    // Never below the minimum width.
    void setWidth(double width) { width_ = width < minWidth_ ? minWidth_ : width; }
    double minWidth() const { return minWidth_; }
    void setMinWidth(double minWidth);

private:
    std::string identifier_;
    double width_ = 100;
    double minWidth_ = 10;
};

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual long numberOfRowsInTableView(TableView& table) = 0;
};

class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;
    // The row's view; null for a standard TableRowView.
    virtual std::shared_ptr<TableRowView> rowViewForRow(TableView& table, long row);
    // The cell of a column in a row; null for none.
    virtual std::shared_ptr<View> viewForTableColumn(TableView& table, TableColumn* column, long row);
    // The selection changed (by a click or by the program).
    virtual void tableViewSelectionDidChange(TableView& table);
};

// Grid lines (AppKit's mask bits); combine them with |.
enum GridStyle : unsigned { kGridNone = 0, kGridSolidVertical = 1, kGridSolidHorizontal = 2 };
constexpr GridStyle operator|(GridStyle a, GridStyle b) {
    return static_cast<GridStyle>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

class TableView : public View {
public:
    explicit TableView(Rect frame = {});

    void addTableColumn(std::shared_ptr<TableColumn> column);
    const std::vector<std::shared_ptr<TableColumn>>& tableColumns() const { return columns_; }
    TableViewDataSource* dataSource() const { return dataSource_; }
    void setDataSource(TableViewDataSource* dataSource) { dataSource_ = dataSource; }
    TableViewDelegate* delegate() const { return delegate_; }
    void setDelegate(TableViewDelegate* delegate) { delegate_ = delegate; }

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height) { rowHeight_ = height > 0 ? height : 1; }
    // The column headers' view; tables start with one. Null removes it.
    const std::shared_ptr<View>& headerView() const { return headerView_; }
    void setHeaderView(std::shared_ptr<View> header) { headerView_ = std::move(header); }
    bool hasHeaderView() const { return headerView_ != nullptr; }
    bool usesAlternatingRowBackgroundColors() const { return alternating_; }
    void setUsesAlternatingRowBackgroundColors(bool uses) { alternating_ = uses; }
    const Color& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(Color color) { backgroundColor_ = color; }
    GridStyle gridStyleMask() const { return gridStyleMask_; }
    void setGridStyleMask(GridStyle mask) { gridStyleMask_ = mask; }
    SelectionHighlightStyle selectionHighlightStyle() const { return highlightStyle_; }
    void setSelectionHighlightStyle(SelectionHighlightStyle style);
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool allows) { allowsMultipleSelection_ = allows; }
    bool allowsEmptySelection() const { return allowsEmptySelection_; }
    void setAllowsEmptySelection(bool allows) { allowsEmptySelection_ = allows; }
    Size intercellSpacing() const { return intercellSpacing_; }
    void setIntercellSpacing(Size spacing) { intercellSpacing_ = spacing; }

    // Asks the data source for the count and the delegate for every row and cell, and rebuilds
    // the rows. The selection keeps the indexes still below the count; when that drops selected
    // rows, the delegate hears of the change after the rows are built.
    void reloadData();
    long numberOfRows() const { return static_cast<long>(rows_.size()); }

    // The last row selected; -1 when none is.
    long selectedRow() const { return selected_.empty() ? -1 : lastSelected_; }
    const std::set<long>& selectedRowIndexes() const { return selected_; }
    // Selects rows as the program does (rows outside the table are ignored; one row at most
    // unless multiple selection is allowed); the delegate hears of it when the selection changes.
    void selectRowIndexes(const std::set<long>& rows, bool byExtendingSelection);
    void deselectAll();
    // A click as the user's: on a row, selects it alone; elsewhere (row -1 or past the end),
    // clears the selection when that is allowed.
    void clickRow(long row);
    // The row under a point of the table; -1 when none.
    long rowAtPoint(Point point) const;

    // Null outside the table.
    TableRowView* rowViewAtRow(long row) const;
    // The cell; null outside the table or when the delegate gave none.
    View* viewAtColumn(long column, long row) const;
    // The row's rectangle in the table.
    Rect rectOfRow(long row) const;

    // Places rows and cells at the table's current width.
    void tile();
    void viewWillDraw() override { tile(); }
    void drawRect(GraphicsContext& context, const Rect& dirtyRect) override;

private:
    struct Row {
        std::shared_ptr<TableRowView> view;
        std::vector<std::shared_ptr<View>> cells;  // one per column, null where none
    };
    void rebuild();
    // Applies a new selection to the rows; true when it differs from the old one.
    bool applySelection(std::set<long> rows, long last);
    void notifySelectionChanged();

    std::vector<std::shared_ptr<TableColumn>> columns_;
    TableViewDataSource* dataSource_ = nullptr;
    TableViewDelegate* delegate_ = nullptr;
    double rowHeight_ = 17;
    std::shared_ptr<View> headerView_;
    bool alternating_ = false;
    Color backgroundColor_ = kControlBackgroundColor;
    GridStyle gridStyleMask_ = kGridNone;
    SelectionHighlightStyle highlightStyle_ = kHighlightRegular;
    bool allowsMultipleSelection_ = false;
    bool allowsEmptySelection_ = true;
    Size intercellSpacing_{3, 2};

    std::vector<Row> rows_;
    std::set<long> selected_;
    long lastSelected_ = -1;
    bool reloading_ = false;
    bool reloadAgain_ = false;
};

}  // namespace qlo::ui
