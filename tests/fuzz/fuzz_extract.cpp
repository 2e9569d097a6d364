// Fuzz target: the whole packet-file extraction on an arbitrary file.
//
// The input is the packet file itself. It is written to a scratch directory
// of this process, extracted to a table beside it with a fixed time of run,
// and the table is checked: one header line and one line per sample counted,
// no more samples than 21 per whole packet, and no file left but the two.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "text/extract_packet_file.h"

namespace {

// 2026-03-01 00:00:00 UTC: every run dates its packets against the same now.
constexpr int64_t fixed_now = 1772323200;
constexpr long long max_samples_per_packet = 21;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    vandrel::fuzz::silence_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace vandrel;
    fuzz::clear_scratch();
    const std::string in = fuzz::scratch_file("input.bin");
    const std::string out = fuzz::scratch_file("input_extracted.txt");
    fuzz::write_file(in, data, size);

    // The table in a thread of its own, but for inputs of a size divisible
    // by three; a further writer besides it for every other size.
    packet_record_sink further_writer;
    packet_file_request request;
    request.in_fname = in;
    request.out_fname = out;
    request.now = fixed_now;
    request.threads = size % 3 == 0 ? 1 : 2;
    if (size % 2 == 0) request.writers.push_back(&further_writer);
    const int rows = extract_packet_file(request);
    FUZZ_CHECK(rows >= 0);
    FUZZ_CHECK(rows <= static_cast<long long>(size / packet_size) * max_samples_per_packet);
    FUZZ_CHECK(fuzz::count_lines(out) == rows + 1);

    FUZZ_CHECK(std::distance(std::filesystem::directory_iterator(fuzz::scratch()), {}) == 2);
    return 0;
}
