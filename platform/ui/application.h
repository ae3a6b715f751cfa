// The application object of the view toolkit: the windows of the process and the modal
// sessions. One per process (Application::shared()), used on the main thread only.
//
// Modal sessions. beginModalSession makes a window the modal window and returns; the session
// lasts until stopModal, stopModalWithCode or abortModal ends it (sessions nest; these end the
// innermost). While a session is up the program's main loop is expected to run the run loop
// in the ModalPanel mode only: the hooks tell the program when sessions begin and end.
// runModalForWindow begins a session and runs the modal loop (the hooks' runner) until it ends,
// as a blocking modal dialog does.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/window.h"

namespace qlo::ui {

// How a modal session ended (the values AppKit uses for the stop and abort responses).
enum ModalResponse : int {
    kModalResponseCancel = 0,
    kModalResponseOK = 1,
    kModalResponseStop = -1000,
    kModalResponseAbort = -1001,
};

class Application {
public:
    static Application& shared();

    // The windows that exist, in the order they were created.
    const std::vector<Window*>& windows() const { return windows_; }

    // ---- modal sessions -----------------------------------------------------------------
    using Completion = std::function<void(int response)>;
    // Shows the window and makes it the modal window. The completion runs when the session
    // ends, with the response; without a completion the window is closed then.
    void beginModalSession(std::shared_ptr<Window> window, Completion completion = {});
    // The window of the innermost session; null when no session is up.
    Window* modalWindow() const;
    size_t modalSessionCount() const { return sessions_.size(); }
    // End the innermost session with kModalResponseStop, the given code, or
    // kModalResponseAbort. Nothing happens when no session is up.
    void stopModal() { stopModalWithCode(kModalResponseStop); }
    void stopModalWithCode(int response);
    void abortModal() { stopModalWithCode(kModalResponseAbort); }
    // Ends every session, innermost first, with kModalResponseAbort.
    void abortAllModalSessions();

    // Begins a session for the window and runs the modal loop until that session ends; gives
    // its response. The window stays as it is (visible) for the caller to close. When the
    // runner returns before the session ended, the session is aborted.
    int runModalForWindow(std::shared_ptr<Window> window);

    struct ModalHooks {
        std::function<void()> sessionBegan;
        std::function<void()> sessionEnded;
        // Runs the modal loop until done() is true. Without one, the main run loop is run in
        // the ModalPanel mode.
        std::function<void(const std::function<bool()>& done)> runModalLoop;
    };
    void setModalHooks(ModalHooks hooks) { hooks_ = std::move(hooks); }

private:
    friend class Window;
    Application() = default;
    void addWindow(Window* window);
    void removeWindow(Window* window);

    struct Session {
        std::shared_ptr<Window> window;
        Completion completion;
    };

    std::vector<Window*> windows_;
    std::vector<Session> sessions_;
    ModalHooks hooks_;
};

}  // namespace qlo::ui
