#include "tdr/debug_dump.h"

#include <cstdio>

#include "platform/atomic_file.h"
#include "platform/file_names.h"
#include "platform/input_file.h"
#include "platform/interrupt.h"
#include "platform/output_file.h"
#include "tdr/decoder_state.h"

namespace vandrel {
namespace detail {

namespace {

// Names of the codes 0xF1..0xFF as the dump prints them. They follow the
// dump's own view of the stream: 0xF7 and 0xF8 are not treated as blocks
// here, and 0xFA is never listed.
const char* const desc[] = {
    "F1 Ignore",    "F2 GPS",       "F3 unused",  "F4 unused",      "F5 unused",
    "F6 info",      "F7 unused",    "F8 unused",  "F9 End of data", "FA absolute",
    "FB wet start", "FC CTD start", "FD CTD end", "FE dry start",   "FF ",
};

// Header sizes the dump reads after a code: GPS time and satellite count;
// the info block's length byte and its first 32 bytes whatever the length;
// a regime and a 7-byte time; the CTD interval and pressure zero.
constexpr uint32_t gps_header_bytes = 7;
constexpr uint32_t info_header_bytes = 33;
constexpr uint32_t time_bytes = 7;
constexpr uint32_t ctd_extra_bytes = 4;

constexpr std::size_t dump_buffer_size = 1 << 16;

// Reads up to n bytes into a zeroed buffer: bytes the input does not
// supply print as 0. The listing counts a header as whole even when the
// input ends inside it, so the END OF FILE position then lies past the end.
void read_header(input_file& in, uint8_t* buf, uint32_t n, uint32_t& position) {
    for (uint32_t i = 0; i < n; ++i) buf[i] = 0;
    in.read(buf, n);
    position += n;
}

void write_time_line(output_file& dump, uint8_t regime, const uint8_t* ts) {
    dump.printf(" Type=%hx Time=%hd/%02hd/%02hd %02hd:%02hd:%02hd.%02hd", (unsigned short)regime, (short)(ts[0] + 1900),
                (short)ts[1], (short)ts[2], (short)ts[3], (short)ts[4], (short)ts[5], (short)ts[6]);
}

}  // namespace

void write_debug_dump(tdr_decoder_state& st, int32_t start_offset) {
    const tdr_stream_request& context = st.request;
    const std::string path = context.debug_dump_path.empty() ? default_debug_dump_path() : context.debug_dump_path;
    input_file in;
    if (!in.open(context.in_path, context.read_buffer_size)) return;
    // Written under a temporary name and renamed: a link planted at the
    // path (in a shared temporary folder, say) is replaced, never followed,
    // and a run beside this one never sees half a dump. A temporary name
    // left by an interrupted run of the same process number goes first.
    const std::string temp = temporary_path_for(path);
    output_file dump;
    if (!dump.create(temp, dump_buffer_size, true)) {
        remove_file(temp);
        if (!dump.create(temp, dump_buffer_size, true)) {
            report_error(st, "Can't create debug dump file %s\n", path.c_str());
            return;
        }
    }
    // The dump pairs 0xFC with 0xFD on its own; decoding does not inherit it.
    bool in_ctd_cast = false;

    uint32_t position = 0;
    if (start_offset > 0) {
        dump.printf("Skipping %ld bytes", (long)start_offset);
        dump.end_line();
        position = static_cast<uint32_t>(start_offset);
        if (!in.seek(position)) {
            // Not seekable: pass over the bytes instead.
            uint8_t skip;
            for (uint32_t i = 0; i < position && in.get(skip); ++i) {
            }
        }
    }

    uint8_t tmp;
    while (in.get(tmp)) {
        if (tmp >= first_code && tmp != TDRCODE_ABSOLUTE) {
            dump.end_line();
            dump.printf("%8X: %s:", (unsigned)position, desc[tmp - first_code]);
            std::printf("\r%8X", (unsigned)position);
            uint8_t ts[info_header_bytes];
            switch (tmp) {
                case TDRCODE_GPS:
                    read_header(in, ts, gps_header_bytes, position);
                    dump.printf("%04d/%02hu/%02hu %02hu:%02hu:%02hu %hu sats", ts[0] + 1900, (unsigned short)ts[1],
                                (unsigned short)ts[2], (unsigned short)ts[3], (unsigned short)ts[4],
                                (unsigned short)ts[5], (unsigned short)ts[6]);
                    break;
                case TDRCODE_INFO:
                    read_header(in, ts, info_header_bytes, position);
                    dump.printf("size=%d ver=%u intvl=%u ctd=%u...", ts[0], (unsigned)(ts[1] << 8 | ts[2]),
                                (unsigned)(ts[3] << 8 | ts[4]), (unsigned)(ts[5] << 8 | ts[6]));
                    dump.end_line();
                    break;
                case TDRCODE_WET_START:
                    read_header(in, ts, 1 + time_bytes, position);
                    write_time_line(dump, ts[0], ts + 1);
                    dump.end_line();
                    break;
                case TDRCODE_START_CTD: {
                    read_header(in, ts, 1 + time_bytes, position);
                    write_time_line(dump, ts[0], ts + 1);
                    uint8_t extra[ctd_extra_bytes];
                    read_header(in, extra, ctd_extra_bytes, position);
                    dump.printf(" Intvl=%hx%hx Press=%hx%hx", (unsigned short)extra[0], (unsigned short)extra[1],
                                (unsigned short)extra[2], (unsigned short)extra[3]);
                    dump.end_line();
                    in_ctd_cast = true;
                    break;
                }
                case TDRCODE_END_CTD:
                    dump.write(in_ctd_cast ? "OK" : "** Error **");
                    dump.end_line();
                    in_ctd_cast = false;
                    break;
                default:
                    break;
            }
        }
        ++position;
    }
    dump.end_line();
    dump.printf("%8X: END OF FILE", (unsigned)position);
    dump.end_line();
    if (interrupt_requested()) {
        // The listing ends where the run was interrupted: none is better
        // than one that looks whole.
        dump.close();
        remove_file(temp);
        return;
    }
    if (!dump.close() || !replace_file(temp, path)) {
        remove_file(temp);
        report_error(st, "Can't write debug dump file %s\n", path.c_str());
    }
}

}  // namespace detail
}  // namespace vandrel
