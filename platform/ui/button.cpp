#include "platform/ui/button.h"

namespace qlo::ui {

Button::Button(std::string title, std::string keyEquivalent, ButtonType type, Rect frame)
    : View(frame, type == ButtonType::Radio ? "RadioButton" : "Button"),
      title_(std::move(title)),
      keyEquivalent_(std::move(keyEquivalent)),
      type_(type) {}

void Button::performClick() {
    if (!enabled_) return;
    ++clicks_;
    if (type_ == ButtonType::Radio) on_ = true;
    sendAction();
}

void Button::sendAction() {
    if (!action_) return;
    // The action may drop the last owner of this button (closing its window): hold both.
    std::shared_ptr<View> keepAlive = weak_from_this().lock();
    Action action = action_;
    action(*this);
}

std::string Button::describe() const {
    std::string text = View::describe() + " \"" + title_ + "\"";
    if (!keyEquivalent_.empty()) text += " key " + KeyEquivalentName(keyEquivalent_);
    if (type_ == ButtonType::Radio && on_) text += " on";
    if (!enabled_) text += " disabled";
    return text;
}

std::string KeyEquivalentName(const std::string& key) {
    if (key == "\r") return "return";
    if (key == "\x1b") return "escape";
    if (key == "\t") return "tab";
    if (key == " ") return "space";
    return "\"" + key + "\"";
}

}  // namespace qlo::ui
