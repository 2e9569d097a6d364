// The heart of the decoder: read_rel and dispatch_code call each other.
//
// Samples inside a block are relative: each field is one delta byte. A code
// can stand in front of any delta field. Some codes are mere fillers and are
// skipped; some open a block of their own (a GPS record, the info block, a
// wet/dry change, an accelerometer burst, a CTD cast), which read_rel hands
// to dispatch_code, which decodes the whole block - possibly reading relative
// samples of its own with read_rel - and gives back the byte after it. That
// byte is examined as if freshly read: the delta that was waiting, or the
// next code.
//
// The remaining codes end the samples that are being read, and travel back
// up through every nested level until one of them handles it:
//
//   driver loop: dispatch_code(0xFB)                        level 0
//     stream_tdr ... read_rel meets 0xFC
//       dispatch_code(0xFC) -> begin_ctd_cast               level 1
//         stream_ctd ... read_rel meets 0xF8
//           dispatch_code(0xF8) -> stream_acc               level 2
//             read_rel meets 0xF9: returned, the burst ends;
//             stream_acc reads the next byte and returns it
//         stream_ctd goes on with that byte as its delta ...
//         read_rel meets 0xFB: returned; stream_ctd ends with it
//       begin_ctd_cast returns 0xFB, dispatch_code returns 0xFB
//     read_rel in stream_tdr gets 0xFB back and returns it; the run ends
//   dispatch_code returns 0xFB to the driver loop, which dispatches it.
//
// 0xFB, 0xFE and 0xFF go up to the driver loop; 0xF9 ends the accelerometer
// burst that owns it and 0xFD the CTD cast that owns it (outside those, they
// are skipped). The end of the input travels up the same way, as 0xFF.

#include "tdr/dispatch.h"

#include "tdr/acc_stream.h"
#include "tdr/ctd_stream.h"
#include "tdr/decoder_state.h"
#include "tdr/gps_info.h"
#include "tdr/stream_reader.h"
#include "tdr/tdr_stream.h"

namespace vandrel {
namespace detail {

namespace {

// A block opened from inside relative samples: one level deeper.
uint8_t dispatch_nested(tdr_decoder_state& st, uint8_t code) {
    if (st.nesting_depth >= max_block_nesting) {
        report_error(st, "Blocks nested too deeply at byte %lu\n", static_cast<unsigned long>(st.byte_offset));
        stop_input(st);
        return TDRCODE_END;
    }
    ++st.nesting_depth;
    const uint8_t next = dispatch_code(st, code);
    --st.nesting_depth;
    return next;
}

// The delta field whose first byte is x (not a code).
uint8_t apply_delta_field(tdr_decoder_state& st, uint8_t x, uint16_t& value, bool force_abs) {
    if (force_abs) {
        // Absolute mode: x is the high byte (0xFA included) of the new value.
        uint8_t low;
        if (!read_bytes(st, &low, 1)) return TDRCODE_END;
        value = static_cast<uint16_t>(x << 8 | low);
        return 0;
    }
    if (x == TDRCODE_ABSOLUTE) return read_unint(st, value) ? 0 : TDRCODE_END;
    value = apply_delta(value, x);
    return 0;
}

}  // namespace

uint8_t read_rel_code(tdr_decoder_state& st, uint8_t x, uint16_t& value, bool force_abs) {
    // x is a code, or any byte in absolute mode. Handle codes until the byte
    // in hand is the first byte of the delta field.
    for (;;) {
        if (x < first_code || x == TDRCODE_ABSOLUTE) return apply_delta_field(st, x, value, force_abs);
        switch (x) {
            case TDRCODE_IGNORE:  // filler
            case 0xF3:            // codes without a meaning
            case 0xF4:
            case 0xF5:
                break;
            case TDRCODE_GPS:
            case TDRCODE_INFO:
            case TDRCODE_WETDRY:
            case TDRCODE_START_ACC:
            case TDRCODE_START_CTD:
                x = dispatch_nested(st, x);
                continue;
            case TDRCODE_END_ACC:
                if (st.in_acc_block) return x;
                break;
            case TDRCODE_END_CTD:
                if (st.in_ctd_cast) return x;
                break;
            default:  // 0xFB, 0xFE, 0xFF end the caller's samples
                return x;
        }
        // Skipped: the next byte takes its place.
        if (!read_bytes(st, &x, 1)) return TDRCODE_END;
    }
}

uint8_t dispatch_code(tdr_decoder_state& st, uint8_t code) {
    uint8_t next = TDRCODE_END;
    switch (code) {
        case TDRCODE_GPS:
            next = decode_gps_record(st);
            break;
        case TDRCODE_INFO:
            next = decode_info_block(st);
            break;
        case TDRCODE_WETDRY: {
            // One byte of new wet/dry state, then the next stream byte.
            uint8_t wetdry;
            if (read_bytes(st, &wetdry, 1)) {
                st.wetdry_state = wetdry;
                st.out.wetdry({st.tdr_time, wetdry, st.byte_offset});
            }
            read_bytes(st, &next, 1);
            break;
        }
        case TDRCODE_START_ACC:
            st.in_acc_block = true;
            next = stream_acc(st, st.tdr_time);
            break;
        case TDRCODE_END_ACC:
            // Only the dispatcher closes the burst for read_rel; the burst's own
            // closing code is consumed by stream_acc.
            st.in_acc_block = false;
            read_bytes(st, &next, 1);
            break;
        case TDRCODE_WET_START:
            next = decode_wet_start(st);
            break;
        case TDRCODE_START_CTD:
            next = begin_ctd_cast(st);
            break;
        case TDRCODE_END_CTD:
            // A cast consumes its own closing code; a stray one is passed over.
            read_bytes(st, &next, 1);
            break;
        case TDRCODE_DRY_START:
            next = decode_dry_start(st);
            break;
        case TDRCODE_END:
            st.end_of_input = true;
            return TDRCODE_END;
        default:
            // A data byte where a code was expected, or a code that only means
            // something inside samples (0xF1, 0xFA) or means nothing (0xF3..0xF5).
            // The stream is out of step: stop here.
            report_error(st, "Unknown code %hx at byte %lu\n", static_cast<unsigned short>(code),
                         static_cast<unsigned long>(st.byte_offset));
            return TDRCODE_END;
    }
    // The end of the input inside a block ends every level above it too.
    return st.end_of_input ? TDRCODE_END : next;
}

}  // namespace detail
}  // namespace vandrel
