#include "panel/ax_automation.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <mutex>
#include <numeric>
#include <optional>
#include <set>

namespace ax = qlo::ax;

namespace {

constexpr int64_t kSearchLimit = 6000;

// Reads a text attribute; nullopt when the read fails or gives no text.
std::optional<std::string> ReadText(const ax::Element& element, const char* attribute) {
    ax::Value value;
    if (ax::AXUIElementCopyAttributeValue(element, attribute, &value) != ax::kAXErrorSuccess) {
        return std::nullopt;
    }
    if (const std::string* text = value.text()) return *text;
    return std::nullopt;
}

std::string LowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(std::tolower(c));
    });
    return text;
}

const std::set<std::string>& StandardViews() {
    static std::once_flag once;
    static const std::set<std::string>* views = nullptr;
    std::call_once(once, [] {
        views = new std::set<std::string>{"Active Camera", "Front",         "Back",
                                          "Left",          "Right",         "Top",
                                          "Bottom",        "Custom View 1", "Custom View 2",
                                          "Custom View 3"};
    });
    return *views;
}

}  // namespace

bool qloIsStandardViewName(const std::string& name) { return StandardViews().count(name) != 0; }

bool qloAXWalk(const char* role, int64_t limit, const QLOAXVisitor& visitor) {
    ax::Element app = ax::AXUIElementCreateApplication(getpid());
    if (!app) return false;
    std::deque<ax::Element> queue{app};
    int64_t examined = 1;
    while (true) {
        ax::Element element = std::move(queue.front());
        queue.pop_front();
        if (role == nullptr) {
            if (visitor(element)) return true;
        } else if (std::optional<std::string> elementRole = ReadText(element, "AXRole");
                   elementRole && *elementRole == role) {
            if (visitor(element)) return true;
        }
        ax::Value children;
        if (ax::AXUIElementCopyAttributeValue(element, "AXChildren", &children) ==
            ax::kAXErrorSuccess) {
            if (const std::vector<ax::Element>* list = children.elements()) {
                queue.insert(queue.end(), list->begin(), list->end());
            }
        }
        if (queue.empty() || examined >= limit) return false;
        ++examined;
    }
}

QLOPressResult qloPressButton(const std::string& name) {
    const std::string target = LowerCased(name);
    QLOPressResult result;
    auto visitor = [&target, &result](const ax::Element& element) {
        const std::optional<std::string> title = ReadText(element, "AXTitle");
        const std::optional<std::string> description = ReadText(element, "AXDescription");
        const bool titleMatches = title && LowerCased(*title) == target;
        const bool descriptionMatches =
            !titleMatches && description && LowerCased(*description).find(target) != std::string::npos;
        if (!titleMatches && !descriptionMatches) return false;
        result.found = true;
        result.error = ax::AXUIElementPerformAction(element, "AXPress");
        return true;
    };
    if (!qloAXWalk(ax::kAXButtonRole, kSearchLimit, visitor)) {
        qloAXWalk("AXRadioButton", kSearchLimit, visitor);
    }
    return result;
}

ax::AXError qloCloseMenuOf(const ax::Element& popup) {
    ax::Value children;
    if (ax::AXError err = ax::AXUIElementCopyAttributeValue(popup, "AXChildren", &children);
        err != ax::kAXErrorSuccess) {
        return err;
    }
    if (const std::vector<ax::Element>* list = children.elements()) {
        for (const ax::Element& child : *list) {
            if (ReadText(child, "AXRole") == std::optional<std::string>(ax::kAXMenuRole)) {
                return ax::AXUIElementPerformAction(child, ax::kAXCancelAction);
            }
        }
    }
    return ax::kAXErrorNoValue;
}

std::string qloAXErrorText(ax::AXError error) {
    const char* words = "the host could not do it";
    switch (error) {
        case ax::kAXErrorSuccess: words = "no error"; break;
        case ax::kAXErrorCannotComplete: words = "the control is disabled or hidden"; break;
        case ax::kAXErrorInvalidUIElement: words = "the control is gone"; break;
        case ax::kAXErrorActionUnsupported: words = "the control cannot be pressed"; break;
        case ax::kAXErrorAPIDisabled: words = "accessibility access is off"; break;
        default: break;
    }
    return std::string(words) + " (AX error " + std::to_string(static_cast<int>(error)) + ")";
}

std::vector<ax::Element> qloSortByFrameX(const std::vector<ax::Element>& elements,
                                         const std::vector<qlo::ui::Rect>& frames) {
    std::vector<size_t> order(elements.size());
    std::iota(order.begin(), order.end(), 0);
    // A frame without a readable position has an x of +infinity (the null rectangle's origin),
    // so it sorts after every pop-up whose position is known. NaN is treated the same way.
    auto sortKey = [&frames](size_t i) {
        const double x = frames[i].x;
        return std::isnan(x) ? std::numeric_limits<double>::infinity() : x;
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return sortKey(a) < sortKey(b); });
    std::vector<ax::Element> sorted;
    sorted.reserve(order.size());
    for (size_t i : order) sorted.push_back(elements[i]);
    return sorted;
}

std::vector<ax::Element> qloFindViewerPopups(const std::vector<std::string>& cameraNames) {
    StandardViews();
    std::vector<ax::Element> popups;
    std::vector<qlo::ui::Rect> frames;
    const double inf = std::numeric_limits<double>::infinity();
    qloAXWalk("AXPopUpButton", kSearchLimit, [&](const ax::Element& element) {
        std::optional<std::string> label = ReadText(element, "AXValue");
        if (!label) label = ReadText(element, "AXTitle");
        if (!label) return false;
        const bool isCameraPopup =
            qloIsStandardViewName(*label) ||
            std::find(cameraNames.begin(), cameraNames.end(), *label) != cameraNames.end();
        if (!isCameraPopup) return false;
        qlo::ui::Rect frame{inf, inf, 0, 0};
        ax::Value value;
        if (ax::AXUIElementCopyAttributeValue(element, "AXPosition", &value) ==
            ax::kAXErrorSuccess) {
            if (const qlo::ui::Point* point = value.point()) {
                frame.x = point->x;
                frame.y = point->y;
            }
        }
        if (ax::AXUIElementCopyAttributeValue(element, "AXSize", &value) == ax::kAXErrorSuccess) {
            if (const qlo::ui::Size* size = value.size()) {
                frame.width = size->width;
                frame.height = size->height;
            }
        }
        popups.push_back(element);
        frames.push_back(frame);
        return false;
    });
    return qloSortByFrameX(popups, frames);
}
