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
#include "panel/ax_automation.h"
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
    // Stops both timers and a split-view set-up under way, and takes the view tree out of the
    // container.
    void tearDown();
    // The services stopped (the panel was hidden): a split-view set-up under way ends, and one
    // waiting for its debounce does not start, since the phones whose cameras it would show are
    // gone. The list and its refresh stay.
    void servicesStopped();
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
    // At most one set-up runs at a time: a new one stops the running one (closing the menu it
    // left open) and starts from the layout switch. A run also stops when the viewer-layout
    // sync rearranges the viewer under it, or when the panel is torn down.
    void runSplitViewSetup(long k);
    QLOPressResult switchViewerLayout(long viewCount);
    // The steps of run `run`; each does nothing once another run has replaced it.
    void assignCamerasToViewerPanes(uint64_t run, const std::vector<std::string>& cameras,
                                    long viewCount);
    void assignCameraAtPopupIndex(uint64_t run, long index,
                                  const std::vector<qlo::ax::Element>& popups,
                                  const std::vector<std::string>& cameras, long total);
    bool splitViewRunning() const { return _splitViewRun != 0; }

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
    // True while run `run` is the running one and the sync has not touched the viewer since it
    // started; stops the run (and says why) in the latter case.
    bool splitViewRunGoesOn(uint64_t run);
    // Ends the running set-up: closes the menu it left open and logs why it stopped.
    void stopSplitViewRun(const char* reason);

    std::vector<ClientInfo> _clients;
    int64_t _lastConnectedCount = 0;
    uint64_t _splitViewRun = 0;       // the running set-up, 0 when none runs
    uint64_t _splitViewRunsStarted = 0;
    uint64_t _splitViewSyncMark = 0;  // the sync's run count when the running set-up started
    qlo::ax::Element _openMenuPopup;  // the pop-up whose menu the running set-up opened
};
