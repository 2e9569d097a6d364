#include "platform/input_file.h"

#include <cerrno>
#include <cstring>

#include "platform/file_names.h"
#include "platform/interrupt.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vandrel {
namespace {

long read_some(int fd, uint8_t* dest, std::size_t n) {
#ifdef _WIN32
    return _read(fd, dest, static_cast<unsigned>(n));
#else
    for (;;) {
        const ssize_t r = ::read(fd, dest, n);
        if (r < 0 && errno == EINTR) continue;
        return static_cast<long>(r);
    }
#endif
}

}  // namespace

input_file::~input_file() { close(); }

bool input_file::open(const std::string& path, std::size_t buffer_size) {
    close();
    fd_ = open_read_only(path);
    if (fd_ < 0) return false;
    cap_ = buffer_size == 0 ? 1 : buffer_size;
    buf_.reset(new uint8_t[cap_]);  // not zero-filled: filled by reads before use
    pos_ = len_ = 0;
    eof_ = error_ = false;
    return true;
}

void input_file::close() {
    if (fd_ >= 0) {
#ifdef _WIN32
        _close(fd_);
#else
        ::close(fd_);
#endif
    }
    fd_ = -1;
    pos_ = len_ = 0;
}

bool input_file::fill() {
    pos_ = len_ = 0;
    if (fd_ < 0 || eof_ || error_) return false;
    // An interrupted run reads no further: the input ends here for the
    // decoder, which closes its tables after the rows it has.
    if (interrupt_requested()) {
        eof_ = true;
        return false;
    }
    const long r = read_some(fd_, buf_.get(), cap_);
    if (r < 0) {
        error_ = true;
        return false;
    }
    if (r == 0) {
        eof_ = true;
        return false;
    }
    len_ = static_cast<std::size_t>(r);
    return true;
}

bool input_file::get_slow(uint8_t& byte) {
    if (!fill()) return false;
    byte = buf_[pos_++];
    return true;
}

std::size_t input_file::read(void* dest, std::size_t n) {
    auto* out = static_cast<uint8_t*>(dest);
    std::size_t done = 0;
    while (done < n) {
        if (pos_ == len_ && !fill()) break;
        std::size_t take = len_ - pos_;
        if (take > n - done) take = n - done;
        std::memcpy(out + done, buf_.get() + pos_, take);
        pos_ += take;
        done += take;
    }
    return done;
}

bool input_file::seek(uint64_t offset) {
    if (fd_ < 0) return false;
    pos_ = len_ = 0;
    eof_ = false;
#ifdef _WIN32
    return _lseeki64(fd_, static_cast<long long>(offset), SEEK_SET) >= 0;
#else
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
#endif
}

}  // namespace vandrel
