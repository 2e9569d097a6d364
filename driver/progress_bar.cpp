#include "driver/progress_bar.h"

#include <cstdio>
#include <cstring>

namespace vandrel {

namespace {

constexpr int bar_width = 30;
constexpr auto redraw_every = std::chrono::milliseconds(200);

}  // namespace

std::size_t format_progress_line(char* out, uint64_t done, uint64_t total, uint64_t rows) {
    const unsigned long long r = rows;
    int n;
    if (total == 0) {
        n = std::snprintf(out, progress_line_size + 1, "%llu rows", r);
    } else {
        const uint64_t d = done < total ? done : total;
        const int percent = static_cast<int>(d * 100 / total);
        const int filled = static_cast<int>(d * bar_width / total);
        char bar[bar_width + 1];
        std::memset(bar, '#', static_cast<std::size_t>(filled));
        std::memset(bar + filled, '.', static_cast<std::size_t>(bar_width - filled));
        bar[bar_width] = '\0';
        n = std::snprintf(out, progress_line_size + 1, "[%s] %3d%%  %llu rows", bar, percent, r);
    }
    if (n < 0) n = 0;
    return static_cast<std::size_t>(n) < progress_line_size ? static_cast<std::size_t>(n) : progress_line_size;
}

void progress_bar::update(uint64_t done, uint64_t rows) {
    const int percent = total_ == 0 ? -1 : static_cast<int>((done < total_ ? done : total_) * 100 / total_);
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ != 0 && percent == percent_ && now - last_ < redraw_every) return;
    percent_ = percent;
    last_ = now;

    char line[progress_line_size + 1];
    const std::size_t n = format_progress_line(line, done, total_, rows);
    // Pad over the tail of a longer line drawn before.
    std::fputc('\r', stderr);
    std::fwrite(line, 1, n, stderr);
    for (std::size_t i = n; i < drawn_; ++i) std::fputc(' ', stderr);
    if (n > drawn_) drawn_ = n;
    std::fflush(stderr);
}

void progress_bar::clear() {
    if (drawn_ == 0) return;
    std::fputc('\r', stderr);
    for (std::size_t i = 0; i < drawn_; ++i) std::fputc(' ', stderr);
    std::fputc('\r', stderr);
    std::fflush(stderr);
    drawn_ = 0;
    percent_ = -1;
}

}  // namespace vandrel
