// The status line's facts: frames per second from renders through each camera, recording from
// keyframes added to a camera, and phones with their allowed state as the panel's rows give it.
#include <gtest/gtest.h>

#include "hostsim/app/panel_rows.h"
#include "hostsim/app/status_line.h"
#include "hostsim/model/project.h"

namespace qlo::hostsim {
namespace {

// The phones of a sample as the status line shows them.
std::string Phones(const HostStatus& s) {
    const std::string line = FormatStatus(s);
    return line.substr(line.find(" | ") + 3);
}

TEST(StatusMonitor, FramesPerSecondPerCameraRecordingFromAddedKeyframesAndPanelRows) {
    Project project;
    Composition& comp = project.addComposition("Shot", 192, 108, 25, 10);
    project.setActiveItem(comp.id());
    Layer* alice = &comp.addCamera("Alice", A_FloatPoint{96, 54});
    Layer* bob = &comp.addCamera("Bob", A_FloatPoint{96, 54});
    StatusMonitor monitor;
    FrameRenderer renderer =
        CountRenders([](Project&, const RenderRequest&, World&) { return A_Err_NONE; }, monitor);
    // Renders `n` frames through `camera`, the other camera switched off as the plug-in does for
    // each phone's frame.
    auto renderThrough = [&](Layer* camera, int n) {
        for (Layer* cam : {alice, bob}) {
            if (cam == camera) cam->flags |= AEGP_LayerFlag_VIDEO_ACTIVE;
            else cam->flags &= ~AEGP_LayerFlag_VIDEO_ACTIVE;
        }
        RenderRequest request;
        request.comp = comp.id();
        World world(AEGP_WorldType_8, 4, 4);
        for (int i = 0; i < n; ++i) ASSERT_EQ(renderer(project, request, world), A_Err_NONE);
    };
    monitor.sample(project, 10.0, std::nullopt);
    renderThrough(alice, 30);
    renderThrough(bob, 14);
    const HostStatus s = monitor.sample(project, 12.0, std::nullopt);  // two seconds later
    EXPECT_EQ(FormatStatus(s), "Shot 0:00:00:00 stopped | Alice: 15 fps | Bob: 7 fps");

    // Recording lays keyframes down frame after frame.
    Stream& position = *bob->stream(AEGP_LayerStream_POSITION);
    position.setKeyframe(0.0, Value::Three(0, 0, 0));
    position.setKeyframe(0.04, Value::Three(1, 0, 0));
    EXPECT_EQ(Phones(monitor.sample(project, 13.0, std::nullopt)), "Bob: 0 fps, recording")
        << "Bob records without rendering";
    EXPECT_EQ(Phones(monitor.sample(project, 14.0, std::nullopt)), "no phones") << "nothing new";

    // The panel's rows name the phones and tell allowed or blocked; a camera no row names is
    // still shown.
    renderThrough(alice, 10);
    renderThrough(bob, 5);
    const std::vector<PanelPhoneRow> rows = {{"Carol", false}, {"Alice", true}};
    EXPECT_EQ(Phones(monitor.sample(project, 15.0, rows)),
              "Carol: blocked, 0 fps | Alice: allowed, 10 fps | Bob: 5 fps");
}


}  // namespace
}  // namespace qlo::hostsim
