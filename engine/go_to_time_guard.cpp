#include "engine/go_to_time_guard.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <memory>
#include <string>

#include "base/plugin_state.h"
#include "base/main_thread.h"
#include "platform/log.h"
#include "platform/runloop.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"

qlo::runloop::TimerPtr g_goToTimeGuard;

namespace {

constexpr double kGuardIntervalSeconds = 0.12;

std::string UpperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Breadth-first from the content view: a button whose key equivalent is return ends the
// search at once; otherwise the first button titled OK (in any letter case) is taken.
qlo::ui::Button* FindConfirmButton(qlo::ui::Window& window) {
    std::deque<std::shared_ptr<qlo::ui::View>> queue{window.contentViewPtr()};
    qlo::ui::Button* found = nullptr;
    while (!queue.empty() && found == nullptr) {
        const std::shared_ptr<qlo::ui::View> view = queue.front();
        queue.pop_front();
        if (view == nullptr) continue;
        if (auto* button = dynamic_cast<qlo::ui::Button*>(view.get())) {
            if (button->keyEquivalent() == "\r") return button;
            if (UpperCase(button->title()) == "OK") found = button;
        }
        queue.insert(queue.end(), view->subviews().begin(), view->subviews().end());
    }
    return found;
}

}  // namespace

void DismissGoToTimeDialog() {
    qlo::ui::Application& app = qlo::ui::Application::shared();
    qlo::ui::Window* window = app.modalWindow();
    if (window == nullptr) return;
    const std::string& title = window->title();
    if (title.find("Go to Time") == std::string::npos &&
        title.find("Go To Time") == std::string::npos) {
        return;
    }
    if (qlo::ui::Button* button = FindConfirmButton(*window)) {
        button->performClick();
    } else {
        app.stopModal();
    }
    if (qlo::log::InfoEnabled()) {
        qlo::log::LogInfo("[Quillo] auto-dismissed Go-to-Time dialog (global guard)");
    }
}

void StartGoToTimeGuard() {
    QLO_MAIN_THREAD_ONLY("The Go to Time guard");
    if (g_goToTimeGuard && g_goToTimeGuard->isValid()) return;
    using qlo::runloop::Mode;
    g_goToTimeGuard = qlo::runloop::RunLoop::main().addTimer(
        kGuardIntervalSeconds, true, [](qlo::runloop::Timer&) { DismissGoToTimeDialog(); },
        {Mode::ModalPanel, Mode::Default});
}

void StopGoToTimeGuard() {
    QLO_MAIN_THREAD_ONLY("The Go to Time guard");
    if (g_goToTimeGuard) {
        g_goToTimeGuard->invalidate();
        g_goToTimeGuard.reset();
    }
}
