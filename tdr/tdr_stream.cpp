#include "tdr/tdr_stream.h"

#include <cmath>
#include <cstring>

#include "platform/civil_time.h"
#include "platform/number_format.h"
#include "tdr/stream_reader.h"
#include "tdr/time_text.h"

namespace vandrel {
namespace detail {

namespace {

// A relative depth that steps below zero wraps to a value near 65535; raw
// depths above this are taken as 0.
constexpr uint16_t max_raw_depth = 21000;

// Room for the longest TDR row: the time, ten short numbers and 255 photo
// channels of "\t%5u".
constexpr std::size_t max_tdr_row = 64 + 10 * 24 + max_photo_channels * 8;

struct regime_info {
    const char* header;  // nullptr: regime 3 builds its own, others are unknown
    unsigned mask;
};

// Regimes 1..7; every other regime is unknown and has no mask.
constexpr regime_info regimes[] = {
    {nullptr, 0x00},
    {"DATE (UTC)\tDEPTH (m)\tTEMP (C)", 0x03},
    {"DATE (UTC)\tDEPTH (m)", 0x01},
    {nullptr, 0x05},  // depth and n_photo photo channels
    {nullptr, 0x00},
    {"DATE (UTC)\tDEPTH (cm)", 0x01},
    {"DATE (UTC)\tDEPTH (m)\tWETDRY", 0x21},
    {"DATE (UTC)\tDEPTH (m)\tTEMP (C)\tODO_DELTA (m)\tMAGX (uT)\tMAGY (uT)\tMAGZ (uT)\tMAG_TEMP (C)"
     "\tDRYNESS",
     0x3B},
};
constexpr uint8_t regime_count = sizeof regimes / sizeof regimes[0];

void write_tdr_header(output_file& f, uint8_t regime) {
    if (regime == 3) {
        f.write("DATE (UTC)\tDEPTH (m)");
        for (unsigned i = 0; i < state.n_photo; ++i) f.printf("\tPHOTO%u", i);
    } else if (regime < regime_count && regimes[regime].header != nullptr) {
        f.write(regimes[regime].header);
    } else {
        f.printf("***Unknown TDR regime %hu ***", (unsigned short)regime);
    }
    f.end_line();
}

// The TDR columns are raw counts times a scale of 0.1, 0.05 or 0.12, printed
// with as many decimals as the scale has. Their exact values lie on the grid
// of the last printed digit, and the doubles the scaling gives stay within
// far less than half a digit of it, so printing units / 10^decimals from
// integers gives the same text as formatting the double (the tests check
// every raw value). Zero is the exception: a scaled value that should be 0
// may come out as a tiny negative double, printed with a minus sign, so the
// caller formats that case from the double itself.
char* put_decimal(char* p, int64_t units, int decimals) {
    if (units < 0) {
        *p++ = '-';
        units = -units;
    }
    int64_t scale = decimals == 1 ? 10 : 100;
    p = format_uint(p, static_cast<uint64_t>(units / scale));
    *p++ = '.';
    for (int64_t rest = units % scale; scale > 1;) {
        scale /= 10;
        *p++ = static_cast<char>('0' + rest / scale);
        rest %= scale;
    }
    return p;
}

void write_tdr_record(output_file* file, const tdr_sample& s, unsigned mask) {
    if (file == nullptr) return;
    char* const start = file->reserve(max_tdr_row);
    char* p = format_utc(start, whole_seconds(state.tdr_time + 0.0005), '/');
    *p++ = '\t';
    p = put_decimal(p, s.depth, 1);  // * 0.1
    if (mask & channel_temperature) {
        *p++ = '\t';
        // * 0.05 - 273.15, in hundredths
        const int64_t centi = static_cast<int64_t>(s.temperature) * 5 - 27315;
        p = centi != 0 ? put_decimal(p, centi, 2) : format_fixed(p, s.temperature * 0.05 - 273.15, 2);
    }
    if (mask & channel_photo) {
        for (unsigned i = 0; i < state.n_photo; ++i) {
            *p++ = '\t';
            p = format_uint(p, s.photo[i], 5);
        }
    }
    if (mask & channel_odo) {
        *p++ = '\t';
        p = put_decimal(p, static_cast<int64_t>(s.odo) * 12, 2);  // * 0.12
    }
    if (mask & channel_magnetometer) {
        for (uint16_t axis : s.mag) {
            *p++ = '\t';
            p = put_decimal(p, static_cast<int16_t>(axis), 1);  // signed, * 0.1
        }
        *p++ = '\t';
        p = format_int(p, static_cast<int8_t>(s.mag_temp & 0xFF));
    }
    if (mask & (channel_wetdry_column | channel_wetdry_byte)) {
        *p++ = '\t';
        p = format_uint(p, state.wetdry_state);
    }
    *p++ = '\r';
    *p++ = '\n';
    file->commit(p);
    ++state.tdr_record_count;
}

// The absolute first sample of a run. False at the end of the input.
bool read_first_sample(tdr_sample& s, unsigned mask) {
    if ((mask & channel_depth) && !read_unint(s.depth)) return false;
    if ((mask & channel_temperature) && !read_unint(s.temperature)) return false;
    if (mask & channel_photo) {
        for (unsigned i = 0; i < state.n_photo; ++i)
            if (!read_unint(s.photo[i])) return false;
    }
    if ((mask & channel_odo) && !read_unint(s.odo)) return false;
    if (mask & channel_magnetometer) {
        for (uint16_t& axis : s.mag)
            if (!read_unint(axis)) return false;
        uint8_t b;
        if (!read_bytes("stream_mag", &b, 1)) return false;
        s.mag_temp = b;
    }
    if (mask & channel_wetdry_byte) {
        uint8_t b;
        if (!read_bytes("stream_wetdry", &b, 1)) return false;
        state.wetdry_state = b;
    }
    return true;
}

// One relative sample, updating s in place. Returns 0, or the code (or 0xFF
// at the end of the input) that stopped it; the fields after it keep their
// values. photo_used grows to the highest photo channel ever touched.
uint8_t read_relative_sample(tdr_sample& s, unsigned mask, tdr_context& context, unsigned& photo_used) {
    uint8_t r;
    if (mask & channel_depth) {
        if ((r = read_rel(s.depth, context, state.abs_mode)) != 0) return r;
        if (s.depth > max_raw_depth) s.depth = 0;
    }
    if ((mask & channel_temperature) && (r = read_rel(s.temperature, context, state.abs_mode)) != 0) return r;
    if (mask & channel_photo) {
        // A nested info block may change n_photo while the sample is read.
        for (unsigned i = 0; i < state.n_photo; ++i) {
            if (i >= photo_used) photo_used = i + 1;
            if ((r = read_rel(s.photo[i], context, state.abs_mode)) != 0) return r;
        }
    }
    if (mask & channel_wetdry_byte) {
        uint8_t b;
        if (!read_bytes("stream_wetdry_uncond", &b, 1)) return TDRCODE_END;
        state.wetdry_state = b;
    }
    if ((mask & channel_odo) && (r = read_rel(s.odo, context, state.abs_mode)) != 0) return r;
    if (mask & channel_magnetometer) {
        for (uint16_t& axis : s.mag)
            if ((r = read_rel(axis, context, state.abs_mode)) != 0) return r;
        uint8_t b;
        if (!read_bytes("stream_mag", &b, 1)) return TDRCODE_END;
        s.mag_temp = b;
    }
    return 0;
}

void copy_sample(tdr_sample& to, const tdr_sample& from, unsigned photo_used) {
    std::memcpy(&to, &from, offsetof(tdr_sample, photo) + photo_used * sizeof(uint16_t));
}

}  // namespace

unsigned tdr_channel_mask(uint8_t regime) { return regime < regime_count ? regimes[regime].mask : 0; }

char* format_time_text(double time, char* text) {
    // Round to the millisecond, then drop the fraction.
    return format_utc(text, whole_seconds(time + 0.0005), '/');
}

uint8_t stream_tdr(unsigned mask, double dt, tdr_context& context) {
    output_file* file = state.tdr_file.get();
    if (mask == 0) {
        // No regime gives a sample without fields: the stream cannot be in step.
        if (file != nullptr) {
            file->write("Illegal stream contents (0)");
            file->end_line();
        }
        return TDRCODE_END;
    }
    // Every value the mask does not select stays 0. The row of a sample is
    // written once the next sample has been read, so that a code that ends
    // the run in the middle of a sample leaves its fields read so far in the
    // last row.
    tdr_sample sample{};
    tdr_sample previous{};
    unsigned photo_used = mask & channel_photo ? state.n_photo : 0;
    if (!read_first_sample(sample, mask)) return TDRCODE_END;
    uint8_t r;
    for (;;) {
        copy_sample(previous, sample, photo_used);
        if ((r = read_relative_sample(sample, mask, context, photo_used)) != 0) break;
        write_tdr_record(state.tdr_file.get(), previous, mask);
        state.tdr_time += dt;
    }
    write_tdr_record(state.tdr_file.get(), sample, mask);
    return r;
}

uint8_t decode_wet_start(tdr_context& context) {
    // Regime, time of the first sample, interval in hundredths of a second.
    read_bytes("tdr_start_normal", &context.regime, 1);
    read_time(state.tdr_time);
    read_unint(state.tdr_interval);
    if (!state.tdr_file) {
        state.tdr_file = create_data_file(context.tdr_path);
        if (state.tdr_file) {
            // The header follows the regime of the run that creates the file.
            write_tdr_header(*state.tdr_file, context.regime);
        } else {
            report_error(context, "Can't create TDR data file %s\n", context.tdr_path.c_str());
        }
    }
    if (state.haulout_start != 0.0) {
        // The haul-out ends one interval before the first sample of this run.
        if (state.tdr_file) {
            char sstr[time_text_size];
            char estr[time_text_size];
            char* send = format_time_text(state.haulout_start, sstr);
            char* eend = format_time_text(state.tdr_time - state.tdr_interval * 0.01, estr);
            output_file& f = *state.tdr_file;
            f.write("HAULOUT: ");
            f.write(sstr, static_cast<std::size_t>(send - sstr));
            f.put(' ');
            f.write(estr, static_cast<std::size_t>(eend - estr));
            f.end_line();
        }
        state.haulout_start = 0.0;
    }
    return stream_tdr(tdr_channel_mask(context.regime), state.tdr_interval * 0.01, context);
}

uint8_t decode_dry_start(tdr_context& context) {
    // The haul-out began a minute before the last row, less two intervals.
    state.haulout_start = state.tdr_interval * 0.02 + state.tdr_time - 60.0;
    read_unint(state.tdr_interval);
    switch (context.regime) {
        case 1:
            // On land only the temperature is recorded.
            return stream_tdr(channel_temperature, state.tdr_interval * 0.01, context);
        case 2:
        case 3:
        case 5: {
            uint8_t next = TDRCODE_END;
            read_bytes("start dry completed", &next, 1);
            return next;
        }
        default:
            // Returned as it is: the caller dispatches 0xFE again on the bytes
            // that follow. Stored streams rely on this.
            return TDRCODE_DRY_START;
    }
}

}  // namespace detail
}  // namespace vandrel
