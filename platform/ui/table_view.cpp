#include "platform/ui/table_view.h"

#include <cmath>

#include "platform/ui/graphics.h"

namespace qlo::ui {

namespace {

// A delegate that reloads from every reload would loop for ever: give up after this many
// rebuilds in a row (the last one stands).
constexpr int kMaxReloadPasses = 8;
constexpr Color kGridColor{0.8, 0.8, 0.8, 1};
constexpr Color kAlternateRowColor{0.96, 0.96, 0.96, 1};

}  // namespace

void TableColumn::setMinWidth(double minWidth) {
    minWidth_ = minWidth < 0 ? 0 : minWidth;
    if (width_ < minWidth_) width_ = minWidth_;
}

std::shared_ptr<TableRowView> TableViewDelegate::rowViewForRow(TableView&, long) { return nullptr; }
std::shared_ptr<View> TableViewDelegate::viewForTableColumn(TableView&, TableColumn*, long) { return nullptr; }
void TableViewDelegate::tableViewSelectionDidChange(TableView&) {}

TableView::TableView(Rect frame)
    : View(frame, "Table"), headerView_(std::make_shared<View>(Rect{}, "TableHeader")) {}

void TableView::addTableColumn(std::shared_ptr<TableColumn> column) {
    if (column) columns_.push_back(std::move(column));
}

void TableView::setSelectionHighlightStyle(SelectionHighlightStyle style) {
    highlightStyle_ = style;
    for (const Row& row : rows_) row.view->setSelectionHighlightStyle(style);
}

void TableView::reloadData() {
    if (reloading_) {
        // Called from the delegate while rows are being built: build again once this is done.
        reloadAgain_ = true;
        return;
    }
    std::shared_ptr<View> keepAlive = weak_from_this().lock();
    const std::set<long> before = selected_;
    reloading_ = true;
    try {
        for (int pass = 0; pass < kMaxReloadPasses; ++pass) {
            reloadAgain_ = false;
            rebuild();
            if (!reloadAgain_) break;
        }
    } catch (...) {
        reloading_ = false;
        reloadAgain_ = false;
        throw;
    }
    reloading_ = false;
    reloadAgain_ = false;
    if (selected_ != before) notifySelectionChanged();
}

void TableView::rebuild() {
    long count = dataSource_ != nullptr ? dataSource_->numberOfRowsInTableView(*this) : 0;
    if (count < 0) count = 0;
    // Keep the selected rows that still exist.
    std::set<long> kept;
    for (long row : selected_) {
        if (row < count) kept.insert(row);
    }
    selected_ = std::move(kept);
    if (selected_.count(lastSelected_) == 0) lastSelected_ = selected_.empty() ? -1 : *selected_.rbegin();

    removeAllSubviews();
    rows_.clear();
    rows_.reserve(static_cast<size_t>(count));
    for (long i = 0; i < count && !reloadAgain_; ++i) {
        std::shared_ptr<TableRowView> rowView = delegate_ != nullptr ? delegate_->rowViewForRow(*this, i) : nullptr;
        if (!rowView) rowView = std::make_shared<TableRowView>();
        rowView->setSelectionHighlightStyle(highlightStyle_);
        rowView->setBackgroundColor(alternating_ ? std::optional<Color>(i % 2 == 0 ? backgroundColor_ : kAlternateRowColor)
                                                 : std::nullopt);
        Row row{rowView, {}};
        for (const auto& column : columns_) {
            std::shared_ptr<View> cell =
                delegate_ != nullptr ? delegate_->viewForTableColumn(*this, column.get(), i) : nullptr;
            if (cell) rowView->addSubview(cell);
            row.cells.push_back(std::move(cell));
        }
        // The delegate may have changed the selection while building.
        rowView->setSelected(selected_.count(i) != 0);
        addSubview(rowView);
        rows_.push_back(std::move(row));
    }
    tile();
}

void TableView::tile() {
    const double width = frame().width;
    const double pitch = rowHeight_ + intercellSpacing_.height;
    for (size_t i = 0; i < rows_.size(); ++i) {
        const Rect rowFrame{0, static_cast<double>(i) * pitch, width, rowHeight_};
        TableRowView& rowView = *rows_[i].view;
        if (!(rowView.frame() == rowFrame)) rowView.setFrame(rowFrame);
        double x = 0;
        for (size_t c = 0; c < rows_[i].cells.size(); ++c) {
            // A single column fills the row; several sit side by side at their widths.
            const double cellWidth = columns_.size() == 1 ? width : columns_[c]->width();
            const Rect cellFrame{x, 0, cellWidth, rowHeight_};
            x += cellWidth + intercellSpacing_.width;
            View* cell = rows_[i].cells[c].get();
            if (cell != nullptr && !(cell->frame() == cellFrame)) cell->setFrame(cellFrame);
        }
    }
    const double height = static_cast<double>(rows_.size()) * pitch;
    if (frame().height != height) setFrame({frame().x, frame().y, width, height});
}

bool TableView::applySelection(std::set<long> rows, long last) {
    if (rows == selected_) return false;
    selected_ = std::move(rows);
    lastSelected_ = selected_.count(last) != 0 ? last : (selected_.empty() ? -1 : *selected_.rbegin());
    for (size_t i = 0; i < rows_.size(); ++i) {
        rows_[i].view->setSelected(selected_.count(static_cast<long>(i)) != 0);
    }
    return true;
}

void TableView::notifySelectionChanged() {
    if (delegate_ == nullptr) return;
    // The delegate may reload the table or drop the last owner of it.
    std::shared_ptr<View> keepAlive = weak_from_this().lock();
    delegate_->tableViewSelectionDidChange(*this);
}

void TableView::selectRowIndexes(const std::set<long>& rows, bool byExtendingSelection) {
    const long count = numberOfRows();
    std::set<long> valid;
    for (long row : rows) {
        if (row >= 0 && row < count) valid.insert(row);
    }
    std::set<long> next = byExtendingSelection ? selected_ : std::set<long>{};
    long last = lastSelected_;
    if (!valid.empty()) {
        last = *valid.rbegin();
        if (allowsMultipleSelection_) {
            next.insert(valid.begin(), valid.end());
        } else {
            next = {last};
        }
    }
    if (next.empty() && !allowsEmptySelection_ && !selected_.empty()) return;
    if (applySelection(std::move(next), last)) notifySelectionChanged();
}

void TableView::deselectAll() {
    if (!allowsEmptySelection_) return;
    if (applySelection({}, -1)) notifySelectionChanged();
}

void TableView::clickRow(long row) {
    if (row >= 0 && row < numberOfRows()) {
        if (applySelection({row}, row)) notifySelectionChanged();
    } else {
        deselectAll();
    }
}

long TableView::rowAtPoint(Point point) const {
    const double y = isFlipped() ? point.y : frame().height - point.y;
    if (point.x < 0 || point.x >= frame().width || y < 0) return -1;
    const long row = static_cast<long>(std::floor(y / (rowHeight_ + intercellSpacing_.height)));
    return row < numberOfRows() ? row : -1;
}

TableRowView* TableView::rowViewAtRow(long row) const {
    if (row < 0 || row >= static_cast<long>(rows_.size())) return nullptr;
    return rows_[static_cast<size_t>(row)].view.get();
}

View* TableView::viewAtColumn(long column, long row) const {
    if (row < 0 || row >= static_cast<long>(rows_.size())) return nullptr;
    const auto& cells = rows_[static_cast<size_t>(row)].cells;
    if (column < 0 || column >= static_cast<long>(cells.size())) return nullptr;
    return cells[static_cast<size_t>(column)].get();
}

Rect TableView::rectOfRow(long row) const {
    if (row < 0 || row >= numberOfRows()) return {};
    return {0, static_cast<double>(row) * (rowHeight_ + intercellSpacing_.height), frame().width, rowHeight_};
}

void TableView::drawRect(GraphicsContext& context, const Rect&) {
    context.fillRect(context.bounds(), backgroundColor_);
    const double pitch = rowHeight_ + intercellSpacing_.height;
    const double gap = intercellSpacing_.height > 0 ? intercellSpacing_.height : 1;
    if ((gridStyleMask_ & kGridSolidHorizontal) != 0) {
        for (size_t i = 0; i < rows_.size(); ++i) {
            context.fillRect(context.fromTopDown({0, static_cast<double>(i) * pitch + rowHeight_, frame().width, gap}), kGridColor);
        }
    }
    if ((gridStyleMask_ & kGridSolidVertical) != 0 && columns_.size() > 1) {
        double x = 0;
        for (size_t c = 0; c + 1 < columns_.size(); ++c) {
            x += columns_[c]->width();
            context.fillRect({x, 0, intercellSpacing_.width > 0 ? intercellSpacing_.width : 1, frame().height}, kGridColor);
            x += intercellSpacing_.width;
        }
    }
}

}  // namespace qlo::ui
