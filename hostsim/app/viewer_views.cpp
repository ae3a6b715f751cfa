// The viewer area's views: a toolbar with the layout control and the composition's name, and
// one pane per view, each with its picture and its camera pop-up. Rebuilt when the layout or the
// composition changes, updated in place otherwise; the pictures are filled in by renderPanes.
#include <string>

#include "hostsim/app/comp_time.h"
#include "hostsim/app/viewer.h"
#include "hostsim/app/viewer_render.h"
#include "platform/ui/button.h"
#include "platform/ui/image.h"
#include "platform/ui/image_view.h"
#include "platform/ui/pop_up_button.h"
#include "platform/ui/text_field.h"

namespace qlo::hostsim {

namespace {

constexpr double kToolbarHeight = 32;
constexpr double kPopUpWidth = 180;
constexpr double kPopUpHeight = 24;
constexpr double kPaneInset = 4;  // between a pane's edge and its picture

const ui::Color kAreaColor = ui::Color::calibratedWhite(0.16);
const ui::Color kToolbarColor = ui::Color::calibratedWhite(0.24);
const ui::Color kPaneColor = ui::Color::calibratedWhite(0.09);
const ui::Color kActivePaneColor = ui::Color::rgb(0.20, 0.36, 0.62);
const ui::Color kTitleColor = ui::Color::calibratedWhite(0.88);

std::string PaneId(size_t index) {
    return "viewer.pane." + std::to_string(index + 1);
}

// The panes' frames inside the panes area, in view order.
std::vector<ui::Rect> PaneFrames(ViewLayout layout, double width, double height) {
    const double halfW = width / 2;
    const double halfH = height / 2;
    switch (layout) {
        case ViewLayout::OneView: return {{0, 0, width, height}};
        case ViewLayout::TwoViewsHorizontal: return {{0, 0, halfW, height}, {halfW, 0, halfW, height}};
        case ViewLayout::TwoViewsVertical: return {{0, 0, width, halfH}, {0, halfH, width, halfH}};
        case ViewLayout::FourViews:
            return {{0, 0, halfW, halfH}, {halfW, 0, halfW, halfH},
                    {0, halfH, halfW, halfH}, {halfW, halfH, halfW, halfH}};
    }
    return {{0, 0, width, height}};
}

std::shared_ptr<ui::View> BuildToolbar(Viewer& viewer, ObjectId comp, const ViewerState& state,
                                       const std::string& title, double width) {
    auto toolbar = std::make_shared<ui::View>(ui::Rect{0, 0, width, kToolbarHeight}, "Toolbar");
    toolbar->setIdentifier("viewer.toolbar");
    toolbar->setWantsLayer(true);
    toolbar->setLayerBackgroundColor(kToolbarColor);
    struct Choice {
        const char* title;
        const char* description;
        ViewLayout layout;
        bool on;
    };
    const bool two = state.layout == ViewLayout::TwoViewsHorizontal ||
                     state.layout == ViewLayout::TwoViewsVertical;
    const Choice choices[] = {
        {"1 View", "1 View layout", ViewLayout::OneView, state.layout == ViewLayout::OneView},
        {"2 Views", "2 Views layout", ViewLayout::TwoViewsHorizontal, two},
        {"4 Views", "4 Views layout", ViewLayout::FourViews, state.layout == ViewLayout::FourViews},
    };
    double x = 8;
    for (const Choice& choice : choices) {
        auto button = std::make_shared<ui::Button>(choice.title, "", ui::ButtonType::Radio,
                                                   ui::Rect{x, 4, 80, 24});
        button->setAttributedTitle({choice.title, kTitleColor, std::nullopt});
        button->setIdentifier(std::string("viewer.layout.") + choice.title);
        button->setToolTip("Select view layout");
        button->setAccessibilityDescription(choice.description);
        button->setOn(choice.on);
        button->setEnabled(comp != 0);
        const ViewLayout layout = choice.layout;
        button->setAction([&viewer, comp, layout](ui::Button&) { viewer.setLayout(comp, layout); });
        toolbar->addSubview(button);
        x += 88;
    }
    auto name = std::make_shared<ui::TextField>(title, false, ui::Rect{x + 16, 8, width - x - 24, 18});
    name->setIdentifier("viewer.title");
    name->setTextColor(kTitleColor);
    toolbar->addSubview(name);
    return toolbar;
}

std::shared_ptr<ui::View> BuildPane(Viewer& viewer, ObjectId comp, const ViewerState& state,
                                    size_t index, const ui::Rect& frame) {
    const std::string number = std::to_string(index + 1);
    const bool active = static_cast<int>(index) == state.activePane;
    auto pane = std::make_shared<ui::View>(frame, "ViewerPane");
    pane->setIdentifier(PaneId(index));
    pane->setToolTip("View " + number + (active ? " (active)" : ""));
    pane->setWantsLayer(true);
    pane->setLayerBackgroundColor(active ? kActivePaneColor : kPaneColor);

    // The picture fills the pane inside a thin frame (the active pane's frame is coloured).
    auto picture = std::make_shared<ui::ImageView>(ui::Rect{
        kPaneInset, kPaneInset, frame.width - 2 * kPaneInset, frame.height - 2 * kPaneInset});
    picture->setIdentifier(PaneId(index) + ".picture");
    picture->setWantsLayer(true);
    picture->setLayerBackgroundColor(kPaneColor);
    pane->addSubview(picture);

    auto popUp = std::make_shared<ui::PopUpButton>(
        Viewer::CameraChoices(comp),
        ui::Rect{8, frame.height - kPopUpHeight - 8, kPopUpWidth, kPopUpHeight});
    popUp->setIdentifier(PaneId(index) + ".camera");
    popUp->setToolTip("3D View");
    popUp->setAccessibilityDescription("3D view of view " + number);
    popUp->selectTitle(Viewer::CameraName(comp, state.panes[index]));
    const int paneIndex = static_cast<int>(index);
    popUp->setAction([&viewer, comp, paneIndex](ui::Button& button) {
        auto& chosen = static_cast<ui::PopUpButton&>(button);
        viewer.choosePaneCamera(comp, paneIndex, chosen.selectedTitle());
    });
    pane->addSubview(popUp);
    return pane;
}

// The picture's bitmap: the world's pixels are bytes alpha, red, green, blue, as images take them.
std::shared_ptr<ui::Image> ImageOf(const World& world) {
    return ui::Image::fromARGB(world.data(), world.width(), world.height(), world.rowBytes());
}

}  // namespace

void BuildViewerArea(ui::View& area, Viewer& viewer, ObjectId comp) {
    const Item* item = comp != 0 ? CurrentProject().findItem(comp) : nullptr;
    const double width = area.frame().width;
    const double height = area.frame().height;
    const ViewerState state = viewer.state(comp);

    area.removeAllSubviews();
    area.setIdentifier("viewer");
    area.setWantsLayer(true);
    area.setLayerBackgroundColor(kAreaColor);
    area.addSubview(BuildToolbar(viewer, comp, state,
                                 item != nullptr ? "Composition: " + item->name : "Composition", width));

    auto panes = std::make_shared<ui::View>(
        ui::Rect{0, kToolbarHeight, width, std::max(0.0, height - kToolbarHeight)}, "Group");
    panes->setIdentifier("viewer.panes");
    if (item != nullptr) {
        const std::vector<ui::Rect> frames =
            PaneFrames(state.layout, panes->frame().width, panes->frame().height);
        for (size_t i = 0; i < state.panes.size() && i < frames.size(); ++i) {
            panes->addSubview(BuildPane(viewer, comp, state, i, frames[i]));
        }
    } else {
        auto none = std::make_shared<ui::TextField>("No composition is open", false,
                                                    ui::Rect{16, 16, 300, 24});
        none->setTextColor(kTitleColor);
        panes->addSubview(none);
    }
    area.addSubview(panes);
}

void UpdateViewerArea(ui::View& area, Viewer& viewer, ObjectId comp) {
    const ViewerState state = viewer.state(comp);
    const std::vector<std::string> choices = Viewer::CameraChoices(comp);
    for (size_t i = 0; i < state.panes.size(); ++i) {
        ui::View* pane = area.findByIdentifier(PaneId(i));
        if (pane == nullptr) continue;
        const bool active = static_cast<int>(i) == state.activePane;
        pane->setToolTip("View " + std::to_string(i + 1) + (active ? " (active)" : ""));
        pane->setLayerBackgroundColor(active ? kActivePaneColor : kPaneColor);
        if (auto* popUp = dynamic_cast<ui::PopUpButton*>(area.findByIdentifier(PaneId(i) + ".camera"))) {
            if (popUp->items() != choices) popUp->setItems(choices);
            popUp->selectTitle(Viewer::CameraName(comp, state.panes[i]));
        }
    }
}

int Viewer::renderPanes() {
    refreshArea();
    const ObjectId comp = FrontComposition();
    const Composition* c = CurrentProject().findComposition(comp);
    if (c == nullptr) return 0;
    const ViewerState s = state(comp);
    const double seconds = CompositionTime(CurrentProject(), *c);
    int rendered = 0;
    for (size_t i = 0; i < s.panes.size(); ++i) {
        auto* picture = dynamic_cast<ui::ImageView*>(area_->findByIdentifier(PaneId(i) + ".picture"));
        if (picture == nullptr) continue;
        const ui::Rect& room = picture->frame();
        std::unique_ptr<World> world = RenderPanePicture(*c, s.panes[i], seconds, room.width, room.height);
        picture->setImage(world ? ImageOf(*world) : nullptr);
        if (world) ++rendered;
    }
    return rendered;
}

}  // namespace qlo::hostsim
