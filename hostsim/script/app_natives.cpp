// The global `app` and the project:
//   app.project                  the current project
//   app.findMenuCommandId(text)  the command of the host's menu item with exactly that text;
//                                0 when there is none
//   app.executeCommand(id)       carries the command out as the host does for its menu
//                                (HostApp::doCommand); throws for an unknown command or when
//                                the command fails
//   project.activeItem           the active item (CompItem, FootageItem, FolderItem) or null
//   project.numItems             the number of items
//   project.item(i)              item i, counting from 1; null out of range
#include <cmath>
#include <string>

#include "hostsim/app/host_app.h"
#include "hostsim/script/object_model.h"

namespace qlo::hostsim::script {

namespace {

bool AppProject(NativeCall& call) {
    return ReturnObject(call, HostRef{HostClass::Project, static_cast<double>(CurrentProject().id()), 0});
}

bool AppFindMenuCommandId(NativeCall& call) {
    std::string text;
    if (!TextArg(call, 0, &text)) return Fail(call, "findMenuCommandId: the text of a menu item is needed");
    const HostApp* app = HostApp::current();
    if (app == nullptr) return ReturnNumber(call, 0);
    for (const Menu& menu : app->menus().menus()) {
        for (const MenuItem& item : menu.items) {
            if (item.name == text) return ReturnNumber(call, item.command);
        }
    }
    return ReturnNumber(call, 0);
}

bool AppExecuteCommand(NativeCall& call) {
    double number = 0;
    if (!NumberArg(call, 0, &number) || number != std::floor(number) || number < 0 ||
        number > 2147483647.0) {
        return Fail(call, "executeCommand: a command id is needed");
    }
    HostApp* app = HostApp::current();
    if (app == nullptr) return Fail(call, "executeCommand: there is no host application");
    const auto command = static_cast<AEGP_Command>(number);
    if (!app->commands().isKnown(command)) {
        return Fail(call, "executeCommand: no command " + std::to_string(command));
    }
    const A_Err err = app->doCommand(command);
    if (err != A_Err_NONE) {
        return Fail(call, "executeCommand: command " + std::to_string(command) + " failed (error " +
                              std::to_string(err) + ")");
    }
    return ReturnUndefined(call);
}

Project* SelfProject(NativeCall& call) {
    Project& project = CurrentProject();
    if (!call.hasSelf || IdOf(call.self) != project.id()) {
        Fail(call, "Object is invalid");
        return nullptr;
    }
    return &project;
}

bool ProjectActiveItem(NativeCall& call) {
    Project* project = SelfProject(call);
    if (project == nullptr) return false;
    const Item* item = project->activeItem();
    return item == nullptr ? ReturnNull(call) : ReturnObject(call, RefOfItem(*item));
}

bool ProjectNumItems(NativeCall& call) {
    Project* project = SelfProject(call);
    if (project == nullptr) return false;
    return ReturnNumber(call, static_cast<double>(project->numItems()));
}

bool ProjectItem(NativeCall& call) {
    Project* project = SelfProject(call);
    if (project == nullptr) return false;
    double index = 0;
    if (!NumberArg(call, 0, &index)) return Fail(call, "item: an index is needed");
    if (index != std::floor(index) || index < 1 || index > static_cast<double>(project->numItems())) {
        return ReturnNull(call);
    }
    return ReturnObject(call, RefOfItem(*project->itemAt(static_cast<size_t>(index) - 1)));
}

constexpr PropertyDef kAppProperties[] = {
    {"project", &AppProject, nullptr},
};
constexpr MethodDef kAppMethods[] = {
    {"findMenuCommandId", &AppFindMenuCommandId, 1},
    {"executeCommand", &AppExecuteCommand, 1},
};
constexpr PropertyDef kProjectProperties[] = {
    {"activeItem", &ProjectActiveItem, nullptr},
    {"numItems", &ProjectNumItems, nullptr},
};
constexpr MethodDef kProjectMethods[] = {
    {"item", &ProjectItem, 1},
};

}  // namespace

const ClassDef kApplicationClass{HostClass::Application, "Application", HostClass::Count,
                                  kAppProperties, kAppMethods};
const ClassDef kProjectClass{HostClass::Project, "Project", HostClass::Count, kProjectProperties,
                              kProjectMethods};

}  // namespace qlo::hostsim::script
