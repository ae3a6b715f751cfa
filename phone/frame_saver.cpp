#include "phone/frame_saver.h"

#include <filesystem>
#include <fstream>

namespace qlophone {

std::string FileSafeName(const std::string& name) {
    std::string safe;
    bool onlyDots = true;
    for (char c : name) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '_' || c == '-';
        safe += keep ? c : '_';
        onlyDots = onlyDots && c == '.';
    }
    if (safe.empty() || onlyDots) safe.insert(safe.begin(), '_');
    return safe;
}

FrameSaver::FrameSaver(std::string directory, const std::string& phoneName)
    : directory_(std::move(directory)), stem_(FileSafeName(phoneName)) {}

bool FrameSaver::prepare(std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(directory_, ec);
    if (ec || !std::filesystem::is_directory(directory_, ec)) {
        error = "cannot create the frame directory " + directory_ + (ec ? ": " + ec.message() : "");
        return false;
    }
    return true;
}

std::string FrameSaver::nextPath() const {
    return (std::filesystem::path(directory_) / (stem_ + "-" + std::to_string(saved_ + 1) + ".jpg")).string();
}

bool FrameSaver::save(std::span<const uint8_t> jpeg, std::string& error) {
    const std::string path = nextPath();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
    file.close();
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    ++saved_;
    return true;
}

}  // namespace qlophone
