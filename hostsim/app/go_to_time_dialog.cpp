#include "hostsim/app/go_to_time_dialog.h"

#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

namespace qlo::hostsim {

namespace {

constexpr ui::Rect kDialogFrame{760, 400, 360, 140};

// Ends the modal session of `window` when it is the innermost one.
void EndSessionOf(const ui::Window* window, int response) {
    ui::Application& app = ui::Application::shared();
    if (window != nullptr && app.modalWindow() == window) app.stopModalWithCode(response);
}

}  // namespace

GoToTimeDialog::GoToTimeDialog(const GoToTimeDialogStyle& style, const std::string& timeText,
                               Accept accept)
    : window_(std::make_shared<ui::Window>(style.title, kDialogFrame)) {
    ui::View& content = window_->contentView();
    content.setIdentifier("goto.content");
    content.addSubview(
        std::make_shared<ui::TextField>("Go to Time:", false, ui::Rect{16, 14, 200, 20}));
    field_ = std::make_shared<ui::TextField>(timeText, true, ui::Rect{16, 40, 328, 24});
    field_->setIdentifier("goto.field");
    content.addSubview(field_);

    auto row = std::make_shared<ui::View>(ui::Rect{0, 92, kDialogFrame.width, 40}, "Group");
    row->setIdentifier("goto.buttons");
    // The actions hold only what they need, never the dialog: clicking may end the session,
    // and ending it may destroy the dialog while the click is still on the stack.
    const ui::Window* window = window_.get();
    if (style.hasCancelButton) {
        cancel_ = std::make_shared<ui::Button>(style.cancelTitle, style.cancelKeyEquivalent,
                                               ui::ButtonType::Push, ui::Rect{172, 6, 84, 28});
        cancel_->setIdentifier("goto.cancel");
        cancel_->setAction([window](ui::Button&) { EndSessionOf(window, ui::kModalResponseCancel); });
        row->addSubview(cancel_);
    }
    if (style.hasOkButton) {
        ok_ = std::make_shared<ui::Button>(style.okTitle, style.okKeyEquivalent,
                                           ui::ButtonType::Push, ui::Rect{264, 6, 84, 28});
        ok_->setIdentifier("goto.ok");
        std::weak_ptr<ui::TextField> field = field_;
        ok_->setAction([window, field, accept = std::move(accept)](ui::Button&) {
            const auto text = field.lock();
            if (!text || (accept && !accept(text->stringValue()))) return;
            EndSessionOf(window, ui::kModalResponseOK);
        });
        row->addSubview(ok_);
    }
    content.addSubview(row);
}

GoToTimeDialog::~GoToTimeDialog() = default;

}  // namespace qlo::hostsim
