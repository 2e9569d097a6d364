// Binary output through one large buffer of ours. Lines are ended with
// "\r\n" by the writers themselves, so the bytes are the same on every
// platform. A failed write is remembered and reported by ok() and close().
//
// The buffer is a quarter of a megabyte: the operating system copies each
// piece into its file cache while the piece is still in the processor's
// cache. (Larger pieces, or pieces handed to another thread to write, were
// measured to cost several times the system time.)
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace vandrel {

class output_file {
public:
    static constexpr std::size_t default_buffer_size = 1 << 18;

    output_file() = default;
    ~output_file();
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;

    // Creates (or truncates) path. False when it cannot be created. With
    // only_new, false also when anything by that name exists.
    bool create(const std::string& path, std::size_t buffer_size = default_buffer_size, bool only_new = false);
    bool is_open() const { return file_ != nullptr; }

    // Flushes and closes; false if any write since create() failed.
    bool close();

    // False once a write has failed.
    bool ok() const { return !failed_; }

    // Room for at least n bytes at the returned pointer; hand the end of what
    // was written to commit(). n must not exceed the buffer size.
    char* reserve(std::size_t n) {
        if (cap_ - len_ < n) flush();
        return buf_.get() + len_;
    }
    void commit(const char* end) { len_ = static_cast<std::size_t>(end - buf_.get()); }

    // Text of at least the buffer's size goes out as it is, without a copy.
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
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buf_;
    std::size_t cap_ = 0;
    std::size_t len_ = 0;
    bool failed_ = false;
};

}  // namespace vandrel
