// quillo-host's status line: once a second, one line with the active composition's time and
// whether it plays, and each phone with its name, whether it may control its camera, its frames
// per second and whether it is recording.
//
// The host learns all of it without the plug-in's help, only from what a host sees:
//  - frames per second: renders through each camera layer (a phone's camera bears its name, and
//    the plug-in renders one frame per phone through that phone's camera);
//  - recording: keyframes being added to a camera layer;
//  - allowed or blocked, and the phones' names: the rows of the plug-in's panel, read from its
//    view tree (hostsim/app/panel_rows.h). Until a panel with such rows exists, the phones are
//    the cameras rendered through, and the allowed column is left out.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/app/panel_rows.h"
#include "hostsim/model/project.h"
#include "hostsim/suites/model_suites.h"

namespace qlo::hostsim {

struct PhoneStatus {
    std::string name;
    std::optional<bool> allowed;  // empty when the panel cannot tell
    double framesPerSecond = 0;
    bool recording = false;
};

struct HostStatus {
    bool hasComposition = false;
    std::string composition;
    double time = 0;  // seconds
    double frameRate = 30;
    bool playing = false;
    std::vector<PhoneStatus> phones;
};

// "Demo 0:00:03:12 playing | Demo Phone: allowed, 30 fps, recording | Phone B: blocked, 0 fps"
std::string FormatStatus(const HostStatus& status);

// Gathers what the status line shows. Main thread only.
class StatusMonitor {
public:
    // A frame was rendered through the camera layer of that name (empty: the default view).
    void noteRender(const std::string& camera);

    // The status now; frame rates are the renders since the previous sample divided by the
    // time since then (nowSeconds is a monotonic clock). `rows` are the panel's rows, if any.
    HostStatus sample(const Project& project, double nowSeconds,
                      const std::optional<std::vector<PanelPhoneRow>>& rows);

private:
    // Cameras whose keyframe count went above what it had been: keyframes are being added.
    std::map<std::string, bool> recordingCameras(const Composition& comp);

    std::map<std::string, int> renders_;  // since the last sample, by camera name
    double lastSample_ = -1;
    std::map<ObjectId, int> keyframeMark_;  // per camera layer: the highest count seen
};

// A renderer that counts each frame rendered through a camera with `monitor`, then renders it
// with `inner`.
FrameRenderer CountRenders(FrameRenderer inner, StatusMonitor& monitor);

// Writes the status line to a file descriptor (standard output).
class StatusLine {
public:
    enum class Style {
        Pinned,  // an interactive terminal: the line stays on the bottom row, below a scroll
                 // region that holds everything else, so typing and log lines are not disturbed
        Lines,   // anything else: one plain line per update
    };

    StatusLine(int fd, Style style);
    // A pinned line gives the bottom row back and removes the scroll region.
    ~StatusLine();
    StatusLine(const StatusLine&) = delete;
    StatusLine& operator=(const StatusLine&) = delete;

    void show(const std::string& text);

    // Pinned when fd is a terminal that can hold a scroll region, Lines otherwise.
    static Style StyleFor(int fd);

private:
    void pin();
    bool write(const std::string& bytes);

    int fd_;
    Style style_;
    int rows_ = 0;  // terminal size the scroll region was set for; 0: not pinned yet
    int columns_ = 0;
};

// Everything written to the terminal from other threads (log lines) holds this lock, so that no
// text lands while the status line has moved the cursor to the bottom row.
std::mutex& TerminalOutputMutex();

// `text` cut to at most `columns` characters (UTF-8 sequences are kept whole).
std::string ClipToColumns(const std::string& text, int columns);

}  // namespace qlo::hostsim
