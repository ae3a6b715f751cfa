// Buttons: a title, a key equivalent (the key that presses the button while its window is in
// front: "\r" for the default button, "\x1b" for Cancel), an enabled flag, and an action that a
// click sends. Radio buttons carry an on/off state and turn on when clicked.
#pragma once

#include <functional>
#include <string>

#include "platform/ui/view.h"

namespace qlo::ui {

enum class ButtonType { Push, Radio };

class Button : public View {
public:
    using Action = std::function<void(Button&)>;

    explicit Button(std::string title, std::string keyEquivalent = "",
                    ButtonType type = ButtonType::Push, Rect frame = {});

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    void setKeyEquivalent(std::string key) { keyEquivalent_ = std::move(key); }
    ButtonType type() const { return type_; }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    // Radio buttons: whether this one is selected.
    bool isOn() const { return on_; }
    void setOn(bool on) { on_ = on; }

    void setAction(Action action) { action_ = std::move(action); }
    bool hasAction() const { return static_cast<bool>(action_); }

    // Clicks the button as the user would: nothing when it is disabled; a radio button turns
    // on; then the action is sent. The button (and the action) stay alive until the action
    // returns, even when the action closes the window that holds the button.
    virtual void performClick();
    // How many clicks were performed while enabled.
    int clickCount() const { return clicks_; }

    std::string describe() const override;

protected:
    void sendAction();

private:
    std::string title_;
    std::string keyEquivalent_;
    ButtonType type_;
    bool enabled_ = true;
    bool on_ = false;
    int clicks_ = 0;
    Action action_;
};

// The key equivalent text made readable: "\r" -> "return", "\x1b" -> "escape".
std::string KeyEquivalentName(const std::string& key);

}  // namespace qlo::ui
