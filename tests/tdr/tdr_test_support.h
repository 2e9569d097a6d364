// Running the TDR decoder on a stream built in a test, reading back its four
// data files, and the values the TDR tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../test_files.h"
#include "tdr/decode_tdr_file.h"
#include "tools/tdr_stream_encoder.h"

namespace vandrel_test {

using vandrel::encode::info_fields;
using vandrel::encode::stream_encoder;
using enc = vandrel::encode::stream_encoder;
using vandrel::encode::stream_time;

const stream_time noon{2019, 7, 1, 12, 0, 0};
const std::string ctd_header = "DATE (UTC)\tPRESSURE (dbar)\tTEMP (C)\tCOND (mS/cm)\tSAL_LAGGED (PSU)\tTIME_VALID\r\n";
const std::string acc_header = "DATE (UTC)\tX\tY\tZ\r\n";

struct decode_result {
    bool ok = false;
    vandrel::tdr_context context;
    std::string tdr, ctd, gps, acc, console, dump;
};

struct decode_options {
    int32_t start_offset = 0;
    bool debug_dump = false;
    std::string dump_path;  // empty: dump.txt in the scratch directory
    vandrel::progress_fn progress = nullptr;
    std::size_t read_buffer_size = 1 << 16;
};

// Decodes bytes in a fresh scratch directory; the console text is kept.
// The debug dump goes to dump.txt there unless the options name a path.
inline decode_result decode_bytes(const std::vector<uint8_t>& bytes, const decode_options& opt = {}) {
    temp_dir dir;
    write_bytes(dir.file("in.dat"), bytes);
    decode_result r;
    vandrel::tdr_context& c = r.context;
    c.in_path = dir.file("in.dat");
    c.tdr_path = dir.file("tdr.txt");
    c.ctd_path = dir.file("ctd.txt");
    c.gps_path = dir.file("gps.txt");
    c.acc_path = dir.file("acc.txt");
    c.debug_dump_path = opt.dump_path.empty() ? dir.file("dump.txt") : opt.dump_path;
    c.read_buffer_size = opt.read_buffer_size;
    testing::internal::CaptureStdout();
    r.ok = vandrel::decode_tdr_file(c, opt.progress, opt.start_offset, opt.debug_dump);
    r.console = testing::internal::GetCapturedStdout();
    r.tdr = read_text(c.tdr_path);
    r.ctd = read_text(c.ctd_path);
    r.gps = read_text(c.gps_path);
    r.acc = read_text(c.acc_path);
    // (A dump to a device such as /dev/full is not read back.)
    if (opt.debug_dump && !(exists(c.debug_dump_path) && !std::filesystem::is_regular_file(c.debug_dump_path)))
        r.dump = read_text(c.debug_dump_path);
    return r;
}

inline decode_result decode_stream(const stream_encoder& s, const decode_options& opt = {}) {
    return decode_bytes(s.bytes, opt);
}

// The run's counters, end position, files made (t, c, g, a) and message in
// one line, as a row of a table states them: "tdr=1 ctd=0 gps=0 acc=0 end=17
// made=t", then the message, if any, after a space.
inline std::string summary(const decode_result& r) {
    const vandrel::tdr_context& c = r.context;
    std::string s = "tdr=" + std::to_string(c.tdr_records) + " ctd=" + std::to_string(c.ctd_records) +
                    " gps=" + std::to_string(c.gps_fixes) + " acc=" + std::to_string(c.acc_records) +
                    " end=" + std::to_string(c.end_offset) + " made=";
    const std::string* files[] = {&r.tdr, &r.ctd, &r.gps, &r.acc};
    for (int i = 0; i < 4; ++i)
        if (*files[i] != absent) s += "tcga"[i];
    std::string message(c.message);
    if (!message.empty() && message.back() == '\n') message.pop_back();
    if (!message.empty()) s += " " + message;
    if (r.ok == !message.empty()) s += " (ok and message disagree)";
    return s;
}

// A row of a decoding table: the stream, the summary, and the text of one of
// the data files (which one the test says).
struct run_row {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string summary;
    std::string text;
};

inline void check_runs(const std::vector<run_row>& rows, std::string decode_result::*file) {
    for (const run_row& row : rows) {
        const decode_result r = decode_bytes(row.bytes);
        EXPECT_EQ(summary(r), row.summary) << row.name;
        EXPECT_EQ(r.*file, row.text) << row.name;
    }
}

}  // namespace vandrel_test
