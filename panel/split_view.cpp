// Split-view set-up: switches the host's viewer to one, two or four views by pressing its layout
// control, then picks one phone's camera in each pane's camera pop-up, left to right, with fixed
// waits between the steps so the host's interface can follow. Also keeps the split-view button's
// title and tint in step with the number of phones.
#include <algorithm>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "panel/ax_automation.h"
#include "panel/panel_controller.h"
#include "panel/panel_style.h"
#include "platform/dispatch.h"
#include "platform/log.h"
#include "platform/ui/button.h"

namespace ui = qlo::ui;
namespace ax = qlo::ax;

namespace {

constexpr double kAssignDelay = 0.5;     // after the layout switch, before the first pop-up
constexpr double kMenuDelay = 0.25;      // after pressing a pop-up, before choosing its item
constexpr double kNextPaneDelay = 0.2;   // after choosing an item, before the next pane
constexpr int64_t kMenuItemLimit = 2000;

// The names as one log line shows a list: a JSON array, so names with quotes or commas stay
// readable and unambiguous.
std::string NameList(const std::vector<std::string>& names) {
    return nlohmann::json(names).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

const std::vector<const char*>& LayoutCandidates(long viewCount) {
    static const std::vector<const char*> one{"1 View", "1", "one view"};
    static const std::vector<const char*> two{"2 Views", "2", "2 views", "two views"};
    static const std::vector<const char*> four{"4 Views", "4", "4 views", "four views"};
    static const std::vector<const char*> none;
    switch (viewCount) {
        case 1: return one;
        case 2: return two;
        case 4: return four;
        default: return none;
    }
}

}  // namespace

void QLOPanelController::updateSplitViewButton() {
    if (!splitViewBtn) return;
    const long n = static_cast<long>(_clients.size());
    if (n >= 2) {
        char title[64];
        std::snprintf(title, sizeof title, "  Set Up %ld-View Split", std::min(n, 4L));
        splitViewBtn->setTitle(title);
    } else {
        splitViewBtn->setTitle("  Set Up Split View");
    }
    splitViewBtn->setContentTintColor(ui::Color::calibratedWhite(n >= 1 ? kQLOBrightWhite : kQLODimWhite));
}

void QLOPanelController::scheduleSplitViewUpdate() {
    if (splitViewDebounce) splitViewDebounce->invalidate();
    splitViewDebounce = qlo::runloop::RunLoop::main().addTimer(
        kQLOSplitViewDebounce, false,
        [self = shared_from_this()](qlo::runloop::Timer& timer) { self->autoSplitViewFired(timer); });
}

void QLOPanelController::autoSplitViewFired(qlo::runloop::Timer&) {
    const long n = static_cast<long>(_clients.size());
    if (n >= 1) runSplitViewSetup(n);
}

void QLOPanelController::splitViewBtnClicked(ui::Button&) {
    const long n = static_cast<long>(_clients.size());
    runSplitViewSetup(n < 2 ? 1 : n);
}

void QLOPanelController::runSplitViewSetup(long k) {
    const long viewCount = k >= 4 ? 4 : (k >= 2 ? 2 : 1);
    std::vector<std::string> cameras = cameraNames();
    qlo::log::LogInfo("[Quillo] Setting up %ld-view layout for cameras: %{public}s", viewCount,
            NameList(cameras).c_str());
    const bool switched = switchViewerLayout(viewCount);
    qlo::log::LogInfo("[Quillo] Layout switch to %ld views: %{public}s", viewCount, switched ? "OK" : "not found");
    if (cameras.size() < 2) return;
    // The step holds the controller and the names until it runs. The cameras are assigned
    // whether or not the layout control was found.
    qlo::dispatch::MainAfter(kAssignDelay, [self = shared_from_this(), cameras, viewCount] {
        self->assignCamerasToViewerPanes(cameras, viewCount);
    });
}

bool QLOPanelController::switchViewerLayout(long viewCount) {
    for (const char* candidate : LayoutCandidates(viewCount)) {
        if (qloPressButton(candidate)) return true;
    }
    return false;
}

void QLOPanelController::assignCamerasToViewerPanes(const std::vector<std::string>& cameras,
                                                    long viewCount) {
    std::vector<ax::Element> popups = qloFindViewerPopups(cameras);
    qlo::log::LogInfo("[Quillo] Found %lu camera popup(s) in viewer", static_cast<unsigned long>(popups.size()));
    const long total = std::min({static_cast<long>(popups.size()), static_cast<long>(cameras.size()), viewCount});
    if (total == 0) return;
    assignCameraAtPopupIndex(0, popups, cameras, total);
}

void QLOPanelController::assignCameraAtPopupIndex(long index, const std::vector<ax::Element>& popups,
                                                  const std::vector<std::string>& cameras,
                                                  long total) {
    if (index >= total) return;
    ax::AXUIElementPerformAction(popups[static_cast<size_t>(index)], "AXPress");
    const std::string wanted = cameras[static_cast<size_t>(index)];
    qlo::dispatch::MainAfter(kMenuDelay, [self = shared_from_this(), index, popups, cameras, total, wanted] {
        const bool pressed = qloAXWalk("AXMenuItem", kMenuItemLimit, [&wanted](const ax::Element& item) {
            ax::Value title;
            if (ax::AXUIElementCopyAttributeValue(item, "AXTitle", &title) != ax::kAXErrorSuccess) {
                return false;
            }
            const std::string* text = title.text();
            if (text == nullptr || *text != wanted) return false;
            ax::AXUIElementPerformAction(item, "AXPress");
            return true;
        });
        qlo::log::LogInfo("[Quillo] Camera '%{public}s' → pane %ld: %{public}s", wanted.c_str(), index,
                pressed ? "assigned" : "menu item not found");
        qlo::dispatch::MainAfter(kNextPaneDelay, [self, index, popups, cameras, total] {
            self->assignCameraAtPopupIndex(index + 1, popups, cameras, total);
        });
    });
}
