// The viewer window's views: a toolbar with the layout control and one pane per view, each with
// its camera pop-up. Rebuilt from the viewer's state whenever that changes.
#include <string>

#include "hostsim/app/viewer.h"
#include "platform/ui/button.h"
#include "platform/ui/pop_up_button.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

namespace qlo::hostsim {

namespace {

constexpr double kToolbarHeight = 32;
constexpr double kPopUpWidth = 180;
constexpr double kPopUpHeight = 24;

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
                                       double width) {
    auto toolbar = std::make_shared<ui::View>(ui::Rect{0, 0, width, kToolbarHeight}, "Toolbar");
    toolbar->setIdentifier("viewer.toolbar");
    struct Choice {
        const char* title;
        ViewLayout layout;
        bool on;
    };
    const bool two = state.layout == ViewLayout::TwoViewsHorizontal ||
                     state.layout == ViewLayout::TwoViewsVertical;
    const Choice choices[] = {
        {"1 View", ViewLayout::OneView, state.layout == ViewLayout::OneView},
        {"2 Views", ViewLayout::TwoViewsHorizontal, two},
        {"4 Views", ViewLayout::FourViews, state.layout == ViewLayout::FourViews},
    };
    double x = 8;
    for (const Choice& choice : choices) {
        auto button = std::make_shared<ui::Button>(choice.title, "", ui::ButtonType::Radio,
                                                   ui::Rect{x, 4, 80, 24});
        button->setIdentifier(std::string("viewer.layout.") + choice.title);
        button->setToolTip("Select view layout");
        button->setOn(choice.on);
        button->setEnabled(comp != 0);
        const ViewLayout layout = choice.layout;
        button->setAction([&viewer, comp, layout](ui::Button&) { viewer.setLayout(comp, layout); });
        toolbar->addSubview(button);
        x += 88;
    }
    return toolbar;
}

std::shared_ptr<ui::View> BuildPane(Viewer& viewer, ObjectId comp, const ViewerState& state,
                                    size_t index, const ui::Rect& frame) {
    const std::string number = std::to_string(index + 1);
    const bool active = static_cast<int>(index) == state.activePane;
    auto pane = std::make_shared<ui::View>(frame, "ViewerPane");
    pane->setIdentifier("viewer.pane." + number);
    pane->setToolTip("View " + number + (active ? " (active)" : ""));

    auto popUp = std::make_shared<ui::PopUpButton>(
        Viewer::CameraChoices(comp),
        ui::Rect{8, frame.height - kPopUpHeight - 6, kPopUpWidth, kPopUpHeight});
    popUp->setIdentifier("viewer.pane." + number + ".camera");
    popUp->setToolTip("3D View");
    popUp->selectTitle(Viewer::CameraName(comp, state.panes[index]));
    const int paneIndex = static_cast<int>(index);
    popUp->setAction([&viewer, comp, paneIndex](ui::Button& button) {
        auto& chosen = static_cast<ui::PopUpButton&>(button);
        viewer.choosePaneCamera(comp, paneIndex, chosen.selectedTitle());
    });
    pane->addSubview(popUp);
    return pane;
}

}  // namespace

void BuildViewerWindow(ui::Window& window, Viewer& viewer, ObjectId comp) {
    const Item* item = comp != 0 ? CurrentProject().findItem(comp) : nullptr;
    window.setTitle(item != nullptr ? "Composition: " + item->name : "Composition");
    const double width = window.frame().width;
    const double height = window.frame().height;
    const ViewerState state = viewer.state(comp);

    auto content = std::make_shared<ui::View>();
    content->setIdentifier("viewer.content");
    content->addSubview(BuildToolbar(viewer, comp, state, width));

    auto panes = std::make_shared<ui::View>(
        ui::Rect{0, kToolbarHeight, width, height - kToolbarHeight}, "Group");
    panes->setIdentifier("viewer.panes");
    if (item != nullptr) {
        const std::vector<ui::Rect> frames =
            PaneFrames(state.layout, panes->frame().width, panes->frame().height);
        for (size_t i = 0; i < state.panes.size() && i < frames.size(); ++i) {
            panes->addSubview(BuildPane(viewer, comp, state, i, frames[i]));
        }
    } else {
        panes->addSubview(std::make_shared<ui::TextField>(
            "No composition is open", false, ui::Rect{16, 16, 300, 24}));
    }
    content->addSubview(panes);
    window.setContentView(content);
    if (item != nullptr) {
        window.orderFront();
    } else {
        window.close();
    }
}

}  // namespace qlo::hostsim
