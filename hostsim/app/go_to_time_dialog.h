// The host's "Go to Time" dialog: a modal window with a label, a text field holding a time and
// a row of buttons, Cancel (key equivalent escape) then OK (key equivalent return). OK reads the
// field and, when the owner accepts the text, ends the modal session with kModalResponseOK;
// Cancel ends it with kModalResponseCancel. Ending the session any other way (stopModal,
// abortModal) applies nothing.
//
// The style makes variants of the dialog, as other hosts or versions draw it: another title,
// an OK button with another title or no key equivalent, no buttons at all.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace qlo::ui {
class Button;
class TextField;
class Window;
}

namespace qlo::hostsim {

struct GoToTimeDialogStyle {
    std::string title = "Go to Time";
    bool hasOkButton = true;
    std::string okTitle = "OK";
    std::string okKeyEquivalent = "\r";
    bool hasCancelButton = true;
    std::string cancelTitle = "Cancel";
    std::string cancelKeyEquivalent = "\x1b";
};

class GoToTimeDialog {
public:
    // Called with the field's text when OK is clicked; true accepts it (the dialog ends),
    // false keeps the dialog up (the text is not a time).
    using Accept = std::function<bool(const std::string& text)>;

    GoToTimeDialog(const GoToTimeDialogStyle& style, const std::string& timeText, Accept accept);
    ~GoToTimeDialog();
    GoToTimeDialog(const GoToTimeDialog&) = delete;
    GoToTimeDialog& operator=(const GoToTimeDialog&) = delete;

    const std::shared_ptr<ui::Window>& window() const { return window_; }
    ui::TextField& field() const { return *field_; }
    // Null when the style has no such button.
    ui::Button* okButton() const { return ok_.get(); }
    ui::Button* cancelButton() const { return cancel_.get(); }

private:
    std::shared_ptr<ui::Window> window_;
    std::shared_ptr<ui::TextField> field_;
    std::shared_ptr<ui::Button> ok_;
    std::shared_ptr<ui::Button> cancel_;
};

}  // namespace qlo::hostsim
