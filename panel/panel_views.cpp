// The panel's view tree: header, footer with the split-view button, the list area holding the
// phone table and the empty state with its store badges, all placed by layout constraints.
#include "base/plugin_state.h"
#include "panel/download_page.h"
#include "panel/panel_controller.h"
#include "panel/panel_drawing.h"
#include "panel/panel_style.h"
#include "platform/log.h"
#include "platform/ui/button.h"
#include "platform/ui/image.h"
#include "platform/ui/layout_constraint.h"
#include "platform/ui/open_url.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/stack_view.h"
#include "platform/ui/text_field.h"

namespace ui = qlo::ui;
using ui::Color;
using ui::ConstraintPtr;

namespace {

std::shared_ptr<ui::View> LayerBackedView(double white) {
    auto view = std::make_shared<ui::View>();
    view->setWantsLayer(true);
    view->setLayerBackgroundColor(Color::calibratedWhite(white));
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    return view;
}

// All four edges of `view` equal those of `other`.
void PinEdges(ui::View& view, ui::View& other, std::vector<ConstraintPtr>& out) {
    out.push_back(view.leadingAnchor().constraintEqualToAnchor(other.leadingAnchor()));
    out.push_back(view.trailingAnchor().constraintEqualToAnchor(other.trailingAnchor()));
    out.push_back(view.topAnchor().constraintEqualToAnchor(other.topAnchor()));
    out.push_back(view.bottomAnchor().constraintEqualToAnchor(other.bottomAnchor()));
}

ConstraintPtr WithPriority(ConstraintPtr constraint, float priority) {
    constraint->setPriority(priority);
    return constraint;
}

}  // namespace

void QLOPanelController::buildUIInContainer(ui::View& host) {
    root = std::make_shared<ui::View>(QLOBounds(host));
    root->setWantsLayer(true);
    root->setLayerBackgroundColor(Color::calibratedWhite(kQLORootWhite));
    root->setTranslatesAutoresizingMaskIntoConstraints(false);
    host.addSubview(root);
    std::vector<ConstraintPtr> rootEdges;
    PinEdges(*root, host, rootEdges);
    ui::LayoutConstraint::activate(rootEdges);

    header = std::make_shared<QLOHeaderView>();
    header->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(header);

    headerLabel = ui::TextField::labelWithString("Ready Phones");
    headerLabel->setFont(ui::Font::systemFont(11));
    headerLabel->setTextColor(Color::calibratedWhite(kQLOBrightWhite));
    headerLabel->setTranslatesAutoresizingMaskIntoConstraints(false);
    header->addSubview(headerLabel);

    footerView = LayerBackedView(kQLOHeaderWhite);
    root->addSubview(footerView);
    auto footerRule = LayerBackedView(kQLOLineWhite);
    footerView->addSubview(footerRule);

    splitViewBtn = std::make_shared<ui::Button>("  Set Up Split View");
    splitViewBtn->setBezelStyle(ui::kBezelStyleRegularSquare);
    splitViewBtn->setBordered(false);
    splitViewBtn->setImagePosition(ui::kImageLeft);
    splitViewBtn->setAlignment(ui::TextAlignment::Left);
    splitViewBtn->setFont(ui::Font::systemFont(11));
    splitViewBtn->setContentTintColor(Color::calibratedWhite(kQLODimWhite));
    splitViewBtn->setImage(ui::Image::systemSymbol("rectangle.split.2x1"));
    splitViewBtn->setAction([weak = weak_from_this()](ui::Button& sender) {
        if (auto self = weak.lock()) self->splitViewBtnClicked(sender);
    });
    splitViewBtn->setToolTip("Switch AE viewer to N-view layout and assign a camera to each pane.");
    splitViewBtn->setTranslatesAutoresizingMaskIntoConstraints(false);
    footerView->addSubview(splitViewBtn);

    auto listArea = LayerBackedView(kQLOLineWhite);
    root->addSubview(listArea);

    table = std::make_shared<ui::TableView>();
    auto column = std::make_shared<ui::TableColumn>("phone");
    column->setWidth(200);
    column->setMinWidth(120);
    table->addTableColumn(column);
    table->setRowHeight(kQLORowHeight);
    table->setHeaderView(nullptr);
    table->setUsesAlternatingRowBackgroundColors(false);
    table->setBackgroundColor(Color::calibratedWhite(kQLOLineWhite));
    table->setGridStyleMask(ui::kGridNone);
    table->setSelectionHighlightStyle(ui::kHighlightRegular);
    table->setAllowsMultipleSelection(false);
    table->setAllowsEmptySelection(true);
    table->setDataSource(this);
    table->setDelegate(this);
    table->setIntercellSpacing(ui::Size{0, 1});

    tableScroll = std::make_shared<ui::ScrollView>();
    tableScroll->setDocumentView(table);
    tableScroll->setHasVerticalScroller(true);
    tableScroll->setBorderType(ui::kNoBorder);
    tableScroll->setDrawsBackground(true);
    tableScroll->setBackgroundColor(Color::calibratedWhite(kQLOLineWhite));
    tableScroll->setScrollerStyle(ui::kScrollerStyleOverlay);
    tableScroll->setTranslatesAutoresizingMaskIntoConstraints(false);
    listArea->addSubview(tableScroll);

    emptyStack = std::make_shared<ui::View>();
    emptyStack->setTranslatesAutoresizingMaskIntoConstraints(false);
    listArea->addSubview(emptyStack);
    buildEmptyState();

    std::vector<ConstraintPtr> c;
    c.push_back(header->topAnchor().constraintEqualToAnchor(root->topAnchor()));
    c.push_back(header->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor()));
    c.push_back(header->trailingAnchor().constraintEqualToAnchor(root->trailingAnchor()));
    c.push_back(header->heightAnchor().constraintEqualToConstant(kQLOHeaderHeight));

    c.push_back(headerLabel->leadingAnchor().constraintEqualToAnchor(header->leadingAnchor(), 8));
    c.push_back(headerLabel->trailingAnchor().constraintEqualToAnchor(header->trailingAnchor(), -8));
    c.push_back(headerLabel->centerYAnchor().constraintEqualToAnchor(header->centerYAnchor()));

    c.push_back(footerView->bottomAnchor().constraintEqualToAnchor(root->bottomAnchor()));
    c.push_back(footerView->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor()));
    c.push_back(footerView->trailingAnchor().constraintEqualToAnchor(root->trailingAnchor()));
    c.push_back(footerView->heightAnchor().constraintEqualToConstant(kQLOFooterHeight));

    c.push_back(footerRule->topAnchor().constraintEqualToAnchor(footerView->topAnchor()));
    c.push_back(footerRule->leadingAnchor().constraintEqualToAnchor(footerView->leadingAnchor()));
    c.push_back(footerRule->trailingAnchor().constraintEqualToAnchor(footerView->trailingAnchor()));
    c.push_back(footerRule->heightAnchor().constraintEqualToConstant(1));

    c.push_back(splitViewBtn->topAnchor().constraintEqualToAnchor(footerRule->bottomAnchor()));
    c.push_back(splitViewBtn->leadingAnchor().constraintEqualToAnchor(footerView->leadingAnchor()));
    c.push_back(splitViewBtn->trailingAnchor().constraintEqualToAnchor(footerView->trailingAnchor()));
    c.push_back(splitViewBtn->bottomAnchor().constraintEqualToAnchor(footerView->bottomAnchor()));

    c.push_back(listArea->topAnchor().constraintEqualToAnchor(header->bottomAnchor(), kQLOListMargin));
    c.push_back(listArea->bottomAnchor().constraintEqualToAnchor(footerView->topAnchor(), -kQLOListMargin));
    c.push_back(listArea->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor(), kQLOListMargin));
    c.push_back(listArea->trailingAnchor().constraintEqualToAnchor(root->trailingAnchor(), -kQLOListMargin));

    PinEdges(*tableScroll, *listArea, c);
    PinEdges(*emptyStack, *listArea, c);
    ui::LayoutConstraint::activate(c);
}

void QLOPanelController::buildEmptyState() {
    const Color dim = Color::calibratedWhite(kQLODimWhite);
    emptyTitle = ui::TextField::labelWithString("No phones connected.");
    emptyTitle->setFont(ui::Font::systemFont(12));
    emptyTitle->setTextColor(dim);
    emptyTitle->setAlignment(ui::TextAlignment::Center);

    emptyHint = ui::TextField::wrappingLabelWithString(
        "Download and run Quillo for Adobe After Effects on your iPhone or Android to connect.");
    emptyHint->setFont(ui::Font::systemFont(11));
    emptyHint->setTextColor(dim);
    emptyHint->setAlignment(ui::TextAlignment::Center);
    emptyHint->setMaximumNumberOfLines(3);
    emptyHint->setContentHuggingPriority(ui::kLayoutPriorityDefaultLow, ui::Orientation::Horizontal);

    appStoreBtn = badgeWithSymbol("apple.logo", "App Store");
    playStoreBtn = badgeWithSymbol("play.fill", "Google Play");
    for (const auto& badge : {appStoreBtn, playStoreBtn}) {
        badge->setAction([weak = weak_from_this()](ui::Button& sender) {
            if (auto self = weak.lock()) self->openDownloadPage(sender);
        });
    }

    auto badgeRow = ui::StackView::stackWithViews({appStoreBtn, playStoreBtn},
                                                  ui::StackOrientation::Horizontal);
    badgeRow->setSpacing(8);
    badgeRow->setDistribution(ui::StackDistribution::FillEqually);

    auto column = ui::StackView::stackWithViews({emptyTitle, emptyHint, badgeRow},
                                                ui::StackOrientation::Vertical);
    column->setAlignment(ui::StackAlignment::CenterX);
    column->setSpacing(14);
    column->setTranslatesAutoresizingMaskIntoConstraints(false);
    emptyStack->addSubview(column);

    std::vector<ConstraintPtr> c;
    c.push_back(column->centerXAnchor().constraintEqualToAnchor(emptyStack->centerXAnchor()));
    c.push_back(column->centerYAnchor().constraintEqualToAnchor(emptyStack->centerYAnchor()));
    c.push_back(column->leadingAnchor().constraintGreaterThanOrEqualToAnchor(emptyStack->leadingAnchor(), 12));
    c.push_back(column->trailingAnchor().constraintLessThanOrEqualToAnchor(emptyStack->trailingAnchor(), -12));
    c.push_back(column->topAnchor().constraintGreaterThanOrEqualToAnchor(emptyStack->topAnchor(), 8));
    c.push_back(column->bottomAnchor().constraintLessThanOrEqualToAnchor(emptyStack->bottomAnchor(), -8));
    c.push_back(WithPriority(column->widthAnchor().constraintLessThanOrEqualToConstant(300),
                             ui::kLayoutPriorityDefaultHigh));
    for (const auto& badge : {appStoreBtn, playStoreBtn}) {
        c.push_back(badge->heightAnchor().constraintEqualToConstant(34));
        c.push_back(WithPriority(badge->widthAnchor().constraintGreaterThanOrEqualToConstant(90),
                                 ui::kLayoutPriorityDefaultHigh));
    }
    c.push_back(emptyHint->widthAnchor().constraintEqualToAnchor(column->widthAnchor()));
    ui::LayoutConstraint::activate(c);
}

std::shared_ptr<QLOStoreBadge> QLOPanelController::badgeWithSymbol(const std::string& symbol,
                                                                   const std::string& title) {
    auto badge = std::make_shared<QLOStoreBadge>(ui::Rect{0, 0, 120, 34});
    badge->setBordered(false);
    badge->setBezelStyle(ui::kBezelStyleRegularSquare);
    badge->setImagePosition(ui::kImageLeft);
    badge->setAlignment(ui::TextAlignment::Center);
    badge->setAlphaValue(0.55);
    badge->setTitle(title);
    badge->setAttributedTitle(ui::AttributedString{title, Color::calibratedWhite(kQLOBrightWhite),
                                                   ui::Font::systemFont(12, ui::FontWeight::Medium)});
    if (auto image = ui::Image::systemSymbol(symbol, 16, ui::FontWeight::Regular)) {
        badge->setImage(image);
        badge->setContentTintColor(Color::calibratedWhite(kQLOBrightWhite));
    }
    badge->setImageHugsTitle(true);
    return badge;
}

void QLOPanelController::openDownloadPage(ui::Button&) { ui::OpenURL(kQLODownloadPageURL); }
