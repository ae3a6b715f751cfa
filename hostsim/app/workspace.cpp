#include "hostsim/app/workspace.h"

#include <algorithm>

#include "platform/log.h"
#include "platform/ui/text_field.h"

namespace qlo::hostsim {

namespace {

constexpr double kTabWidth = 84;
const ui::Color kFrameColor = ui::Color::calibratedWhite(0.20);
const ui::Color kStripColor = ui::Color::calibratedWhite(0.13);
const ui::Color kFrontTabColor = ui::Color::calibratedWhite(0.20);
const ui::Color kTabTextColor = ui::Color::calibratedWhite(0.60);
const ui::Color kFrontTabTextColor = ui::Color::calibratedWhite(0.95);

}  // namespace

Workspace::Workspace(std::vector<std::string> hostTabs, GlobalRefconLookup globals)
    : globals_(std::move(globals)),
      hostTabs_(std::move(hostTabs)),
      tabs_(hostTabs_),
      frame_(std::make_shared<ui::View>(ui::Rect{0, 0, 320, 720}, "Group")),
      tabStrip_(std::make_shared<ui::View>(ui::Rect{}, "TabGroup")) {
    if (!tabs_.empty()) front_ = tabs_.front();
    frame_->setIdentifier("workspace");
    frame_->setWantsLayer(true);
    frame_->setLayerBackgroundColor(kFrameColor);
    tabStrip_->setIdentifier("workspace.tabs");
    tabStrip_->setWantsLayer(true);
    tabStrip_->setLayerBackgroundColor(kStripColor);
    frame_->addSubview(tabStrip_);
    setFrame(frame_->frame());
}

Workspace::~Workspace() = default;

bool Workspace::isHostTab(const std::string& name) const {
    return std::find(hostTabs_.begin(), hostTabs_.end(), name) != hostTabs_.end();
}

Workspace::Record* Workspace::find(const std::string& matchName) const {
    auto it = panels_.find(matchName);
    return it == panels_.end() ? nullptr : it->second.get();
}

A_Err Workspace::registerPanel(AEGP_PluginID plugin, const std::string& matchName,
                               AEGP_CreatePanelHook hook, AEGP_CreatePanelRefcon refcon,
                               bool paintBackground) {
    if (matchName.empty() || hook == nullptr || isHostTab(matchName) || find(matchName)) {
        return A_Err_PARAMETER;
    }
    auto record = std::make_unique<Record>();
    record->matchName = matchName;
    record->title = matchName;
    record->plugin = plugin;
    record->hook = hook;
    record->hookRefcon = refcon;
    record->paintBackground = paintBackground;
    panels_.emplace(matchName, std::move(record));
    return A_Err_NONE;
}

A_Err Workspace::unregisterPanel(const std::string& matchName) {
    Record* record = find(matchName);
    if (record == nullptr) return A_Err_PARAMETER;
    // The panel's own create hook may not pull the panel from under the host.
    if (record->state == State::Creating) return A_Err_GENERIC;
    hideTab(matchName);
    panels_.erase(matchName);
    syncViews();
    return A_Err_NONE;
}

void Workspace::removePlugin(AEGP_PluginID plugin) {
    for (auto it = panels_.begin(); it != panels_.end();) {
        if (it->second->plugin == plugin) {
            hideTab(it->first);
            it = panels_.erase(it);
        } else {
            ++it;
        }
    }
    syncViews();
}

A_Err Workspace::create(Record& record) {
    record.state = State::Creating;
    record.container = CreateContainerView(record.matchName, *frame_, panelArea());
    record.functions = AEGP_PanelFunctions1{};
    record.refcon = nullptr;
    // The record is findable by its handle during the call: the hook may set the title.
    A_Err err = record.hook(globals_ ? globals_(record.plugin) : nullptr, record.hookRefcon,
                            record.container->ref(), record.handle(), &record.functions,
                            &record.refcon);
    if (err != A_Err_NONE) {
        log::Log("[host] create-panel hook of \"%s\" returned error %d; panel not shown",
                 record.matchName.c_str(), err);
        record.state = State::Registered;
        record.container.reset();
        syncViews();
        record.functions = AEGP_PanelFunctions1{};
        record.refcon = nullptr;
        return err;
    }
    record.state = State::Created;
    syncViews();
    log::Log("[host] created panel \"%s\"", record.matchName.c_str());
    return A_Err_NONE;
}

A_Err Workspace::toggleVisibility(const std::string& name) {
    Record* record = find(name);
    if (record == nullptr && !isHostTab(name)) return A_Err_PARAMETER;
    if (tabShown(name)) {
        hideTab(name);
        return A_Err_NONE;
    }
    if (record != nullptr) {
        if (record->state == State::Creating) return A_Err_GENERIC;
        if (record->state == State::Registered) {
            A_Err err = create(*record);
            if (err != A_Err_NONE) return err;
        }
    }
    showTab(name);
    return A_Err_NONE;
}

A_Err Workspace::isShown(const std::string& name, bool* shown, bool* frontmost) const {
    if (shown == nullptr || frontmost == nullptr) return A_Err_PARAMETER;
    if (find(name) == nullptr && !isHostTab(name)) return A_Err_PARAMETER;
    *shown = tabShown(name);
    *frontmost = *shown && front_ == name;
    return A_Err_NONE;
}

A_Err Workspace::setPanelTitle(AEGP_PanelH panel, const std::string& title) {
    for (auto& [name, record] : panels_) {
        if (record->handle() == panel && record->state != State::Registered) {
            record->title = title;
            syncViews();
            return A_Err_NONE;
        }
    }
    return A_Err_STRUCT;
}

bool Workspace::tabShown(const std::string& name) const {
    return std::find(tabs_.begin(), tabs_.end(), name) != tabs_.end();
}

void Workspace::showTab(const std::string& name) {
    if (!tabShown(name)) tabs_.push_back(name);
    front_ = name;
    syncViews();
}

void Workspace::hideTab(const std::string& name) {
    auto it = std::find(tabs_.begin(), tabs_.end(), name);
    if (it == tabs_.end()) return;
    const size_t index = static_cast<size_t>(it - tabs_.begin());
    tabs_.erase(it);
    if (front_ == name) {
        // The frame then shows the neighbour that stood before the closed tab (or after it,
        // for the first tab), as tabbed frames do.
        if (tabs_.empty()) {
            front_.clear();
        } else {
            front_ = tabs_[index == 0 ? 0 : index - 1];
        }
    }
    syncViews();
}

bool Workspace::bringToFront(const std::string& name) {
    if (!tabShown(name)) return false;
    front_ = name;
    syncViews();
    return true;
}

bool Workspace::closeTab(const std::string& name) {
    if (!tabShown(name)) return false;
    hideTab(name);
    return true;
}

std::optional<Workspace::PanelInfo> Workspace::panel(const std::string& matchName) const {
    Record* record = find(matchName);
    if (record == nullptr) return std::nullopt;
    PanelInfo info;
    info.matchName = record->matchName;
    info.title = record->title;
    info.plugin = record->plugin;
    info.created = record->state == State::Created;
    info.paintBackground = record->paintBackground;
    if (record->state != State::Registered) {
        info.handle = record->handle();
        info.container = record->container->ref();
        info.refcon = record->refcon;
    }
    return info;
}

std::vector<std::string> Workspace::panelNames() const {
    std::vector<std::string> names;
    for (const auto& [name, record] : panels_) names.push_back(name);
    return names;
}

A_Err Workspace::snapSizes(const std::string& matchName, std::vector<A_LPoint>* sizes) const {
    Record* record = find(matchName);
    if (record == nullptr) return A_Err_PARAMETER;
    if (sizes == nullptr) return A_Err_PARAMETER;
    if (record->state != State::Created || record->functions.GetSnapSizes == nullptr) {
        return A_Err_NOT_AVAILABLE;
    }
    A_LPoint buffer[AEGP_MAX_PANEL_SNAP_SIZES] = {};
    A_long count = AEGP_MAX_PANEL_SNAP_SIZES;
    A_Err err = record->functions.GetSnapSizes(record->refcon, buffer, &count);
    if (err != A_Err_NONE) return err;
    count = std::clamp<A_long>(count, 0, AEGP_MAX_PANEL_SNAP_SIZES);
    sizes->assign(buffer, buffer + count);
    return A_Err_NONE;
}

}  // namespace qlo::hostsim

namespace qlo::hostsim {

ui::Rect Workspace::panelArea() const {
    const ui::Rect& f = frame_->frame();
    return {0, kTabStripHeight, f.width, std::max(0.0, f.height - kTabStripHeight)};
}

void Workspace::setFrame(const ui::Rect& frame) {
    frame_->setFrame(frame);
    tabStrip_->setFrame({0, 0, frame.width, kTabStripHeight});
    for (auto& [name, record] : panels_) {
        if (record->container) record->container->view().setFrame(panelArea());
    }
    syncViews();
}

void Workspace::syncViews() {
    tabStrip_->removeAllSubviews();
    // The tabs share the strip's width, each at most kTabWidth wide.
    const double tabWidth =
        tabs_.empty() ? kTabWidth
                      : std::min(kTabWidth, tabStrip_->frame().width / static_cast<double>(tabs_.size()));
    double x = 0;
    for (const std::string& tab : tabs_) {
        const Record* record = find(tab);
        const bool front = tab == front_;
        auto label = std::make_shared<ui::TextField>(record != nullptr ? record->title : tab, false,
                                                     ui::Rect{x, 0, tabWidth, kTabStripHeight});
        label->setIdentifier("workspace.tab." + tab);
        label->setAlignment(ui::TextAlignment::Center);
        label->setTextColor(front ? kFrontTabTextColor : kTabTextColor);
        if (front) {
            label->setWantsLayer(true);
            label->setLayerBackgroundColor(kFrontTabColor);
            label->setAccessibilityDescription("front tab");
        }
        tabStrip_->addSubview(label);
        x += tabWidth;
    }
    for (auto& [name, record] : panels_) {
        if (record->container) record->container->view().setHidden(!(tabShown(name) && front_ == name));
    }
}

}  // namespace qlo::hostsim
