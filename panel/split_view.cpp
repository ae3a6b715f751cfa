// Split-view set-up: switches the host's viewer to one, two or four views by pressing its layout
// control, then picks one phone's camera in each pane's camera pop-up, left to right, with fixed
// waits between the steps so the host's interface can follow. Also keeps the split-view button's
// title and tint in step with the number of phones.
//
// One set-up runs at a time. A new request replaces the running one at once rather than waiting
// for it: the newer request is made with the newer phone list, so the older run's remaining
// steps would only be undone; the replaced chain's pending steps find they are no longer the
// running one and do nothing. The viewer-layout sync of the idle tick arranges the same viewer
// in one go; when it does so while a set-up is under way, the set-up stops, so the viewer is
// left as the later of the two arranged it, never half of each.
#include <algorithm>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "panel/ax_automation.h"
#include "panel/panel_controller.h"
#include "panel/panel_style.h"
#include "platform/dispatch.h"
#include "platform/log.h"
#include "platform/ui/button.h"
#include "rig/viewer_sync.h"

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
    if (_splitViewRun != 0) stopSplitViewRun("a new set-up replaced it");
    const uint64_t run = _splitViewRun = ++_splitViewRunsStarted;
    _splitViewSyncMark = ViewerSyncRunCount();
    // Three phones get the four-view layout, as the viewer-layout sync gives them, so that the
    // two routes to the viewer agree on its layout.
    const long viewCount = k >= 3 ? 4 : (k == 2 ? 2 : 1);
    std::vector<std::string> cameras = cameraNames();
    qlo::log::LogInfo("[Quillo] Setting up %ld-view layout for cameras: %{public}s", viewCount,
            NameList(cameras).c_str());
    const QLOPressResult switched = switchViewerLayout(viewCount);
    if (switched.found && !switched) {
        // The control is there but the host refused the press: the viewer is not in the layout
        // the panes would be assigned for.
        qlo::log::LogInfo("[Quillo] Layout switch to %ld views: refused, %{public}s", viewCount,
                qloAXErrorText(switched.error).c_str());
        _splitViewRun = 0;
        return;
    }
    qlo::log::LogInfo("[Quillo] Layout switch to %ld views: %{public}s", viewCount, switched ? "OK" : "not found");
    if (cameras.size() < 2) {
        _splitViewRun = 0;
        return;
    }
    // The step holds the controller and the names until it runs. When the layout control was
    // not found the cameras are still assigned to the panes there are.
    qlo::dispatch::MainAfter(kAssignDelay, [self = shared_from_this(), run, cameras, viewCount] {
        if (self->splitViewRunGoesOn(run)) self->assignCamerasToViewerPanes(run, cameras, viewCount);
    });
}

QLOPressResult QLOPanelController::switchViewerLayout(long viewCount) {
    for (const char* candidate : LayoutCandidates(viewCount)) {
        // The first control that matches decides, whether the host carries its press out or not.
        if (QLOPressResult press = qloPressButton(candidate); press.found) return press;
    }
    return {};
}

void QLOPanelController::assignCamerasToViewerPanes(uint64_t run,
                                                    const std::vector<std::string>& cameras,
                                                    long viewCount) {
    std::vector<ax::Element> popups = qloFindViewerPopups(cameras);
    qlo::log::LogInfo("[Quillo] Found %lu camera popup(s) in viewer", static_cast<unsigned long>(popups.size()));
    const long total = std::min({static_cast<long>(popups.size()), static_cast<long>(cameras.size()), viewCount});
    if (total == 0) {
        _splitViewRun = 0;
        return;
    }
    assignCameraAtPopupIndex(run, 0, popups, cameras, total);
}

void QLOPanelController::assignCameraAtPopupIndex(uint64_t run, long index,
                                                  const std::vector<ax::Element>& popups,
                                                  const std::vector<std::string>& cameras,
                                                  long total) {
    if (run != _splitViewRun) return;
    if (index >= total) {
        _splitViewRun = 0;  // complete
        return;
    }
    const ax::Element& popup = popups[static_cast<size_t>(index)];
    const std::string wanted = cameras[static_cast<size_t>(index)];
    auto next = [self = shared_from_this(), run, index, popups, cameras, total] {
        if (self->splitViewRunGoesOn(run)) {
            self->assignCameraAtPopupIndex(run, index + 1, popups, cameras, total);
        }
    };
    if (ax::AXError err = ax::AXUIElementPerformAction(popup, "AXPress"); err != ax::kAXErrorSuccess) {
        // No menu opened: there is no item to choose in this pane. The next pane is still done.
        qlo::log::LogInfo("[Quillo] Camera '%{public}s' → pane %ld: pop-up refused, %{public}s",
                wanted.c_str(), index, qloAXErrorText(err).c_str());
        qlo::dispatch::MainAfter(kNextPaneDelay, next);
        return;
    }
    _openMenuPopup = popup;
    qlo::dispatch::MainAfter(kMenuDelay, [self = shared_from_this(), run, index, popup, wanted, next] {
        if (!self->splitViewRunGoesOn(run)) return;
        bool found = false;
        ax::AXError pressed = ax::kAXErrorSuccess;
        qloAXWalk("AXMenuItem", kMenuItemLimit, [&](const ax::Element& item) {
            ax::Value title;
            if (ax::AXUIElementCopyAttributeValue(item, "AXTitle", &title) != ax::kAXErrorSuccess) {
                return false;
            }
            const std::string* text = title.text();
            if (text == nullptr || *text != wanted) return false;
            found = true;
            pressed = ax::AXUIElementPerformAction(item, "AXPress");
            return true;
        });
        // Choosing an item closes the menu; otherwise it is closed as a user would, with the
        // pane's camera left as it was.
        if (!found || pressed != ax::kAXErrorSuccess) qloCloseMenuOf(popup);
        self->_openMenuPopup = nullptr;
        if (!found) {
            qlo::log::LogInfo("[Quillo] Camera '%{public}s' → pane %ld: menu item not found", wanted.c_str(), index);
        } else if (pressed != ax::kAXErrorSuccess) {
            qlo::log::LogInfo("[Quillo] Camera '%{public}s' → pane %ld: menu item refused, %{public}s",
                    wanted.c_str(), index, qloAXErrorText(pressed).c_str());
        } else {
            qlo::log::LogInfo("[Quillo] Camera '%{public}s' → pane %ld: assigned", wanted.c_str(), index);
        }
        qlo::dispatch::MainAfter(kNextPaneDelay, next);
    });
}

bool QLOPanelController::splitViewRunGoesOn(uint64_t run) {
    if (run != _splitViewRun) return false;
    if (ViewerSyncRunCount() != _splitViewSyncMark) {
        stopSplitViewRun("the viewer-layout sync rearranged the viewer");
        return false;
    }
    return true;
}

void QLOPanelController::stopSplitViewRun(const char* reason) {
    if (_openMenuPopup) qloCloseMenuOf(_openMenuPopup);
    _openMenuPopup = nullptr;
    _splitViewRun = 0;
    qlo::log::LogInfo("[Quillo] Split-view set-up stopped: %{public}s", reason);
}
