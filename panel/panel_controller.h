// QLOPanelController: the one object behind the plug-in's dockable panel. It builds the panel's
// views inside the host's container view, re-reads the phone server's registry every 1.5 s, shows
// the phones as rows of a one-column table with an eye button each (allow or block the phone's
// control of its camera), and sets up the host's viewer as one, two or four views, one phone's
// camera per pane, when the user asks or 1.5 s after the number of phones last changed.
//
// Main thread only. The controller is shared: its timers and the delayed steps of a split-view
// run keep it alive until they are done, as the refresh timer keeps it until tearDown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/link_types.h"
#include "platform/ax/ax.h"
#include "platform/runloop.h"
#include "platform/ui/table_view.h"

namespace qlo::ui {
class Button;
class ScrollView;
class TextField;
class View;
}  // namespace qlo::ui

class QLOHeaderView;
class QLOStoreBadge;

class QLOPanelController : public qlo::ui::TableViewDataSource,
                           public qlo::ui::TableViewDelegate,
                           public std::enable_shared_from_this<QLOPanelController> {
public:
    using Ptr = std::shared_ptr<QLOPanelController>;
    using ViewPtr = std::shared_ptr<qlo::ui::View>;

    // A controller for the container the host handed over, with its views built, a first
    // refresh done and the refresh timer running; null when the handle is not a live view.
    static Ptr attachToContainer(const void* container);

    QLOPanelController();
    ~QLOPanelController() override;
    QLOPanelController(const QLOPanelController&) = delete;
    QLOPanelController& operator=(const QLOPanelController&) = delete;

    // ---- phone list --------------------------------------------------------------------
    void start();
    // Stops both timers and takes the view tree out of the container. A split-view run already
    // under way goes on to its end.
    void tearDown();
    void refreshClients();
    static std::string displayNameForClient(const ClientInfo* client);
    void toggleEyeClicked(qlo::ui::Button& sender);

    long numberOfRowsInTableView(qlo::ui::TableView& table) override;
    std::shared_ptr<qlo::ui::TableRowView> rowViewForRow(qlo::ui::TableView& table, long row) override;
    ViewPtr viewForTableColumn(qlo::ui::TableView& table, qlo::ui::TableColumn* column,
                               long row) override;
    void tableViewSelectionDidChange(qlo::ui::TableView& table) override;

    // ---- views -------------------------------------------------------------------------
    void buildUIInContainer(qlo::ui::View& container);
    void buildEmptyState();
    std::shared_ptr<QLOStoreBadge> badgeWithSymbol(const std::string& symbol,
                                                   const std::string& title);
    void openDownloadPage(qlo::ui::Button& sender);

    // ---- split view --------------------------------------------------------------------
    void updateSplitViewButton();
    void scheduleSplitViewUpdate();
    void autoSplitViewFired(qlo::runloop::Timer& timer);
    void splitViewBtnClicked(qlo::ui::Button& sender);
    void runSplitViewSetup(long k);
    bool switchViewerLayout(long viewCount);
    void assignCamerasToViewerPanes(const std::vector<std::string>& cameras, long viewCount);
    void assignCameraAtPopupIndex(long index, const std::vector<qlo::ax::Element>& popups,
                                  const std::vector<std::string>& cameras, long total);

    // ---- state (read by tests and the host's status display) ---------------------------
    const std::vector<ClientInfo>& clients() const { return _clients; }
    int64_t lastConnectedCount() const { return _lastConnectedCount; }
    // The camera names of the named phones, in list order.
    std::vector<std::string> cameraNames() const;

    std::weak_ptr<qlo::ui::View> container;
    ViewPtr root;
    std::shared_ptr<QLOHeaderView> header;
    std::shared_ptr<qlo::ui::TextField> headerLabel;
    std::shared_ptr<qlo::ui::ScrollView> tableScroll;
    std::shared_ptr<qlo::ui::TableView> table;
    ViewPtr emptyStack;
    std::shared_ptr<qlo::ui::TextField> emptyTitle;
    std::shared_ptr<qlo::ui::TextField> emptyHint;
    std::shared_ptr<QLOStoreBadge> appStoreBtn;
    std::shared_ptr<QLOStoreBadge> playStoreBtn;
    ViewPtr footerView;
    std::shared_ptr<qlo::ui::Button> splitViewBtn;
    qlo::runloop::TimerPtr refreshTimer;
    qlo::runloop::TimerPtr splitViewDebounce;

private:
    std::vector<ClientInfo> _clients;
    int64_t _lastConnectedCount = 0;
};
