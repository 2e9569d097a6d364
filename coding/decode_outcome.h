// How one decoding of an input ended, for both decoders: the rows handed to
// each table, where decoding stopped, and every error met on the way, in
// order. The commands' console lines, status codes and the older entry
// points' return values and messages are all made from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vandrel {

struct decode_outcome {
    // Rows handed on: the TDR stream's four tables, the packet file's samples.
    uint64_t tdr_rows = 0;
    uint64_t ctd_rows = 0;
    uint64_t gps_fixes = 0;
    uint64_t acc_rows = 0;
    uint64_t samples = 0;

    uint64_t end_offset = 0;   // input position at which decoding stopped
    bool open_error = false;   // the input could not be opened: nothing was decoded
    bool read_error = false;   // a read failed other than at the end of the input
    bool write_error = false;  // a table was not written completely
    // An accelerometer burst overflowed its buffer: decoding stopped there.
    bool acc_overflow = false;
    // Decoding ended before the end of the input with bytes other than
    // erased flash (0xFF) left undecoded.
    bool stopped_early = false;
    // A TDR run of a regime without channels stopped decoding.
    bool unknown_regime = false;
    // CTD rows at which the "Stop" console marker is due (a relative sample
    // began at row 14168).
    int stop_markers = 0;
    // TDR streams: the regime of the last run of TDR samples (9 before the
    // first) and the logger's firmware from the info block.
    uint8_t regime = 9;
    uint32_t fw_version = 0;
    // Every error reported, in order, each without its line end.
    std::vector<std::string> errors;

    bool ok() const { return errors.empty() && !open_error && !read_error && !write_error; }
};

}  // namespace vandrel
