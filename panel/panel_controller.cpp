// The phone list: refresh from the server's registry, the table's data source and delegate, the
// row cells and the eye toggle.
#include "panel/panel_controller.h"

#include "base/helpers.h"
#include "base/plugin_state.h"
#include "link/mjpeg_server.h"
#include "panel/panel_drawing.h"
#include "panel/panel_style.h"
#include "platform/log.h"
#include "platform/ui/button.h"
#include "platform/ui/image.h"
#include "platform/ui/image_view.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/text_field.h"

namespace ui = qlo::ui;

namespace {

constexpr const char* kAllowedToolTip = "Phone may control the camera — click to revoke";
constexpr const char* kBlockedToolTip = "Phone control is blocked — click to grant";

}  // namespace

QLOPanelController::QLOPanelController() = default;
QLOPanelController::~QLOPanelController() = default;

QLOPanelController::Ptr QLOPanelController::attachToContainer(const void* handle) {
    ui::View* view = ui::ViewFromHandle(handle);
    if (view == nullptr) return nullptr;
    auto controller = std::make_shared<QLOPanelController>();
    controller->container = view->weak_from_this();
    controller->buildUIInContainer(*view);
    controller->start();
    return controller;
}

void QLOPanelController::start() {
    refreshClients();
    // Like a repeating timer with the controller as its target, the timer keeps the controller
    // alive until it is invalidated.
    refreshTimer = qlo::runloop::RunLoop::main().addTimer(
        kQLORefreshInterval, true, [self = shared_from_this()](qlo::runloop::Timer&) {
            self->refreshClients();
        });
}

void QLOPanelController::tearDown() {
    if (refreshTimer) refreshTimer->invalidate();
    refreshTimer = nullptr;
    if (splitViewDebounce) splitViewDebounce->invalidate();
    splitViewDebounce = nullptr;
    // The host is going away: its interface is not driven any further.
    if (_splitViewRun != 0) stopSplitViewRun("the panel was torn down");
    if (root) root->removeFromSuperview();
    root = nullptr;
}

void QLOPanelController::servicesStopped() {
    if (splitViewDebounce) splitViewDebounce->invalidate();
    splitViewDebounce = nullptr;
    if (_splitViewRun != 0) stopSplitViewRun("the services stopped");
}

void QLOPanelController::refreshClients() {
    MJPEGServer* server = QLOServer();
    const long selected = table ? table->selectedRow() : -1;
    int rememberedFd = -1;
    if (selected >= 0 && selected < static_cast<long>(_clients.size())) {
        rememberedFd = _clients[static_cast<size_t>(selected)].fd;
    }

    if (server != nullptr) {
        _clients = server->snapshotClients();
    } else {
        _clients.clear();
    }
    if (emptyStack) emptyStack->setHidden(!_clients.empty());
    if (tableScroll) tableScroll->setHidden(_clients.empty());
    if (table) table->reloadData();

    if (rememberedFd != -1 && table) {
        for (size_t i = 0; i < _clients.size(); ++i) {
            if (_clients[i].fd == rememberedFd) {
                table->selectRowIndexes({static_cast<long>(i)}, false);
                break;
            }
        }
    }

    const auto count = static_cast<int64_t>(_clients.size());
    if (count != _lastConnectedCount) {
        _lastConnectedCount = count;
        scheduleSplitViewUpdate();
    }
    updateSplitViewButton();
}

long QLOPanelController::numberOfRowsInTableView(ui::TableView&) {
    return static_cast<long>(_clients.size());
}

std::shared_ptr<ui::TableRowView> QLOPanelController::rowViewForRow(ui::TableView&, long) {
    return std::make_shared<QLOPhoneRow>();
}

std::string QLOPanelController::displayNameForClient(const ClientInfo* client) {
    if (client->name[0] != '\0') return FieldText(client->name);
    if (client->ip[0] != '\0') return FieldText(client->ip);
    return "Unknown phone";
}

QLOPanelController::ViewPtr QLOPanelController::viewForTableColumn(ui::TableView& tableView,
                                                                   ui::TableColumn*, long row) {
    if (row < 0 || row >= static_cast<long>(_clients.size())) return nullptr;
    const ClientInfo& client = _clients[static_cast<size_t>(row)];
    const double width = tableView.frame().width;
    const ui::Color grey = ui::Color::calibratedWhite(client.allowed ? kQLOBrightWhite : kQLODimWhite);

    // The cell lays its elements out bottom-up, in unflipped coordinates.
    auto cell = std::make_shared<ui::View>(ui::Rect{0, 0, width, kQLORowHeight});
    cell->setFlipped(false);
    cell->setAutoresizingMask(ui::ViewWidthSizable);

    auto eye = std::make_shared<ui::Button>("", "", ui::ButtonType::Push, ui::Rect{8, 3, 18, 18});
    eye->setBordered(false);
    eye->setBezelStyle(ui::kBezelStyleRegularSquare);
    eye->setImagePosition(ui::kImageOnly);
    std::shared_ptr<ui::Image> eyeImage =
        ui::Image::systemSymbol(client.allowed ? "eye.fill" : "eye.slash.fill");
    if (!eyeImage) eyeImage = ui::Image::named(ui::kImageNameStatusAvailable);
    eye->setImage(eyeImage);
    eye->setContentTintColor(grey);
    eye->setTag(client.fd);
    eye->setToolTip(client.allowed ? kAllowedToolTip : kBlockedToolTip);
    eye->setAction([weak = weak_from_this()](ui::Button& sender) {
        if (auto self = weak.lock()) self->toggleEyeClicked(sender);
    });

    auto phone = std::make_shared<ui::ImageView>(ui::Rect{32, 4, 16, 16});
    phone->setImage(ui::Image::systemSymbol("iphone"));
    phone->setContentTintColor(grey);

    auto name = ui::TextField::labelWithString(displayNameForClient(&client));
    name->setFrame(ui::Rect{54, 3, width - 64, 18});
    const bool isSelected = row == tableView.selectedRow();
    name->setFont(ui::Font::systemFont(12, isSelected ? ui::FontWeight::Semibold : ui::FontWeight::Regular));
    name->setTextColor(grey);
    name->setAutoresizingMask(ui::ViewWidthSizable);
    name->setLineBreakMode(ui::LineBreakMode::TruncatingTail);

    cell->addSubview(eye);
    cell->addSubview(phone);
    cell->addSubview(name);
    return cell;
}

void QLOPanelController::tableViewSelectionDidChange(ui::TableView&) {
    // The selected row's name is semibold, the others regular: rebuild the cells.
    if (table) table->reloadData();
}

void QLOPanelController::toggleEyeClicked(ui::Button& sender) {
    const long tag = sender.tag();
    MJPEGServer* server = QLOServer();
    if (tag <= 0 || server == nullptr) return;
    // Decide from the server's current record, not from the last snapshot, so that two quick
    // clicks between refreshes flip the permission twice.
    bool allowed = true;
    for (const ClientInfo& client : server->snapshotClients()) {
        if (client.fd == tag) {
            allowed = !client.allowed;
            break;
        }
    }
    server->setClientAllowed(static_cast<int>(tag), allowed);
    refreshClients();
}

std::vector<std::string> QLOPanelController::cameraNames() const {
    std::vector<std::string> names;
    for (const ClientInfo& client : _clients) {
        if (client.name[0] != '\0') names.push_back(FieldText(client.name));
    }
    return names;
}
