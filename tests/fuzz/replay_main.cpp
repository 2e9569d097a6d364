// Runs a fuzz target over saved inputs, without libFuzzer: every file named
// on the command line, and every file in every directory named there, is
// handed to LLVMFuzzerTestOneInput once. The ordinary test suite uses this
// to replay the seed corpus and the inputs of past findings; a finding that
// comes back aborts (a failed property, or a sanitizer in the sanitizer
// build) and names the file it came from.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

std::vector<uint8_t> read_all(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg = argv[i];
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            for (const auto& entry : fs::directory_iterator(arg)) {
                if (entry.is_regular_file()) inputs.push_back(entry.path());
            }
        } else if (fs::is_regular_file(arg, ec)) {
            inputs.push_back(arg);
        } else {
            // A target without past findings has no directory of them yet.
            std::fprintf(stderr, "skipped, not there: %s\n", argv[i]);
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());

    LLVMFuzzerInitialize(&argc, &argv);
    for (const fs::path& p : inputs) {
        std::fprintf(stderr, "%s\n", p.string().c_str());
        std::fflush(stderr);
        std::vector<uint8_t> data = read_all(p);
        // libFuzzer never passes a null pointer, not even for no bytes.
        data.reserve(1);
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::fprintf(stderr, "replayed %zu inputs\n", inputs.size());
    return 0;
}
