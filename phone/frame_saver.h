// Writes every received frame of a phone to a directory as DIR/<name>-<n>.jpg, n counting from 1.
// The phone's name is made safe for a file name first: characters other than ASCII letters,
// digits, '.', '_' and '-' become '_' (so "Ann's Phone 2" gives "Ann_s_Phone_2-1.jpg"), and a
// name of only dots gets a leading '_' so that it can never name "." or "..".
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qlophone {

std::string FileSafeName(const std::string& name);

class FrameSaver {
public:
    FrameSaver(std::string directory, const std::string& phoneName);

    // Creates the directory (and its parents) when missing; false with `error` when that fails.
    bool prepare(std::string& error);
    // Writes the next frame; false with `error` when the file cannot be written completely.
    bool save(std::span<const uint8_t> jpeg, std::string& error);
    uint64_t saved() const { return saved_; }
    // The file the next frame goes to.
    std::string nextPath() const;

private:
    std::string directory_;
    std::string stem_;
    uint64_t saved_ = 0;
};

}  // namespace qlophone
