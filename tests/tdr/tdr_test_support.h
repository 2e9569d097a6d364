// Running the decoder on a stream built in a test, and reading back the four
// data files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../test_files.h"
#include "tdr/decode_tdr_file.h"
#include "tools/tdr_stream_encoder.h"

namespace vandrel_test {

// What a missing file reads as.
inline const std::string absent = "(absent)";

inline std::string read_or_absent(const std::string& path) { return exists(path) ? read_text(path) : absent; }

struct decode_result {
    bool ok = false;
    vandrel::tdr_context context;
    std::string tdr, ctd, gps, acc;
};

struct decode_options {
    int32_t start_offset = 0;
    bool debug_dump = false;
    std::string dump_path;  // empty: dir/dump.txt
    vandrel::progress_fn progress = nullptr;
    std::size_t read_buffer_size = 1 << 16;
};

// Dir: anything with file(name) giving a path in a scratch directory.
template <typename Dir>
decode_result decode_bytes(const Dir& dir, const std::vector<uint8_t>& bytes, const decode_options& opt = {}) {
    write_bytes(dir.file("in.dat"), bytes);
    decode_result r;
    r.context.in_path = dir.file("in.dat");
    r.context.tdr_path = dir.file("tdr.txt");
    r.context.ctd_path = dir.file("ctd.txt");
    r.context.gps_path = dir.file("gps.txt");
    r.context.acc_path = dir.file("acc.txt");
    r.context.debug_dump_path = opt.dump_path.empty() ? dir.file("dump.txt") : opt.dump_path;
    r.context.read_buffer_size = opt.read_buffer_size;
    r.ok = vandrel::decode_tdr_file(r.context, opt.progress, opt.start_offset, opt.debug_dump);
    r.tdr = read_or_absent(r.context.tdr_path);
    r.ctd = read_or_absent(r.context.ctd_path);
    r.gps = read_or_absent(r.context.gps_path);
    r.acc = read_or_absent(r.context.acc_path);
    return r;
}

template <typename Dir>
decode_result decode_stream(const Dir& dir, const vandrel::encode::stream_encoder& s, const decode_options& opt = {}) {
    return decode_bytes(dir, s.bytes, opt);
}

// Joins lines, each ended with CR LF.
inline std::string lines(std::initializer_list<const char*> list) {
    std::string out;
    for (const char* l : list) {
        out += l;
        out += "\r\n";
    }
    return out;
}

using vandrel::encode::stream_time;

}  // namespace vandrel_test
