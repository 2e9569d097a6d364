// Read-only binary input through a buffer of ours. Opening refuses
// directories, and a read error is told apart from the end of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vandrel {

class input_file {
public:
    static constexpr std::size_t default_buffer_size = 1 << 16;

    input_file() = default;
    ~input_file();
    input_file(const input_file&) = delete;
    input_file& operator=(const input_file&) = delete;

    // Opens path for reading. A buffer_size of 1 makes every byte one system
    // call (used only to measure what the buffer buys). False when the path
    // cannot be opened or names a directory.
    bool open(const std::string& path, std::size_t buffer_size = default_buffer_size);
    bool is_open() const { return fd_ >= 0; }
    void close();

    // Reads up to n bytes; returns how many were read. Fewer than n means the
    // end of the file or a read error; error() tells which.
    std::size_t read(void* dest, std::size_t n);

    // One byte, the hot path of byte-wise decoders. False at end or error.
    bool get(uint8_t& byte) {
        if (pos_ < len_) {
            byte = buf_[pos_++];
            return true;
        }
        return get_slow(byte);
    }

    // Positions the next read at offset bytes from the start of the file.
    bool seek(uint64_t offset);

    bool error() const { return error_; }

private:
    bool get_slow(uint8_t& byte);
    bool fill();

    int fd_ = -1;
    std::unique_ptr<uint8_t[]> buf_;
    std::size_t cap_ = 0;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    bool eof_ = false;
    bool error_ = false;
};

}  // namespace vandrel
