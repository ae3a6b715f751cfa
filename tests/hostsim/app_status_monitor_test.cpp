// The status line's facts: frames per second from renders through each camera, recording from
// keyframes added to a camera, and phones with their allowed state from the panel's rows (which
// also tell the terminal about phones connecting and leaving).
#include <gtest/gtest.h>

#include <memory>

#include "hostsim/app/panel_rows.h"
#include "hostsim/app/phone_watch.h"
#include "hostsim/app/status_line.h"
#include "hostsim/model/project.h"
#include "platform/ui/button.h"
#include "platform/ui/text_field.h"

namespace qlo::hostsim {
namespace {

class StatusMonitorTest : public ::testing::Test {
protected:
    StatusMonitorTest() : comp(project.addComposition("Shot", 192, 108, 25, 10)) {
        project.setActiveItem(comp.id());
        alice = &comp.addCamera("Alice", A_FloatPoint{96, 54});
        bob = &comp.addCamera("Bob", A_FloatPoint{96, 54});
        renderer = CountRenders(
            [](Project&, const RenderRequest&, World&) { return A_Err_NONE; }, monitor);
    }

    // Renders `n` frames through `camera`, switching the other cameras off as the plug-in does
    // for each phone's frame.
    void renderThrough(Layer& camera, int n) {
        for (Layer* cam : {alice, bob}) {
            if (cam == &camera) cam->flags |= AEGP_LayerFlag_VIDEO_ACTIVE;
            else cam->flags &= ~AEGP_LayerFlag_VIDEO_ACTIVE;
        }
        RenderRequest request;
        request.comp = comp.id();
        World world(AEGP_WorldType_8, 4, 4);
        for (int i = 0; i < n; ++i) ASSERT_EQ(renderer(project, request, world), A_Err_NONE);
    }

    Project project;
    Composition& comp;
    Layer* alice = nullptr;
    Layer* bob = nullptr;
    StatusMonitor monitor;
    FrameRenderer renderer;
};

// The phones of a sample as the status line shows them (FormatStatus is tested on its own).
std::string Phones(const HostStatus& s) {
    const std::string line = FormatStatus(s);
    return line.substr(line.find(" | ") + 3);
}

TEST_F(StatusMonitorTest, FramesPerSecondPerCameraRecordingFromAddedKeyframesAndPanelRows) {
    monitor.sample(project, 10.0, std::nullopt);
    renderThrough(*alice, 30);
    renderThrough(*bob, 14);
    const HostStatus s = monitor.sample(project, 12.0, std::nullopt);  // two seconds later
    EXPECT_EQ(std::pair(s.hasComposition, s.composition), std::pair(true, std::string("Shot")));
    EXPECT_EQ(Phones(s), "Alice: 15 fps | Bob: 7 fps");

    // Recording lays keyframes down frame after frame; a lone live preview keyframe that comes
    // and goes is not recording.
    Stream& position = *bob->stream(AEGP_LayerStream_POSITION);
    position.setKeyframe(0.0, Value::Three(0, 0, 0));
    position.setKeyframe(0.04, Value::Three(1, 0, 0));
    EXPECT_EQ(Phones(monitor.sample(project, 13.0, std::nullopt)), "Bob: 0 fps, recording")
        << "Bob records without rendering";
    EXPECT_EQ(Phones(monitor.sample(project, 14.0, std::nullopt)), "no phones") << "nothing new";
    const int preview = position.setKeyframe(0.5, Value::Three(2, 0, 0));
    monitor.sample(project, 15.0, std::nullopt);  // the first preview keyframe counts once
    position.deleteKeyframe(preview);
    monitor.sample(project, 16.0, std::nullopt);
    position.setKeyframe(0.6, Value::Three(2, 0, 0));
    EXPECT_EQ(Phones(monitor.sample(project, 17.0, std::nullopt)), "no phones");

    // The panel's rows name the phones and tell allowed or blocked; a camera no row names is
    // still shown.
    renderThrough(*alice, 10);
    renderThrough(*bob, 5);
    const std::vector<PanelPhoneRow> rows = {{"Carol", false}, {"Alice", true}};
    EXPECT_EQ(Phones(monitor.sample(project, 18.0, rows)),
              "Carol: blocked, 0 fps | Alice: allowed, 10 fps | Bob: 5 fps");
}

TEST(StatusFormat, OneReadableLine) {
    HostStatus s;
    EXPECT_EQ(FormatStatus(s), "no active composition | no phones");
    std::tie(s.hasComposition, s.composition, s.time, s.frameRate, s.playing) =
        std::tuple(true, "Demo", 3.4, 30, true);
    s.phones = {{"Demo Phone", true, 29.6, true},
                {"Phone B", false, 0, false},
                {"", std::nullopt, 12.2, false}};
    EXPECT_EQ(FormatStatus(s),
              "Demo 0:00:03:12 playing | Demo Phone: allowed, 30 fps, recording | "
              "Phone B: blocked, 0 fps | (unnamed): 12 fps");
    EXPECT_EQ(ClipToColumns("Caméra 2", 5), "Camér");
    EXPECT_EQ(ClipToColumns("ab", 5), "ab");
}

// A panel built as the plug-in builds one: a table of rows, each with a name label, another
// label and the eye button.
TEST(PanelRows, NameLabelAndEyeButtonOfEachVisibleRow) {
    auto root = std::make_shared<ui::View>();
    auto table = std::make_shared<ui::View>(ui::Rect{}, "Table");
    root->addSubview(table);
    auto addRow = [&](const std::string& name, const char* tip, bool hidden) {
        auto row = std::make_shared<ui::View>(ui::Rect{}, "Row");
        auto cell = std::make_shared<ui::View>();
        cell->addSubview(std::make_shared<ui::TextField>("typed", true));  // editable: not a label
        cell->addSubview(std::make_shared<ui::TextField>(name, false));
        row->addSubview(cell);
        row->addSubview(std::make_shared<ui::TextField>("30 fps", false));
        auto eye = std::make_shared<ui::Button>("");
        eye->setToolTip(tip);
        row->addSubview(eye);
        row->setHidden(hidden);
        table->addSubview(row);
    };
    addRow("Demo Phone", kEyeAllowedToolTip, false);
    addRow("Phone B", kEyeBlockedToolTip, false);
    addRow("Gone", kEyeAllowedToolTip, true);
    root->addSubview(std::make_shared<ui::Button>("Help"));
    root->subviews().back()->setToolTip("Show help");

    root->setHidden(true);  // the panel's tab is behind another: its rows are still its phones
    std::vector<std::pair<std::string, bool>> rows;
    for (const PanelPhoneRow& row : ReadPanelPhoneRows(*root)) rows.emplace_back(row.name, row.allowed);
    EXPECT_EQ(rows, (std::vector<std::pair<std::string, bool>>{{"Demo Phone", true}, {"Phone B", false}}));
}

TEST(PhoneWatch, PhonesConnectingAndLeavingBetweenReadingsOfThePanel) {
    PhoneWatch watch;
    using Rows = std::vector<PanelPhoneRow>;
    const std::vector<std::pair<std::optional<Rows>, std::vector<std::string>>> readings = {
        {std::nullopt, {}},
        {Rows{{"Ann", true}}, {"phone \"Ann\" connected (allowed)"}},
        {Rows{{"Ann", false}}, {}},  // blocked: the status line tells
        {Rows{{"Ann", false}, {"Ben", false}, {"Ben", true}},
         {"phone \"Ben\" connected (blocked)", "phone \"Ben\" connected (allowed)"}},
        {Rows{{"Ben", true}, {"Cy", true}},
         {"phone \"Ann\" left", "phone \"Ben\" left", "phone \"Cy\" connected (allowed)"}},
        {std::nullopt, {"phone \"Ben\" left", "phone \"Cy\" left"}},  // the panel is gone
    };
    for (size_t i = 0; i < readings.size(); ++i) {
        EXPECT_EQ(watch.update(readings[i].first), readings[i].second) << "reading " << i;
    }
}

}  // namespace
}  // namespace qlo::hostsim
