// A one-line progress bar on standard error for the commands: the percent of
// the input read and the rows written so far. It redraws itself at most a few
// times a second (and whenever the percent changes), and clear() leaves the
// terminal line empty again.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace vandrel {

// Writes the bar's text for `done` of `total` bytes and `rows` rows into out
// (room for progress_line_size characters and a terminator) and returns its
// length. A total of 0 (size unknown) shows the rows only.
constexpr std::size_t progress_line_size = 72;
std::size_t format_progress_line(char* out, uint64_t done, uint64_t total, uint64_t rows);

class progress_bar {
public:
    // total: the number of input bytes that makes 100 percent (0 if unknown).
    explicit progress_bar(uint64_t total) : total_(total) {}
    ~progress_bar() { clear(); }
    progress_bar(const progress_bar&) = delete;
    progress_bar& operator=(const progress_bar&) = delete;

    void update(uint64_t done, uint64_t rows);

    // Blanks the line that the bar drew, if it drew one.
    void clear();

private:
    uint64_t total_;
    std::size_t drawn_ = 0;  // characters of the line on screen
    int percent_ = -1;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace vandrel
