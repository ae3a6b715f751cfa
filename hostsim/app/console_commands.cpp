// The console's commands: the table `help` is made from, and what each command does.
#include <unistd.h>

#include <iomanip>
#include <sstream>

#include "hostsim/app/comp_time.h"
#include "hostsim/app/console.h"
#include "hostsim/app/console_text.h"
#include "hostsim/app/host_app.h"
#include "hostsim/app/pointer_click.h"
#include "hostsim/app/timecode.h"
#include "hostsim/model/project.h"
#include "hostsim/script/extendscript.h"
#include "hostsim/suite_faults.h"
#include "platform/ax/ax.h"
#include "platform/runloop.h"
#include "platform/ui/button.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

namespace qlo::hostsim {

namespace {

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

// The active item when it is a composition; null otherwise.
Composition* ActiveComposition() {
    Item* active = CurrentProject().activeItem();
    return active != nullptr ? active->asComposition() : nullptr;
}

}  // namespace

const std::vector<Console::Command>& Console::commands() {
    static const std::vector<Command> kCommands = {
        {"help", "", "this list", &Console::help},
        {"panel", "show [NAME]", "show a plug-in panel (default: the first registered)", &Console::panel},
        {"panel", "hide [NAME]", "close the panel's tab, as the user would", nullptr},
        {"panel", "front NAME", "bring a tab of the panel frame to the front", nullptr},
        {"panel", "status", "panels, their state and snap sizes, and the frame's tabs", nullptr},
        {"menu", "NAME", "choose a menu command by its text, e.g. `menu Quillo`", &Console::menu},
        {"menus", "", "list the menus with their check marks", &Console::menus},
        {"select", "ITEM", "make a project item active (a composition opens in the viewer)",
         &Console::select},
        {"items", "", "list the project's items", &Console::items},
        {"layers", "", "list the layers of the active composition", &Console::layers},
        {"play", "", "start or stop playback of the active composition", &Console::play},
        {"time", "[SECONDS]", "show, or set, the active composition's time", &Console::time},
        {"goto", "", "open the Go to Time dialog (modal: idle hooks wait until it closes)",
         &Console::goToTime},
        {"ok", "[TIME]", "press the dialog's OK button (after typing TIME into its field)", &Console::ok},
        {"cancel", "", "press the dialog's Cancel button", &Console::cancel},
        {"viewer", "", "the viewer's layout and each view's camera", &Console::viewer},
        {"screenshot", "FILE", "render the viewer's panes and write the main window as a PNG",
         &Console::screenshot},
        {"ax", "", "the accessibility tree: role, title or value, frame per element", &Console::ax},
        {"click", "X Y", "click at a point of the main window (as `ax` gives positions)", &Console::click},
        {"script", "TEXT", "run ExtendScript and show its result or error", &Console::script},
        {"fail", "NAME[:N|:always]",
         "make a host suite function fail on its Nth call from now, or\n"
         "always; `fail` lists the faults, `fail clear` removes them",
         &Console::fail},
        {"delete", "layer NAME", "delete a layer of the active composition (phones may be streaming)",
         &Console::remove},
        {"delete", "item NAME", "delete a project item: a composition, footage or folder", nullptr},
        {"save", "FILE", "save the project", &Console::save},
        {"quit", "", "run the death hooks, unload the plug-in and exit", &Console::quit},
    };
    return kCommands;
}

void Console::help(const std::string&) {
    say(helpText());
}

void Console::panel(const std::string& rest) {
    const auto [verb, given] = SplitCommand(rest);
    if (verb == "status") {
        panelStatus();
        return;
    }
    if (verb != "show" && verb != "hide" && verb != "front") {
        say("usage: panel show|hide [NAME], panel front NAME, panel status");
        return;
    }
    std::string name = given;
    if (name.empty()) {
        const std::vector<std::string> panels = app_.workspace().panelNames();
        if (verb == "front" || panels.empty()) {
            say(verb == "front" ? "usage: panel front NAME" : "no plug-in panel is registered");
            return;
        }
        name = panels.front();
    }
    if (verb == "front") {
        say(app_.bringTabToFront(name) ? "\"" + name + "\" is in front"
                                       : "\"" + name + "\" is not shown");
    } else if (verb == "show") {
        if (app_.workspace().tabShown(name)) {
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

void Console::menu(const std::string& rest) {
    if (rest.empty()) {
        say("usage: menu NAME");
        return;
    }
    const MenuChoice choice = app_.chooseMenuCommand(rest);
    say("menu \"" + rest + "\": " + MenuChoiceName(choice));
}

void Console::menus(const std::string&) {
    // Listing the menus is opening them: the plug-ins update their items first.
    app_.updateMenus();
    say(app_.menus().describe());
}

void Console::select(const std::string& rest) {
    if (rest.empty()) {
        say("usage: select ITEM");
    } else if (CurrentProject().selectItem(rest)) {
        say("active item: " + rest);
    } else {
        say("no item named \"" + rest + "\"");
    }
}

void Console::items(const std::string&) {
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

void Console::layers(const std::string&) {
    const Composition* comp = ActiveComposition();
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

void Console::play(const std::string&) {
    const A_Err err = app_.doCommand(AEGP_Cmd_TOGGLE_PLAYBACK);
    if (err != A_Err_NONE) {
        say("cannot toggle playback (error " + std::to_string(err) + ")");
        return;
    }
    say(CurrentProject().playing() ? "playing" : "stopped");
}

void Console::time(const std::string& text) {
    Project& project = CurrentProject();
    Composition* comp = ActiveComposition();
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

void Console::goToTime(const std::string&) {
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

void Console::ok(const std::string& rest) {
    dismissDialog(true, rest);
}

void Console::cancel(const std::string& rest) {
    dismissDialog(false, rest);
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

void Console::viewer(const std::string&) {
    say(app_.viewer().describe());
}

void Console::screenshot(const std::string& rest) {
    std::string error;
    if (rest.empty()) {
        say("usage: screenshot FILE");
    } else if (app_.mainWindow().screenshot(rest, &error)) {
        say("screenshot written to " + rest);
    } else {
        say("cannot write the screenshot: " + error);
    }
}

void Console::ax(const std::string&) {
    say(ax::DescribeElementTree(ax::AXUIElementCreateApplication(getpid())));
}

// `click X Y`: a click at a point given in screen coordinates, as `ax` lists frames.
void Console::click(const std::string& rest) {
    std::istringstream in(rest);
    double x = 0, y = 0;
    std::string extra;
    if (!(in >> x >> y) || (in >> extra)) {
        say("usage: click X Y");
        return;
    }
    ui::Window& window = *app_.mainWindow().window();
    const ui::Point point{x - window.frame().x, y - window.frame().y};
    const std::string clicked = ClickAt(window, point);
    say(clicked.empty() ? "nothing to click there" : "clicked " + clicked);
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

// `fail`: arms a suite fault, lists the armed ones, or clears them.
void Console::fail(const std::string& rest) {
    SuiteFaults& faults = SuiteFaults::instance();
    if (rest.empty()) {
        std::string out;
        for (const std::string& line : faults.describe()) out += line + "\n";
        say(out.empty() ? "no faults armed" : out);
        return;
    }
    if (rest == "clear") {
        faults.clear();
        say("faults cleared");
        return;
    }
    SuiteFault fault;
    std::string error;
    if (!ParseSuiteFault(rest, &fault, &error)) {
        say(error);
        return;
    }
    faults.arm(fault);
    say("AEGP_" + fault.function + " fails " +
        (fault.call == 0 ? std::string("on every call") : "on call " + std::to_string(fault.call) + " from now"));
}

// `delete layer NAME` / `delete item NAME`: what the user does in the project while phones
// stream. The suites' handles to what is deleted go stale.
void Console::remove(const std::string& rest) {
    const auto [what, name] = SplitCommand(rest);
    Project& project = CurrentProject();
    if (what == "item" && !name.empty()) {
        Item* item = project.findItemByName(name);
        if (item == nullptr) {
            say("no item named \"" + name + "\"");
            return;
        }
        project.deleteItem(item->id());
        say("deleted item \"" + name + "\"");
        return;
    }
    if (what == "layer" && !name.empty()) {
        Composition* comp = ActiveComposition();
        if (comp == nullptr) {
            say("no active composition");
            return;
        }
        for (size_t i = 0; i < comp->numLayers(); ++i) {
            if (comp->layerAt(i)->name != name) continue;
            project.deleteLayer(comp->layerAt(i)->id());
            say("deleted layer \"" + name + "\" of " + comp->name);
            return;
        }
        say("no layer named \"" + name + "\" in " + comp->name);
        return;
    }
    say("usage: delete layer NAME | delete item NAME");
}

void Console::save(const std::string& rest) {
    if (rest.empty()) {
        say("usage: save FILE");
    } else {
        say(app_.saveProject(rest) ? "saved project to " + rest : "cannot save to " + rest);
    }
}

void Console::quit(const std::string&) {
    say("quitting");
    app_.requestQuit("console");
}

}  // namespace qlo::hostsim
