// The application's windows: the main window with the viewer and the panel dock, the View
// menu's layout commands, the "Go to Time" dialog as a modal session of the view toolkit, and
// the script engine for AEGP_ExecuteScript.
#include <filesystem>
#include <string>

#include "hostsim/app/comp_time.h"
#include "hostsim/app/host_app.h"
#include "hostsim/app/timecode.h"
#include "hostsim/model/project.h"
#include "hostsim/script/extendscript.h"
#include "hostsim/suites/model_suites.h"
#include "platform/ax/ax.h"
#include "platform/log.h"
#include "platform/runloop.h"
#include "platform/ui/application.h"
#include "platform/ui/window.h"

namespace qlo::hostsim {

namespace {

struct LayoutCommand {
    AEGP_Command command;
    ViewLayout layout;
    const char* text;
};
// "2 Views" is the horizontal two-view layout under a second name.
constexpr LayoutCommand kLayoutCommands[] = {
    {kHostCmdViewOne, ViewLayout::OneView, "1 View"},
    {kHostCmdViewTwoHorizontal, ViewLayout::TwoViewsHorizontal, "2 Views Horizontal"},
    {kHostCmdViewTwo, ViewLayout::TwoViewsHorizontal, "2 Views"},
    {kHostCmdViewTwoVertical, ViewLayout::TwoViewsVertical, "2 Views Vertical"},
    {kHostCmdViewFour, ViewLayout::FourViews, "4 Views"},
};

const char* ResponseName(int response) {
    switch (response) {
        case ui::kModalResponseOK: return "OK";
        case ui::kModalResponseCancel: return "Cancel";
        case ui::kModalResponseStop: return "stopped";
        case ui::kModalResponseAbort: return "aborted";
        default: return "ended";
    }
}

Composition* ActiveComposition() {
    Item* item = CurrentProject().activeItem();
    return item != nullptr ? item->asComposition() : nullptr;
}

// The project's name as the window shows it: its file's name without the extension.
std::string ProjectName(const std::string& path) {
    const std::string stem = std::filesystem::path(path).stem().string();
    return stem.empty() ? "Untitled Project" : stem;
}

}  // namespace

void HostApp::buildWindowMenus() {
    commands_.bar().insert(kHostCmdGoToTime, "Go to Time...", AEGP_Menu_COMPOSITION,
                           AEGP_MENU_INSERT_AT_BOTTOM);
    commands_.addHostCommand(kHostCmdGoToTime, [this]() {
        return openGoToTimeDialog() != nullptr ? A_Err_NONE : A_Err_GENERIC;
    });
    for (const LayoutCommand& item : kLayoutCommands) {
        commands_.bar().insert(item.command, item.text, kHostMenuView, AEGP_MENU_INSERT_AT_BOTTOM);
        const ViewLayout layout = item.layout;
        commands_.addHostCommand(item.command, [this, layout]() { return setViewerLayout(layout); });
    }
}

void HostApp::updateWindowItems() {
    commands_.setEnabled(kHostCmdGoToTime, ActiveComposition() != nullptr && !goToTime_);
    const ObjectId front = Viewer::FrontComposition();
    const ViewLayout current = viewer_.state(front).layout;
    // One check mark: on the first item naming the current layout.
    bool marked = false;
    for (const LayoutCommand& item : kLayoutCommands) {
        const bool mark = front != 0 && !marked && item.layout == current;
        marked = marked || mark;
        commands_.setEnabled(item.command, front != 0);
        commands_.setChecked(item.command, mark);
    }
    // Menu updates come at least every kMenuUpdateInterval: the window follows the project.
    if (mainWindow_) mainWindow();
}

MainWindow& HostApp::mainWindow() {
    mainWindow_->refresh(ProjectName(projectPath_));
    return *mainWindow_;
}

void HostApp::installWindowing() {
    mainWindow_ = std::make_unique<MainWindow>(viewer_, workspace_);
    // Assistive tools (the plug-in's split-view set-up) see the windows as the model is now.
    ax::SetViewsUpdateHandler([this]() { mainWindow(); });
    ui::Application::shared().setModalHooks(ui::Application::ModalHooks{
        [this]() { beginModal(); },
        [this]() { endModal(); },
        [this](const std::function<bool()>& done) { runModal(done); },
    });
    SetScriptEngine([](const std::string& script, std::string* result, std::string* error) {
        return script::RunExtendScript(script, result, error);
    });
}

void HostApp::uninstallWindowing() {
    ax::SetViewsUpdateHandler({});
    ui::Application::shared().abortAllModalSessions();
    ui::Application::shared().setModalHooks({});
}

A_Err HostApp::setViewerLayout(ViewLayout layout) {
    const ObjectId front = Viewer::FrontComposition();
    if (front == 0 || !viewer_.setLayout(front, layout)) {
        log::Log("[host] view layout %s: no composition is open in the viewer",
                 ViewLayoutName(layout));
        return A_Err_GENERIC;
    }
    log::Log("[host] viewer layout: %s", ViewLayoutName(layout));
    return A_Err_NONE;
}

ui::Window* HostApp::openGoToTimeDialog(const GoToTimeDialogStyle& style) {
    if (goToTime_) return goToTime_->window().get();
    Composition* comp = ActiveComposition();
    if (comp == nullptr) {
        log::Log("[host] Go to Time: no active composition");
        return nullptr;
    }
    const ObjectId compId = comp->id();
    const std::string text =
        FormatTimecode(CompositionTime(CurrentProject(), *comp), comp->frameRate);
    goToTime_ = std::make_unique<GoToTimeDialog>(
        style, text, [this, compId](const std::string& typed) { return applyGoToTime(compId, typed); });
    std::shared_ptr<ui::Window> window = goToTime_->window();
    log::Log("[host] \"%s\" dialog open (modal) at %s", style.title.c_str(), text.c_str());
    ui::Application::shared().beginModalSession(
        window, [this](int response) { goToTimeEnded(response); });
    return window.get();
}

ui::Window* HostApp::modalWindow() const {
    return ui::Application::shared().modalWindow();
}

bool HostApp::applyGoToTime(ObjectId compId, const std::string& text) {
    Composition* comp = CurrentProject().findComposition(compId);
    if (comp == nullptr) {
        log::Log("[host] Go to Time: the composition is gone");
        return true;
    }
    double seconds = 0;
    std::string why;
    if (!ParseTimeText(text, comp->frameRate, &seconds, &why)) {
        log::Log("[host] Go to Time: \"%s\" is refused: %s", text.c_str(), why.c_str());
        return false;
    }
    const double t =
        SetCompositionTime(CurrentProject(), *comp, seconds, runloop::RunLoop::main().now());
    log::Log("[host] Go to Time: %s at %.3f s", comp->name.c_str(), t);
    return true;
}

void HostApp::goToTimeEnded(int response) {
    // The dialog goes now; a click that ended it holds its own button until it returns.
    std::unique_ptr<GoToTimeDialog> dialog = std::move(goToTime_);
    if (dialog) dialog->window()->close();
    log::Log("[host] Go to Time dialog closed (%s)", ResponseName(response));
}

}  // namespace qlo::hostsim
