// A real browser as a client: headless Chromium opens a page whose image is the MJPEG stream of
// a phone's camera, and its screenshot must show the rendered scene (the demo project's colours)
// where the image stands, and the page around it.
#include <gtest/gtest.h>

#include <cairo.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "netns/child_process.h"
#include "netns/netns_env.h"

namespace {

struct Rgb {
    int r, g, b;
};

// The demo project's colours as 8-bit values: its background, its floor, and the solids.
constexpr Rgb kDemoBackground{28, 33, 46};
constexpr Rgb kDemoFloor{94, 94, 94};
constexpr Rgb kDemoSolids[] = {{250, 204, 26}, {140, 64, 204}, {38, 77, 242},
                               {51, 204, 64},  {26, 217, 230}, {230, 38, 26}};
constexpr Rgb kPage{255, 0, 255};  // the page around the image

bool Near(const Rgb& a, const Rgb& b, int tolerance = 36) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

// What a screenshot shows in a rectangle: the share of page-coloured and scene-coloured
// pixels, and how many of the scene's solids appear (each on more than 0.1 % of the pixels).
struct Coverage {
    double page = 0;
    double scene = 0;
    int solidsSeen = 0;
};

Coverage Measure(cairo_surface_t* png, int x0, int y0, int x1, int y1) {
    const unsigned char* data = cairo_image_surface_get_data(png);
    const int stride = cairo_image_surface_get_stride(png);
    int solidCounts[std::size(kDemoSolids)] = {};
    long page = 0, scene = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, data + y * stride + x * 4, sizeof pixel);  // ARGB32, native order
            const Rgb c{static_cast<int>((pixel >> 16) & 0xff), static_cast<int>((pixel >> 8) & 0xff),
                        static_cast<int>(pixel & 0xff)};
            page += Near(c, kPage, 8);
            bool isScene = Near(c, kDemoBackground) || Near(c, kDemoFloor);
            for (size_t i = 0; i < std::size(kDemoSolids); ++i) {
                solidCounts[i] += Near(c, kDemoSolids[i]);
                isScene = isScene || Near(c, kDemoSolids[i]);
            }
            scene += isScene;
        }
    }
    const double total = static_cast<double>(x1 - x0) * (y1 - y0);
    Coverage coverage{page / total, scene / total};
    for (int count : solidCounts) coverage.solidsSeen += count * 1000 > total;
    return coverage;
}

TEST(BrowserEndToEnd, HeadlessChromiumShowsThePhonesCameraFromTheStream) {
    QLO_REQUIRE_NETNS();
    std::string chromium;
    for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
        if (chromium.empty() && access(path, X_OK) == 0) chromium = path;
    if (chromium.empty()) {
        GTEST_SKIP() << "Chromium is not installed (scripts/setup installs the Debian package "
                        "\"chromium\"); the browser test needs it";
    }

    const std::string bin = ProgramFolder();
    // --verbose: this test reads the plug-in's connection and request lines on the terminal.
    const std::string logPath = "/tmp/quillo-host-browser-" + std::to_string(getpid()) + ".log";
    ChildProcess host({bin + "/quillo-host", "--quiet", "--verbose", "--log", logPath});
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(host.waitFor("[Quillo] MJPEG server listening on port 8254", 20)) << host.output();

    // The phone's camera ("Demo Phone") is made for it at the composition's centre, looking at
    // the scene; the phone holds it there (no motion), so the solids are in view.
    ChildProcess phone({bin + "/quillo-phone", "--host", "127.0.0.1", "--source-ip", "127.0.0.2",
                        "--name", "Demo Phone", "--duration", "60", "--motion-rate", "0"});
    ASSERT_TRUE(phone.started());
    ASSERT_TRUE(host.waitFor("ip=127.0.0.2", 20)) << host.output();

    char folderTemplate[] = "/tmp/quillo-browser-XXXXXX";
    ASSERT_NE(mkdtemp(folderTemplate), nullptr);
    const std::filesystem::path folder = folderTemplate;
    struct Cleanup {
        std::filesystem::path folder;
        ~Cleanup() {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    } cleanup{folder};

    // The demo streams 480 x 270 frames; the page shows one at that size in its top-left corner.
    {
        std::ofstream page(folder / "view.html");
        page << "<!DOCTYPE html><html><body style=\"margin:0;background:#ff00ff\">"
                "<img style=\"display:block\" width=\"480\" height=\"270\" "
                "src=\"http://127.0.0.1:8254/stream?deviceName=Browser&amp;cameraName=Demo%20Phone\">"
                "</body></html>\n";
    }
    const std::string shot = (folder / "view.png").string();
    // Everything that would reach out to the network is off; names resolve to nothing but
    // 127.0.0.1.
    ChildProcess browser({chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                          "--disable-background-networking", "--disable-sync", "--disable-component-update",
                          "--disable-default-apps", "--disable-extensions", "--disable-domain-reliability",
                          "--metrics-recording-only", "--no-pings", "--proxy-server=direct://",
                          "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
                          "--user-data-dir=" + (folder / "profile").string(), "--force-device-scale-factor=1",
                          "--window-size=640,400", "--virtual-time-budget=3000", "--screenshot=" + shot,
                          "file://" + (folder / "view.html").string()});
    ASSERT_TRUE(browser.started());
    ASSERT_EQ(browser.wait(90), 0) << browser.output();
    EXPECT_TRUE(host.waitFor("GET /stream?deviceName=Browser", 5)) << host.output();

    cairo_surface_t* png = cairo_image_surface_create_from_png(shot.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS) << browser.output();
    ASSERT_GE(cairo_image_surface_get_width(png), 640);
    ASSERT_GE(cairo_image_surface_get_height(png), 400);
    cairo_surface_flush(png);
    const Coverage image = Measure(png, 0, 0, 480, 270);
    const Coverage around = Measure(png, 500, 0, 640, 400);
    cairo_surface_destroy(png);

    EXPECT_GT(around.page, 0.95) << "the screenshot is of the page";
    EXPECT_LT(image.page, 0.01) << "the image covers its place: the browser decoded a frame";
    EXPECT_GT(image.scene, 0.6) << "the image shows the demo's background, floor and solids";
    EXPECT_GE(image.solidsSeen, 2) << "the coloured solids of the scene are in view";

    phone.signal(SIGTERM);
    phone.wait(10);
    host.signal(SIGTERM);
    EXPECT_EQ(host.wait(20), 0) << host.output();
    std::filesystem::remove(logPath);
}

}  // namespace
