// The plug-in in the stand-in host with its panel created in the host's docked container, phones
// on loopback, and the main run loop on a clock the test drives (timers and delayed steps fire
// when the test advances it).
#pragma once

#include "engine/plugin_fixture.h"
#include "panel/panel_controller.h"
#include "platform/runloop.h"
#include "platform/ui/button.h"
#include "platform/ui/table_view.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

// The panel on its own, in a window of the given size, with no server running (empty state).
struct StandalonePanel {
    StandalonePanel(double width, double height)
        : window(std::make_shared<qlo::ui::Window>("Panel", qlo::ui::Rect{0, 0, width, height})) {
        // The test's thread is the host's main thread here, as the panel's code requires.
        qlo::runloop::RunLoop::main().bindToCurrentThread();
        window->orderFront();
        controller = QLOPanelController::attachToContainer(&window->contentView());
        resize(width, height);
    }
    ~StandalonePanel() { controller->tearDown(); }
    void resize(double width, double height) {
        window->setFrame(qlo::ui::Rect{0, 0, width, height});
        window->contentView().layoutSubtreeIfNeeded();
    }
    static qlo::ui::Rect at(const qlo::ui::View& view) { return view.frameInWindow(); }
    std::shared_ptr<qlo::ui::Window> window;
    QLOPanelController::Ptr controller;
};

class PanelTest : public PluginTest {
protected:
    void SetUp() override {
        // The plug-in stays loaded from test to test, and its idle tick remembers when its last
        // work pass ran: the idle clock goes on from where the previous test left it.
        clockNs = s_idleClockNs;
        qlo::runloop::RunLoop::main().useManualClock(true);
        PluginTest::SetUp();
        ASSERT_TRUE(g_panelController) << "the host's container is not a view";
        panel = g_panelController.get();
    }
    void TearDown() override {
        s_idleClockNs = clockNs + kWorkIntervalNs;
        PluginTest::TearDown();
        qlo::runloop::RunLoop::main().useManualClock(false);
    }
    // Lets `seconds` pass on the run loop, in steps of 50 ms, running what falls due.
    void advance(double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += 0.05) {
            qlo::runloop::RunLoop::main().advance(0.05);
            app->runRounds(1);
        }
    }
    // The row's cell: eye button, phone icon and name label, in that order.
    const std::vector<std::shared_ptr<qlo::ui::View>>& cell(long row) const {
        return panel->table->viewAtColumn(0, row)->subviews();
    }
    qlo::ui::Button& eye(long row) const { return dynamic_cast<qlo::ui::Button&>(*cell(row)[0]); }
    qlo::ui::TextField& nameLabel(long row) const {
        return dynamic_cast<qlo::ui::TextField&>(*cell(row)[2]);
    }

    QLOPanelController* panel = nullptr;

private:
    static inline int64_t s_idleClockNs = 0;
};
