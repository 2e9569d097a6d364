// What the fuzz targets share: a scratch directory of their own under the
// system's temporary directory for the files the decoders read and write, a
// quiet console, and a check that removes the scratch directory and aborts
// (so that libFuzzer and the replay runner both see a failure) when a
// property of the decoders does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace vandrel {
namespace fuzz {

// The process's scratch directory: made on first use, removed at exit and
// when a property fails.
// (Never destroyed, so that the exit handler can still read it.)
inline const std::filesystem::path& scratch() {
    static const std::filesystem::path* const path = [] {
        const auto* p = new std::filesystem::path(std::filesystem::temp_directory_path() /
                                                  ("vandrel_fuzz_" + std::to_string(std::random_device{}())));
        std::filesystem::create_directories(*p);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(scratch(), ec);
        });
        return p;
    }();
    return *path;
}

inline std::string scratch_file(const char* name) { return (scratch() / name).string(); }

[[noreturn]] inline void fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    std::error_code ec;
    std::filesystem::remove_all(scratch(), ec);
    std::abort();
}

#define FUZZ_CHECK(cond) ((cond) ? (void)0 : vandrel::fuzz::fail(__FILE__, __LINE__, #cond))

// The decoders print progress and traces on standard output; thousands of
// runs a second would flood the terminal. libFuzzer reports on standard
// error, which stays.
inline void silence_stdout() {
#ifdef _WIN32
    FUZZ_CHECK(std::freopen("NUL", "w", stdout) != nullptr);
#else
    FUZZ_CHECK(std::freopen("/dev/null", "w", stdout) != nullptr);
#endif
}

// Removes every file in the scratch directory, so that each input starts
// clean and whatever a decoder leaves behind can be seen.
inline void clear_scratch() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(scratch(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

inline void write_file(const std::string& path, const uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    if (size > 0) FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
    FUZZ_CHECK(std::fclose(f) == 0);
}

// Number of "\n" in a file; 0 when it does not exist. (memchr rather than a
// loop of our own, which would be instrumented for coverage and slow.)
inline long long count_lines(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return 0;
    long long n = 0;
    char buf[1 << 14];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) {
        const char* const end = buf + got;
        for (const char* p = buf;
             (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))); ++p)
            ++n;
    }
    std::fclose(f);
    return n;
}

}  // namespace fuzz
}  // namespace vandrel
