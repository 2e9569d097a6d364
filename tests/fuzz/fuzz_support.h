// What the fuzz targets share: a scratch directory of their own for the
// files the decoders read and write, a quiet console, and a check that
// aborts (so that libFuzzer and the replay runner both see a failure) when a
// property of the decoders does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace vandrel {
namespace fuzz {

// Fails the run with the broken property on standard error.
#define FUZZ_CHECK(cond)                                                                     \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                    \
        }                                                                                    \
    } while (0)

// The decoders print progress and traces on standard output; thousands of
// runs a second would flood the terminal and slow the search. libFuzzer
// reports on standard error, which stays.
inline void silence_stdout() {
#ifdef _WIN32
    std::FILE* f = std::freopen("NUL", "w", stdout);
#else
    std::FILE* f = std::freopen("/dev/null", "w", stdout);
#endif
    (void)f;
}

// A directory of this process alone, removed with everything in it when
// the process ends normally.
class scratch_dir {
public:
    scratch_dir() {
        namespace fs = std::filesystem;
#ifdef _WIN32
        const long pid = _getpid();
#else
        const long pid = static_cast<long>(getpid());
#endif
        const fs::path base = fs::temp_directory_path();
        for (int attempt = 0; attempt < 1000; ++attempt) {
            fs::path p = base / ("vandrel_fuzz_" + std::to_string(pid) + "_" + std::to_string(attempt));
            std::error_code ec;
            if (fs::create_directory(p, ec)) {
                path_ = p;
                return;
            }
        }
        std::fprintf(stderr, "cannot create a scratch directory in %s\n", base.string().c_str());
        std::abort();
    }
    ~scratch_dir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;

    std::string file(const char* name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

    // Removes every file in the directory, so that each input starts clean
    // and whatever a decoder leaves behind can be seen.
    void clear() const {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(path_, ec)) {
            std::filesystem::remove_all(entry.path(), ec);
        }
    }

private:
    std::filesystem::path path_;
};

inline void write_file(const std::string& path, const uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    if (size > 0) FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
    FUZZ_CHECK(std::fclose(f) == 0);
}

// Size of a file, or -1 when it does not exist.
inline long long file_size(const std::string& path) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(path, ec);
    return ec ? -1 : static_cast<long long>(n);
}

// Number of "\n" in a file; 0 when it does not exist.
inline long long count_lines(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return 0;
    long long n = 0;
    char buf[1 << 14];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) {
        // memchr rather than a loop: the loop would be instrumented for
        // coverage and slow every run down.
        const char* p = buf;
        const char* const end = buf + got;
        while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr) {
            ++n;
            ++p;
        }
    }
    std::fclose(f);
    return n;
}

}  // namespace fuzz
}  // namespace vandrel
