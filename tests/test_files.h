// Scratch files for the tests: a fresh directory under the system's
// temporary directory per test, removed when the test ends, failed or not.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace vandrel_test {

class temp_dir {
public:
    temp_dir() : path_(std::filesystem::temp_directory_path() / unique_name()) {
        std::filesystem::create_directories(path_);
    }
    ~temp_dir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    static std::string unique_name() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "vandrel_test_";
        if (info != nullptr) name += std::string(info->test_suite_name()) + "_" + info->name();
        return name + "_" + std::to_string(std::random_device{}());
    }

    std::filesystem::path path_;
};

inline void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

// What a file that was not made reads as.
inline const std::string absent = "(absent)";

inline std::string read_text(const std::string& path) {
    if (!exists(path)) return absent;
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Joins lines, each ended with CR LF.
inline std::string lines(std::initializer_list<std::string> list) {
    std::string out;
    for (const std::string& l : list) out += l + "\r\n";
    return out;
}

}  // namespace vandrel_test
