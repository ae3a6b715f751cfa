// A readable listing of an element tree, made only through the public calls (what an assistive
// tool would see).
#include <sstream>
#include <utility>

#include "platform/ax/ax.h"
#include "platform/ui/view.h"

namespace qlo::ax {

namespace {

bool ReadText(const Element& element, const char* attribute, std::string* text) {
    Value value;
    if (AXUIElementCopyAttributeValue(element, attribute, &value) != kAXErrorSuccess) return false;
    if (const std::string* t = value.text()) {
        *text = *t;
        return true;
    }
    if (const double* n = value.number()) {
        *text = ui::FormatNumber(*n);
        return true;
    }
    return false;
}

std::string Line(const Element& element) {
    std::string role = "?";
    ReadText(element, kAXRoleAttribute, &role);
    std::string line = role;
    std::string text;
    if (ReadText(element, kAXTitleAttribute, &text)) line += " \"" + text + "\"";
    if (ReadText(element, kAXValueAttribute, &text)) line += " value \"" + text + "\"";
    if (ReadText(element, kAXDescriptionAttribute, &text)) line += " desc \"" + text + "\"";
    Value position;
    Value size;
    ui::Point p;
    ui::Size s;
    if (AXUIElementCopyAttributeValue(element, kAXPositionAttribute, &position) == kAXErrorSuccess &&
        AXUIElementCopyAttributeValue(element, kAXSizeAttribute, &size) == kAXErrorSuccess &&
        AXValueGetValue(position, kAXValueCGPointType, &p) &&
        AXValueGetValue(size, kAXValueCGSizeType, &s)) {
        line += " (" + ui::FormatNumber(p.x) + ", " + ui::FormatNumber(p.y) + ", " +
                ui::FormatNumber(s.width) + " x " + ui::FormatNumber(s.height) + ")";
    }
    return line;
}

}  // namespace

std::string DescribeElementTree(const Element& root, int64_t limit) {
    if (!root) return "no element\n";
    std::ostringstream out;
    // Depth first, in child order; an explicit stack keeps deep trees off the call stack.
    std::vector<std::pair<Element, int>> stack{{root, 0}};
    int64_t listed = 0;
    while (!stack.empty()) {
        if (listed >= limit) {
            out << "... (more than " << limit << " elements)\n";
            break;
        }
        auto [element, depth] = std::move(stack.back());
        stack.pop_back();
        out << std::string(static_cast<size_t>(depth) * 2, ' ') << Line(element) << '\n';
        ++listed;
        Value children;
        if (AXUIElementCopyAttributeValue(element, kAXChildrenAttribute, &children) != kAXErrorSuccess) {
            continue;
        }
        const std::vector<Element>* list = children.elements();
        if (list == nullptr) continue;
        for (auto it = list->rbegin(); it != list->rend(); ++it) stack.emplace_back(*it, depth + 1);
    }
    return out.str();
}

}  // namespace qlo::ax
