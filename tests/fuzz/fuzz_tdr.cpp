// Fuzz target: the whole TDR decode on an arbitrary stream.
//
// Input: three switch bytes, then the stream file.
//   byte 0  bit 0  write the debug dump first
//           bit 1  skip leading bytes; bits 2-3 say how many:
//                    0: N, 1: -N-1 (a negative count), 2: INT32_MAX, 3: N*256
//           bit 4  pass a progress callback
//           bit 5  read through a 7-byte buffer, so that refills fall inside
//                  blocks and fields
//   bytes 1-2  N, big-endian
// The stream is written to a scratch directory of this process; the four
// data files and the dump go beside it. An accelerometer overflow stops the
// decoding like the end of the input, with the run reported as failed.
//
// Checked after each run: the message is terminated, nothing but the
// expected files is left, the dump exists only when asked for, every record
// counted is a line in its file, and the outputs grow at most in proportion
// to the input (a few hundred bytes out per byte in, past the headers).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <system_error>

#include "tests/fuzz/fuzz_support.h"
#include "text/decode_tdr_file.h"

namespace {

constexpr std::size_t switch_bytes = 3;
constexpr long long max_output_per_input_byte = 256;
constexpr long long output_allowance = 64LL * 1024;

uint32_t last_progress_offset = 0;

void on_progress(uint32_t byte_offset, uint32_t /*tdr*/, uint32_t /*ctd*/, uint32_t /*gps*/, uint32_t /*acc*/) {
    // Reported positions only move forward within a run.
    FUZZ_CHECK(byte_offset >= last_progress_offset);
    last_progress_offset = byte_offset;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    vandrel::fuzz::silence_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace vandrel;
    uint8_t switches[switch_bytes] = {};
    std::memcpy(switches, data, size < switch_bytes ? size : switch_bytes);
    const uint8_t* stream = data + (size < switch_bytes ? size : switch_bytes);
    const std::size_t stream_size = size < switch_bytes ? 0 : size - switch_bytes;

    const bool dump = (switches[0] & 0x01) != 0;
    const int32_t n = switches[1] << 8 | switches[2];
    const int32_t offsets[] = {n, -n - 1, std::numeric_limits<int32_t>::max(), n * 256};
    const int32_t start_offset = (switches[0] & 0x02) != 0 ? offsets[(switches[0] >> 2) & 3] : 0;
    const progress_fn progress = (switches[0] & 0x10) != 0 ? on_progress : nullptr;

    fuzz::clear_scratch();
    tdr_context context;
    context.in_path = fuzz::scratch_file("stream.dat");
    context.tdr_path = fuzz::scratch_file("tdr.txt");
    context.ctd_path = fuzz::scratch_file("ctd.txt");
    context.gps_path = fuzz::scratch_file("gps.txt");
    context.acc_path = fuzz::scratch_file("acc.txt");
    context.debug_dump_path = fuzz::scratch_file("dump.txt");
    if ((switches[0] & 0x20) != 0) context.read_buffer_size = 7;
    // The tables and a further writer in threads of their own, unless the
    // switch asks for one thread.
    tdr_record_sink further_writer;
    context.writers = {&further_writer};
    context.threads = (switches[0] & 0x40) != 0 ? 1 : 3;
    fuzz::write_file(context.in_path, stream, stream_size);

    last_progress_offset = 0;
    const bool ok = decode_tdr_file(context, progress, start_offset, dump);
    if (context.acc_overflow) FUZZ_CHECK(!ok);
    FUZZ_CHECK(std::memchr(context.message, '\0', sizeof context.message) != nullptr);

    long long output_bytes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(fuzz::scratch())) {
        const std::string name = entry.path().filename().string();
        FUZZ_CHECK(name == "stream.dat" || name == "tdr.txt" || name == "ctd.txt" || name == "gps.txt" ||
                   name == "acc.txt" || (dump && name == "dump.txt"));
        std::error_code ec;
        if (name != "stream.dat") output_bytes += static_cast<long long>(entry.file_size(ec));
    }
    FUZZ_CHECK(output_bytes <= output_allowance + max_output_per_input_byte * static_cast<long long>(stream_size));

    FUZZ_CHECK(fuzz::count_lines(context.tdr_path) >= context.tdr_records);
    FUZZ_CHECK(fuzz::count_lines(context.ctd_path) >= context.ctd_records);
    FUZZ_CHECK(fuzz::count_lines(context.gps_path) >= context.gps_fixes);
    FUZZ_CHECK(fuzz::count_lines(context.acc_path) >= context.acc_records);
    return 0;
}
