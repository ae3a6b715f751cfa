#include "hostsim/app/status_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>

#include "hostsim/app/timecode.h"
#include "hostsim/render/scene_view.h"

namespace qlo::hostsim {

namespace {

int KeyframeCount(const Layer& layer) {
    int count = 0;
    for (const auto& [id, stream] : layer.streams()) count += stream.numKeyframes();
    return count;
}

const Composition* ActiveComposition(const Project& project) {
    const Item* item = project.activeItem();
    return item != nullptr ? item->asComposition() : nullptr;
}

}  // namespace

std::string FormatStatus(const HostStatus& status) {
    std::ostringstream out;
    if (status.hasComposition) {
        out << status.composition << ' ' << FormatTimecode(status.time, status.frameRate) << ' '
            << (status.playing ? "playing" : "stopped");
    } else {
        out << "no active composition";
    }
    if (status.phones.empty()) out << " | no phones";
    for (const PhoneStatus& phone : status.phones) {
        out << " | " << (phone.name.empty() ? "(unnamed)" : phone.name) << ": ";
        if (phone.allowed) out << (*phone.allowed ? "allowed, " : "blocked, ");
        out << std::lround(phone.framesPerSecond) << " fps";
        if (phone.recording) out << ", recording";
    }
    return out.str();
}

void StatusMonitor::noteRender(const std::string& camera) {
    ++renders_[camera];
}

std::map<std::string, bool> StatusMonitor::recordingCameras(const Composition& comp) {
    std::map<std::string, bool> recording;
    for (const auto& layer : comp.layers()) {
        if (layer->type() != LayerType::Camera) continue;
        const int count = KeyframeCount(*layer);
        auto mark = keyframeMark_.find(layer->id());
        if (mark == keyframeMark_.end()) {
            keyframeMark_[layer->id()] = count;
            continue;
        }
        // A live preview keyframe comes and goes one at a time; fewer than that means keyframes
        // were deleted, and counting starts again from there.
        if (count > mark->second) {
            recording[layer->name] = true;
            mark->second = count;
        } else if (count < mark->second - 1) {
            mark->second = count;
        }
    }
    return recording;
}

HostStatus StatusMonitor::sample(const Project& project, double nowSeconds,
                                 const std::optional<std::vector<PanelPhoneRow>>& rows) {
    const double elapsed = lastSample_ >= 0 ? nowSeconds - lastSample_ : 0;
    lastSample_ = nowSeconds;
    std::map<std::string, int> renders;
    renders.swap(renders_);
    auto rate = [&](const std::string& camera) {
        auto it = renders.find(camera);
        return it == renders.end() || elapsed <= 0 ? 0.0 : it->second / elapsed;
    };

    HostStatus status;
    std::map<std::string, bool> recording;
    if (const Composition* comp = ActiveComposition(project)) {
        status.hasComposition = true;
        status.composition = comp->name;
        status.frameRate = comp->frameRate;
        status.time = project.viewTime(*comp, &status.playing);
        recording = recordingCameras(*comp);
    }

    std::set<std::string> named;
    if (rows) {
        for (const PanelPhoneRow& row : *rows) {
            PhoneStatus phone;
            phone.name = row.name;
            phone.allowed = row.allowed;
            phone.framesPerSecond = rate(row.name);
            phone.recording = recording.count(row.name) != 0;
            named.insert(row.name);
            status.phones.push_back(std::move(phone));
        }
    }
    // Cameras rendered through or recorded into that no row names: without a panel to read,
    // these are the phones.
    std::set<std::string> cameras;
    for (const auto& [camera, count] : renders) {
        if (!camera.empty() && count > 0) cameras.insert(camera);
    }
    for (const auto& [camera, on] : recording) cameras.insert(camera);
    for (const std::string& camera : cameras) {
        if (named.count(camera) != 0) continue;
        PhoneStatus phone;
        phone.name = camera;
        phone.framesPerSecond = rate(camera);
        phone.recording = recording.count(camera) != 0;
        status.phones.push_back(std::move(phone));
    }
    return status;
}

FrameRenderer CountRenders(FrameRenderer inner, StatusMonitor& monitor) {
    return [inner = std::move(inner), &monitor](Project& project, const RenderRequest& request,
                                                World& out) {
        std::string camera;
        if (const Composition* comp = project.findComposition(request.comp)) {
            if (const Layer* layer = render::ActiveCamera(*comp)) camera = layer->name;
        }
        const A_Err err = inner(project, request, out);
        if (err == A_Err_NONE) monitor.noteRender(camera);
        return err;
    };
}

// ---- the terminal ----------------------------------------------------------------------

std::mutex& TerminalOutputMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string ClipToColumns(const std::string& text, int columns) {
    int used = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: same character
        if (used == columns) return text.substr(0, i);
        ++used;
    }
    return text;
}

StatusLine::StatusLine(int fd, Style style) : fd_(fd), style_(style) {}

StatusLine::~StatusLine() {
    if (style_ != Style::Pinned || rows_ == 0) return;
    std::lock_guard<std::mutex> lock(TerminalOutputMutex());
    // Whole screen scrolls again; the status row is cleared; the cursor stays where it was.
    write("\x1b" "7\x1b[r\x1b[" + std::to_string(rows_) + ";1H\x1b[2K\x1b" "8");
}

StatusLine::Style StatusLine::StyleFor(int fd) {
    if (!isatty(fd)) return Style::Lines;
    const char* term = std::getenv("TERM");
    if (term == nullptr || term[0] == '\0' || std::strcmp(term, "dumb") == 0) return Style::Lines;
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_row < 3 || size.ws_col < 10) return Style::Lines;
    return Style::Pinned;
}

bool StatusLine::write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void StatusLine::pin() {
    winsize size{};
    if (ioctl(fd_, TIOCGWINSZ, &size) != 0 || size.ws_row < 3) return;
    if (size.ws_row == rows_ && size.ws_col == columns_) return;
    std::string bytes;
    // The first time, make sure the cursor is not on the bottom row, which leaves the region.
    if (rows_ == 0) bytes += "\n\x1b[1A";
    // A new size: clear the old status row, then scroll only above the new bottom row. Setting
    // the region moves the cursor home, so it is saved and restored around it.
    if (rows_ != 0) bytes += "\x1b" "7\x1b[" + std::to_string(rows_) + ";1H\x1b[2K\x1b" "8";
    bytes += "\x1b" "7\x1b[1;" + std::to_string(size.ws_row - 1) + "r\x1b" "8";
    if (write(bytes)) {
        rows_ = size.ws_row;
        columns_ = size.ws_col;
    }
}

void StatusLine::show(const std::string& text) {
    std::lock_guard<std::mutex> lock(TerminalOutputMutex());
    if (style_ == Style::Lines) {
        write(text + "\n");
        return;
    }
    pin();
    if (rows_ == 0) return;
    write("\x1b" "7\x1b[" + std::to_string(rows_) + ";1H\x1b[2K" + ClipToColumns(text, columns_ - 1) +
          "\x1b" "8");
}

}  // namespace qlo::hostsim
