#include "platform/ui/application.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "platform/runloop.h"

namespace qlo::ui {

Application& Application::shared() {
    static Application application;
    return application;
}

void Application::addWindow(Window* window) {
    windows_.push_back(window);
}

void Application::removeWindow(Window* window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

void Application::beginModalSession(std::shared_ptr<Window> window, Completion completion) {
    if (!window) throw std::invalid_argument("beginModalSession: null window");
    window->orderFront();
    sessions_.push_back(Session{std::move(window), std::move(completion)});
    if (hooks_.sessionBegan) hooks_.sessionBegan();
}

Window* Application::modalWindow() const {
    return sessions_.empty() ? nullptr : sessions_.back().window.get();
}

void Application::stopModalWithCode(int response) {
    if (sessions_.empty()) return;
    Session session = std::move(sessions_.back());
    sessions_.pop_back();
    if (hooks_.sessionEnded) hooks_.sessionEnded();
    if (session.completion) {
        session.completion(response);
    } else {
        session.window->close();
    }
}

void Application::abortAllModalSessions() {
    while (!sessions_.empty()) abortModal();
}

int Application::runModalForWindow(std::shared_ptr<Window> window) {
    auto response = std::make_shared<std::optional<int>>();
    Window* const target = window.get();
    beginModalSession(std::move(window), [response](int code) { *response = code; });
    const std::function<bool()> done = [response]() { return response->has_value(); };
    if (hooks_.runModalLoop) {
        hooks_.runModalLoop(done);
    } else {
        while (!done()) runloop::RunLoop::main().runOnce(runloop::Mode::ModalPanel, 0.05);
    }
    // The runner gave up (the program is quitting): end this session and those inside it.
    while (!done()) {
        const bool present = std::any_of(sessions_.begin(), sessions_.end(),
                                         [target](const Session& s) { return s.window.get() == target; });
        if (!present) break;
        abortModal();
    }
    return response->value_or(kModalResponseAbort);
}

}  // namespace qlo::ui
