#include "hostsim/app/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iomanip>
#include <sstream>

#include "hostsim/app/comp_time.h"
#include "hostsim/app/host_app.h"
#include "hostsim/app/options.h"
#include "hostsim/app/pointer_click.h"
#include "hostsim/app/timecode.h"
#include "hostsim/model/project.h"
#include "hostsim/suite_faults.h"
#include "hostsim/script/extendscript.h"
#include "platform/ax/ax.h"
#include "platform/log.h"
#include "platform/runloop.h"
#include "platform/ui/button.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

namespace qlo::hostsim {

namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The first word, and the rest of the line (which may hold spaces, as item names do).
std::pair<std::string, std::string> SplitCommand(const std::string& line) {
    const size_t space = line.find_first_of(" \t");
    if (space == std::string::npos) return {line, {}};
    return {line.substr(0, space), Trim(line.substr(space + 1))};
}

std::string Number(double value) {
    std::ostringstream out;
    out << std::setprecision(6) << value;
    return out.str();
}

// A script's result or error as shown: at most Console::kMaxShownLines lines and
// Console::kMaxShownBytes bytes (cut before a UTF-8 character that would not fit whole), then a
// line saying how much was left out. A long result printed whole would hold up the main thread
// (and every phone's frames) for seconds.
std::string Shortened(const std::string& text) {
    size_t end = 0;
    size_t lines = 1;
    while (end < text.size() && end < Console::kMaxShownBytes) {
        if (text[end] == '\n' && ++lines > Console::kMaxShownLines) break;
        ++end;
    }
    if (end >= text.size()) return text;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    size_t moreLines = 0;
    for (size_t i = end; i < text.size(); ++i) moreLines += text[i] == '\n' ? 1 : 0;
    std::string shown = text.substr(0, end);
    if (!shown.empty() && shown.back() != '\n') shown += '\n';
    return shown + "... " + std::to_string(text.size() - end) + " more bytes (" +
           std::to_string(moreLines + (text[end] == '\n' ? 0 : 1)) + " more lines) not shown";
}

const char* kHelp =
    "commands:\n"
    "  help               this list\n"
    "  panel show [NAME]  show a plug-in panel (default: the first registered)\n"
    "  panel hide [NAME]  close the panel's tab, as the user would\n"
    "  panel front NAME   bring a tab of the panel frame to the front\n"
    "  panel status       panels, their state and snap sizes, and the frame's tabs\n"
    "  menu NAME          choose a menu command by its text, e.g. `menu Quillo`\n"
    "  menus              list the menus with their check marks\n"
    "  select ITEM        make a project item active (a composition opens in the viewer)\n"
    "  items              list the project's items\n"
    "  layers             list the layers of the active composition\n"
    "  play               start or stop playback of the active composition\n"
    "  time [SECONDS]     show, or set, the active composition's time\n"
    "  goto               open the Go to Time dialog (modal: idle hooks wait until it closes)\n"
    "  ok [TIME]          press the dialog's OK button (after typing TIME into its field)\n"
    "  cancel             press the dialog's Cancel button\n"
    "  viewer             the viewer's layout and each view's camera\n"
    "  screenshot FILE    render the viewer's panes and write the main window as a PNG\n"
    "  ax                 the accessibility tree: role, title or value, frame per element\n"
    "  click X Y          click at a point of the main window (as `ax` gives positions)\n"
    "  script TEXT        run ExtendScript and show its result or error\n"
    "  fail NAME[:N|:always]  make a host suite function fail on its Nth call from now, or\n"
    "                     always; `fail` lists the faults, `fail clear` removes them\n"
    "  delete layer NAME  delete a layer of the active composition (phones may be streaming)\n"
    "  delete item NAME   delete a project item: a composition, footage or folder\n"
    "  save FILE          save the project\n"
    "  quit               run the death hooks, unload the plug-in and exit\n"
    "the end of input does not quit; use `quit`, SIGINT or SIGTERM";

// `click X Y`: a click at a point given in screen coordinates, as `ax` lists frames.
std::string ClickCommand(HostApp& app, const std::string& rest) {
    std::istringstream in(rest);
    double x = 0, y = 0;
    std::string extra;
    if (!(in >> x >> y) || (in >> extra)) return "usage: click X Y";
    ui::Window& window = *app.mainWindow().window();
    const ui::Point point{x - window.frame().x, y - window.frame().y};
    const std::string clicked = ClickAt(window, point);
    return clicked.empty() ? "nothing to click there" : "clicked " + clicked;
}

// `fail`: arms a suite fault, lists the armed ones, or clears them.
std::string FailCommand(const std::string& rest) {
    SuiteFaults& faults = SuiteFaults::instance();
    if (rest.empty()) {
        std::string out;
        for (const std::string& line : faults.describe()) out += line + "\n";
        return out.empty() ? "no faults armed" : out;
    }
    if (rest == "clear") {
        faults.clear();
        return "faults cleared";
    }
    SuiteFault fault;
    std::string error;
    if (!ParseSuiteFault(rest, &fault, &error)) return error;
    faults.arm(fault);
    return "AEGP_" + fault.function + " fails " +
           (fault.call == 0 ? std::string("on every call") : "on call " + std::to_string(fault.call) + " from now");
}

// `delete layer NAME` / `delete item NAME`: what the user does in the project while phones
// stream. The suites' handles to what is deleted go stale.
std::string DeleteCommand(const std::string& rest) {
    const auto [what, name] = SplitCommand(rest);
    Project& project = CurrentProject();
    if (what == "item" && !name.empty()) {
        Item* item = project.findItemByName(name);
        if (item == nullptr) return "no item named \"" + name + "\"";
        project.deleteItem(item->id());
        return "deleted item \"" + name + "\"";
    }
    if (what == "layer" && !name.empty()) {
        Item* active = project.activeItem();
        Composition* comp = active != nullptr ? active->asComposition() : nullptr;
        if (comp == nullptr) return "no active composition";
        for (size_t i = 0; i < comp->numLayers(); ++i) {
            if (comp->layerAt(i)->name != name) continue;
            project.deleteLayer(comp->layerAt(i)->id());
            return "deleted layer \"" + name + "\" of " + comp->name;
        }
        return "no layer named \"" + name + "\" in " + comp->name;
    }
    return "usage: delete layer NAME | delete item NAME";
}

}  // namespace

std::string ConsoleCommandsHelp() {
    return kHelp;
}

Console::Console(HostApp& app, std::ostream& out) : app_(app), out_(out) {}

Console::~Console() {
    detach();
}

void Console::say(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) out_ << "[host] " << line << '\n';
    out_.flush();
}

void Console::feed(std::string_view bytes) {
    for (char c : bytes) {
        if (c != '\n') {
            if (pending_.size() < kMaxLine) {
                pending_.push_back(c);
            } else {
                overlong_ = true;
            }
            continue;
        }
        if (overlong_) {
            say("line too long, ignored");
        } else {
            execute(pending_);
        }
        pending_.clear();
        overlong_ = false;
    }
}

bool Console::attach(int fd) {
    detach();
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
    fd_ = fd;
    savedFlags_ = flags;
    closed_ = false;
    watch_ = runloop::RunLoop::main().watchFd(fd, [this]() { onReadable(); });
    return true;
}

void Console::detach() {
    if (watch_ >= 0) runloop::RunLoop::main().unwatchFd(watch_);
    // The descriptor may be shared with the shell (a terminal): leave it as it was found.
    if (fd_ >= 0) fcntl(fd_, F_SETFL, savedFlags_);
    watch_ = -1;
    fd_ = -1;
}

void Console::onReadable() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            feed(std::string_view(buffer, static_cast<size_t>(n)));
            if (fd_ < 0) return;  // a command detached the console
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        // End of input (or an error reading it): stop reading, keep running.
        if (!pending_.empty() && !overlong_) execute(pending_);
        pending_.clear();
        closed_ = true;
        if (n < 0) {
            say(std::string("cannot read input: ") + std::strerror(errno));
        }
        say("input closed; the host keeps running (quit with SIGINT or SIGTERM)");
        log::Log("[host] console input closed");
        detach();
        return;
    }
}

void Console::execute(const std::string& rawLine) {
    const std::string line = Trim(rawLine);
    if (line.empty()) return;
    const auto [command, rest] = SplitCommand(line);

    if (command == "help") {
        help();
    } else if (command == "panel") {
        std::istringstream words(rest);
        std::vector<std::string> list;
        std::string word;
        if (words >> word) list.push_back(word);
        std::string name = Trim(rest.substr(word.size()));
        if (!name.empty()) list.push_back(name);
        panel(list);
    } else if (command == "menu") {
        if (rest.empty()) {
            say("usage: menu NAME");
            return;
        }
        const MenuChoice choice = app_.chooseMenuCommand(rest);
        say("menu \"" + rest + "\": " + MenuChoiceName(choice));
    } else if (command == "menus") {
        menus();
    } else if (command == "select") {
        if (rest.empty()) {
            say("usage: select ITEM");
        } else if (CurrentProject().selectItem(rest)) {
            say("active item: " + rest);
        } else {
            say("no item named \"" + rest + "\"");
        }
    } else if (command == "items") {
        items();
    } else if (command == "layers") {
        layers();
    } else if (command == "play") {
        play();
    } else if (command == "time") {
        time(rest);
    } else if (command == "goto") {
        goToTime();
    } else if (command == "ok" || command == "cancel") {
        dismissDialog(command == "ok", rest);
    } else if (command == "viewer") {
        say(app_.viewer().describe());
    } else if (command == "screenshot") {
        std::string error;
        if (rest.empty()) {
            say("usage: screenshot FILE");
        } else if (app_.mainWindow().screenshot(rest, &error)) {
            say("screenshot written to " + rest);
        } else {
            say("cannot write the screenshot: " + error);
        }
    } else if (command == "click") {
        say(ClickCommand(app_, rest));
    } else if (command == "ax") {
        say(ax::DescribeElementTree(ax::AXUIElementCreateApplication(getpid())));
    } else if (command == "script") {
        script(rest);
    } else if (command == "fail") {
        say(FailCommand(rest));
    } else if (command == "delete") {
        say(DeleteCommand(rest));
    } else if (command == "save") {
        if (rest.empty()) {
            say("usage: save FILE");
        } else {
            say(app_.saveProject(rest) ? "saved project to " + rest : "cannot save to " + rest);
        }
    } else if (command == "quit") {
        say("quitting");
        app_.requestQuit("console");
    } else {
        say("unknown command \"" + command + "\"; type help");
    }
}

void Console::help() {
    say(kHelp);
}

void Console::panel(const std::vector<std::string>& words) {
    const std::string verb = words.empty() ? "" : words[0];
    if (verb == "status") {
        panelStatus();
        return;
    }
    if (verb != "show" && verb != "hide" && verb != "front") {
        say("usage: panel show|hide [NAME], panel front NAME, panel status");
        return;
    }
    std::string name = words.size() > 1 ? words[1] : "";
    if (name.empty()) {
        const std::vector<std::string> panels = app_.workspace().panelNames();
        if (verb == "front" || panels.empty()) {
            say(verb == "front" ? "usage: panel front NAME" : "no plug-in panel is registered");
            return;
        }
        name = panels.front();
    }
    const bool shown = app_.workspace().tabShown(name);
    if (verb == "front") {
        say(app_.bringTabToFront(name) ? "\"" + name + "\" is in front"
                                       : "\"" + name + "\" is not shown");
    } else if (verb == "show") {
        if (shown) {
            say("\"" + name + "\" is already shown");
            return;
        }
        const A_Err err = app_.togglePanel(name);
        say(err == A_Err_NONE ? "\"" + name + "\" shown"
                              : "cannot show \"" + name + "\" (error " + std::to_string(err) + ")");
    } else {
        say(app_.closeTab(name) ? "\"" + name + "\" hidden" : "\"" + name + "\" is not shown");
    }
}

void Console::panelStatus() {
    const Workspace& ws = app_.workspace();
    std::ostringstream out;
    const std::vector<std::string> names = ws.panelNames();
    if (names.empty()) out << "no plug-in panel is registered\n";
    for (const std::string& name : names) {
        const auto info = ws.panel(name);
        bool shown = false;
        bool front = false;
        ws.isShown(name, &shown, &front);
        out << "panel \"" << name << "\" title \"" << info->title << "\": "
            << (shown ? "shown" : "hidden") << (front ? ", frontmost" : "")
            << (info->created ? ", created" : ", not created yet");
        std::vector<A_LPoint> sizes;
        if (app_.panelSnapSizes(name, &sizes) == A_Err_NONE) {
            out << ", snap sizes";
            for (const A_LPoint& s : sizes) out << ' ' << s.x << 'x' << s.y;
        }
        out << '\n';
    }
    out << "frame tabs:";
    for (const std::string& tab : ws.tabs()) {
        out << ' ' << tab << (tab == ws.frontTab() ? " (front)" : "");
    }
    say(out.str());
}

void Console::menus() {
    // Listing the menus is opening them: the plug-ins update their items first.
    app_.updateMenus();
    say(app_.menus().describe());
}

void Console::items() {
    const Project& project = CurrentProject();
    const Item* active = project.activeItem();
    std::ostringstream out;
    if (project.numItems() == 0) out << "the project has no items\n";
    for (size_t i = 0; i < project.numItems(); ++i) {
        const Item* item = project.itemAt(i);
        out << (i + 1) << ". " << item->name << " (" << ItemTypeName(item->type());
        if (const Composition* comp = item->asComposition()) {
            out << ", " << comp->width << 'x' << comp->height << ", " << Number(comp->frameRate)
                << " fps, " << Number(comp->duration) << " s, " << comp->numLayers()
                << " layers";
        } else if (item->type() == ItemType::Footage) {
            const auto* footage = static_cast<const Footage*>(item);
            out << ", " << footage->width << 'x' << footage->height;
        }
        out << ')' << (item == active ? " [active]" : "") << '\n';
    }
    say(out.str());
}

void Console::layers() {
    const Item* active = CurrentProject().activeItem();
    const Composition* comp = active != nullptr ? active->asComposition() : nullptr;
    if (comp == nullptr) {
        say("no active composition");
        return;
    }
    std::ostringstream out;
    out << comp->name << ": " << comp->numLayers() << " layers\n";
    for (size_t i = 0; i < comp->numLayers(); ++i) {
        const Layer* layer = comp->layerAt(i);
        out << (i + 1) << ". " << layer->name << " (" << LayerTypeName(layer->type())
            << (layer->hasFlag(AEGP_LayerFlag_LAYER_IS_3D) ? ", 3-D" : "")
            << (layer->hasFlag(AEGP_LayerFlag_VIDEO_ACTIVE) ? "" : ", hidden") << ")\n";
    }
    say(out.str());
}

void Console::play() {
    const A_Err err = app_.doCommand(AEGP_Cmd_TOGGLE_PLAYBACK);
    if (err != A_Err_NONE) {
        say("cannot toggle playback (error " + std::to_string(err) + ")");
        return;
    }
    say(CurrentProject().playing() ? "playing" : "stopped");
}

}  // namespace qlo::hostsim

namespace qlo::hostsim {

void Console::time(const std::string& text) {
    Project& project = CurrentProject();
    Item* active = project.activeItem();
    Composition* comp = active != nullptr ? active->asComposition() : nullptr;
    if (comp == nullptr) {
        say("no active composition");
        return;
    }
    if (!text.empty()) {
        double seconds = 0;
        std::string why;
        if (!ParseTimeText(text, comp->frameRate, &seconds, &why)) {
            say(why + "; usage: time SECONDS (or a timecode H:MM:SS:FF)");
            return;
        }
        SetCompositionTime(project, *comp, seconds, runloop::RunLoop::main().now());
    }
    const double t = CompositionTime(project, *comp);
    say(comp->name + ": time " + Number(t) + " s (" + FormatTimecode(t, comp->frameRate) + ") of " +
        Number(comp->duration) + " s" + (project.playing() ? ", playing" : ""));
}

void Console::goToTime() {
    if (app_.goToTimeDialog() != nullptr) {
        say("the Go to Time dialog is already open; `ok` or `cancel` closes it");
        return;
    }
    ui::Window* window = app_.openGoToTimeDialog();
    if (window == nullptr) {
        say("no active composition");
        return;
    }
    say("\"" + window->title() + "\" dialog open at " + app_.goToTimeDialog()->field().stringValue() +
        "; `ok [TIME]` or `cancel` closes it");
}

void Console::dismissDialog(bool ok, const std::string& text) {
    GoToTimeDialog* dialog = app_.goToTimeDialog();
    if (dialog == nullptr) {
        say("no dialog is open");
        return;
    }
    ui::Button* button = ok ? dialog->okButton() : dialog->cancelButton();
    if (button == nullptr) {
        say(std::string("the dialog has no ") + (ok ? "OK" : "Cancel") + " button");
        return;
    }
    if (ok && !text.empty()) dialog->field().setStringValue(text);
    button->performClick();
    if (app_.goToTimeDialog() != nullptr) {
        say("the dialog stays open: \"" + dialog->field().stringValue() + "\" is not a time");
        return;
    }
    say(ok ? "dialog closed (OK)" : "dialog closed (Cancel)");
    if (ok) time("");
}

void Console::script(const std::string& text) {
    if (text.empty()) {
        say("usage: script TEXT");
        return;
    }
    std::string result;
    std::string error;
    if (script::RunExtendScript(text, &result, &error)) {
        say("result: " + Shortened(result));
    } else {
        say("error: " + Shortened(error));
    }
}

}  // namespace qlo::hostsim
