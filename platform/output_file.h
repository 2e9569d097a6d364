// Binary output through one large buffer of ours. Lines are ended with
// "\r\n" by the writers themselves, so the bytes are the same on every
// platform. A failed write is remembered and reported by ok() and close().
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vandrel {

class output_file {
public:
    static constexpr std::size_t default_buffer_size = 1 << 20;

    output_file() = default;
    ~output_file();
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;

    // Creates (or truncates) path. False when it cannot be created. With
    // only_new, false also when anything by that name exists.
    bool create(const std::string& path, std::size_t buffer_size = default_buffer_size, bool only_new = false);
    bool is_open() const { return file_ != nullptr; }

    // From now on a full buffer is written by a thread of the file's own
    // while the caller fills a second one: formatting and writing overlap.
    // A failed write then shows in ok() a buffer later.
    void write_in_background();

    // Flushes and closes; false if any write since create() failed.
    bool close();

    // False once a write has failed.
    bool ok() const { return !failed_ && !background_failed_.load(std::memory_order_relaxed); }

    // Room for at least n bytes at the returned pointer; hand the end of what
    // was written to commit(). n must not exceed the buffer size.
    char* reserve(std::size_t n) {
        if (cap_ - len_ < n) flush();
        return buf_.get() + len_;
    }
    void commit(const char* end) { len_ = static_cast<std::size_t>(end - buf_.get()); }

    void write(const char* s, std::size_t n);
    void write(const char* s) { write(s, std::strlen(s)); }
    void write(const std::string& s) { write(s.data(), s.size()); }
    void put(char c) {
        if (len_ == cap_) flush();
        buf_[len_++] = c;
    }
    void end_line() { write("\r\n", 2); }

    // printf-style text for the rare lines (headers, messages): text and
    // integers only, since runtimes differ in how they round floating point
    // (use format_fixed for that). Lines are ended with end_line().
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void
    printf(const char* fmt, ...);

    // Pushes the buffer to the operating system.
    void flush();

private:
    void write_out(const char* data, std::size_t n);
    void background_loop();
    void wait_until_written();
    void stop_background();

    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buf_;
    std::size_t cap_ = 0;
    std::size_t len_ = 0;
    bool failed_ = false;

    // The background writer: spare_ is the buffer it writes (pending_ bytes
    // of it) or the one to fill next.
    std::thread writer_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::unique_ptr<char[]> spare_;
    std::size_t pending_ = 0;
    bool stopping_ = false;
    std::atomic<bool> background_failed_{false};
};

}  // namespace vandrel
