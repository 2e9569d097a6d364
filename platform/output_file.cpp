#include "platform/output_file.h"

#include "platform/file_names.h"

namespace vandrel {

output_file::~output_file() { close(); }

bool output_file::create(const std::string& path, std::size_t buffer_size, bool only_new) {
    close();
    file_ = only_new ? create_new_stream(path) : open_stream(path, "wb");
    if (file_ == nullptr) return false;
    // Our buffer does the buffering; the stream passes whole chunks through.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    cap_ = buffer_size < 4096 ? 4096 : buffer_size;
    buf_.reset(new char[cap_]);  // not zero-filled: every byte is written before use
    len_ = 0;
    failed_ = false;
    return true;
}

void output_file::flush() {
    if (len_ == 0) return;
    if (file_ == nullptr) {
        len_ = 0;
        return;
    }
    if (!failed_ && std::fwrite(buf_.get(), 1, len_, file_) != len_) failed_ = true;
    len_ = 0;
}

bool output_file::close() {
    if (file_ == nullptr) return !failed_;
    flush();
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    buf_.reset();
    cap_ = 0;
    return !failed_;
}

void output_file::write(const char* s, std::size_t n) {
    if (n >= cap_ && file_ != nullptr) {
        // Text made elsewhere in one piece goes out as it is, in pieces of
        // the buffer's size.
        flush();
        for (std::size_t done = 0; done < n; done += cap_) {
            const std::size_t piece = n - done < cap_ ? n - done : cap_;
            if (!failed_ && std::fwrite(s + done, 1, piece, file_) != piece) failed_ = true;
        }
        return;
    }
    while (n > 0) {
        if (len_ == cap_) flush();
        std::size_t take = cap_ - len_;
        if (take > n) take = n;
        std::memcpy(buf_.get() + len_, s, take);
        len_ += take;
        s += take;
        n -= take;
    }
}

// A C variadic on purpose: it keeps the compiler's printf format checking.
void output_file::printf(const char* fmt, ...) {  // NOLINT(cert-dcl50-cpp)
    char small[512];
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    const int n = std::vsnprintf(small, sizeof small, fmt, ap);
    va_end(ap);
    if (n < 0) {
        va_end(ap2);
        failed_ = true;
        return;
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        write(small, static_cast<std::size_t>(n));
    } else {
        std::string big(static_cast<std::size_t>(n) + 1, '\0');
        std::vsnprintf(big.data(), big.size(), fmt, ap2);
        write(big.data(), static_cast<std::size_t>(n));
    }
    va_end(ap2);
}

}  // namespace vandrel
