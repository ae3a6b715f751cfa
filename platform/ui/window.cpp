#include "platform/ui/window.h"

#include "platform/ui/application.h"

namespace qlo::ui {

Window::Window(std::string title, Rect frame) : title_(std::move(title)), frame_(frame) {
    setContentView(nullptr);
    Application::shared().addWindow(this);
}

Window::~Window() {
    Application::shared().removeWindow(this);
    if (content_) content_->setWindow(nullptr);
}

void Window::setFrame(const Rect& frame) {
    frame_ = frame;
    content_->setFrame({0, 0, frame.width, frame.height});
}

void Window::setContentView(std::shared_ptr<View> view) {
    if (content_) content_->setWindow(nullptr);
    if (!view) view = std::make_shared<View>();
    view->removeFromSuperview();
    content_ = std::move(view);
    content_->setFrame({0, 0, frame_.width, frame_.height});
    content_->setWindow(this);
}

void Window::layoutIfNeeded() { content_->layoutSubtreeIfNeeded(); }

Rect Window::screenFrameOf(const View& view) const {
    return view.frameInWindow().offsetBy(frame_.x, frame_.y);
}

std::string Window::dumpTree() const {
    return "Window \"" + title_ + "\"" + (visible_ ? "" : " (not visible)") + "\n" +
           content_->dumpTree(1);
}

}  // namespace qlo::ui
