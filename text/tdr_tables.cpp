#include "text/tdr_tables.h"

#include <cmath>

#include "platform/civil_time.h"
#include "platform/number_format.h"
#include "tdr/time_text.h"

namespace vandrel {

namespace {

using detail::format_time_text;
using detail::time_text_size;
using detail::whole_seconds;

// Room for the longest rows: the time and every number at its widest.
constexpr std::size_t max_tdr_row = 64 + 10 * 24 + max_photo_channels * 8;
constexpr std::size_t max_ctd_row = 64 + (5 + max_ctd_extra_channels) * max_fixed_chars;

// Header lines of the TDR regimes 1..7 (regime 3 builds its own from the
// photo channel count); any other regime is unknown.
const char* const regime_headers[] = {
    nullptr,
    "DATE (UTC)\tDEPTH (m)\tTEMP (C)",
    "DATE (UTC)\tDEPTH (m)",
    nullptr,
    nullptr,
    "DATE (UTC)\tDEPTH (cm)",
    "DATE (UTC)\tDEPTH (m)\tWETDRY",
    "DATE (UTC)\tDEPTH (m)\tTEMP (C)\tODO_DELTA (m)\tMAGX (uT)\tMAGY (uT)\tMAGZ (uT)\tMAG_TEMP (C)\tDRYNESS",
};
constexpr unsigned regime_header_count = sizeof regime_headers / sizeof regime_headers[0];

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

char* end_row(char* p) {
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

}  // namespace

const std::string& tdr_text_tables::path(tdr_table_kind kind) const {
    switch (kind) {
        case tdr_table_kind::tdr:
            return paths_.tdr;
        case tdr_table_kind::ctd:
            return paths_.ctd;
        case tdr_table_kind::gps:
            return paths_.gps;
        case tdr_table_kind::acc:
        default:
            return paths_.acc;
    }
}

std::unique_ptr<output_file>& tdr_text_tables::slot(tdr_table_kind kind) {
    switch (kind) {
        case tdr_table_kind::tdr:
            return tdr_;
        case tdr_table_kind::ctd:
            return ctd_;
        case tdr_table_kind::gps:
            return gps_;
        case tdr_table_kind::acc:
        default:
            return acc_;
    }
}

namespace {

const char* table_name(tdr_table_kind kind) {
    switch (kind) {
        case tdr_table_kind::tdr:
            return "TDR";
        case tdr_table_kind::ctd:
            return "CTD";
        case tdr_table_kind::gps:
            return "GPS";
        case tdr_table_kind::acc:
        default:
            return "ACC";
    }
}

}  // namespace

std::string tdr_text_tables::refusal(tdr_table_kind kind) const {
    return std::string("Can't create ") + table_name(kind) + " data file " + path(kind);
}

bool tdr_text_tables::open(tdr_table_kind kind) {
    // A file is only ever set once made, so that a thread writing another
    // table's rows never sees a file come and go.
    std::unique_ptr<output_file>& f = slot(kind);
    if (f) return true;
    auto made = std::make_unique<output_file>();
    if (!made->create(path(kind))) return false;
    f = std::move(made);
    return true;
}

output_file* tdr_text_tables::begin(tdr_table_kind kind) {
    if (!open(kind)) return nullptr;
    begun_[static_cast<int>(kind)] = true;
    return file(kind);
}

void tdr_text_tables::flush(tdr_table_kind kind) {
    if (output_file* f = file(kind)) f->flush();
}

bool tdr_text_tables::close(tdr_table_kind kind, std::string& error) {
    std::unique_ptr<output_file>& f = slot(kind);
    if (!f) return true;
    const bool ok = f->close();
    f.reset();
    begun_[static_cast<int>(kind)] = false;
    if (!ok) error = std::string("Can't write ") + table_name(kind) + " data file " + path(kind);
    return ok;
}

// ---- TDR ----

bool tdr_text_tables::tdr_table(const tdr_table_info& info) {
    output_file* const file = begin(tdr_table_kind::tdr);
    if (file == nullptr) return false;
    output_file& f = *file;
    if (info.regime == 3) {
        f.write("DATE (UTC)\tDEPTH (m)");
        for (unsigned i = 0; i < info.n_photo; ++i) f.printf("\tPHOTO%u", i);
    } else if (info.regime < regime_header_count && regime_headers[info.regime] != nullptr) {
        f.write(regime_headers[info.regime]);
    } else {
        f.printf("***Unknown TDR regime %hu ***", static_cast<unsigned short>(info.regime));
    }
    f.end_line();
    return true;
}

void tdr_text_tables::tdr_sample(const tdr_row& s) {
    output_file* const f = begun(tdr_table_kind::tdr);
    if (f == nullptr) return;
    char* const start = f->reserve(max_tdr_row);
    char* p = format_time_text(s.time, start);
    *p++ = '\t';
    // The raw depth in tenths: metres, or centimetres in regime 5.
    p = put_decimal(p, s.raw_depth, 1);
    if (s.mask & channel_temperature) {
        *p++ = '\t';
        // * 0.05 - 273.15, in hundredths
        const int64_t centi = static_cast<int64_t>(s.raw_temperature) * 5 - 27315;
        p = centi != 0 ? put_decimal(p, centi, 2) : format_fixed(p, s.temperature, 2);
    }
    if (s.mask & channel_photo) {
        for (unsigned i = 0; i < s.n_photo; ++i) {
            *p++ = '\t';
            p = format_uint(p, s.photo[i], 5);
        }
    }
    if (s.mask & channel_odo) {
        *p++ = '\t';
        p = put_decimal(p, static_cast<int64_t>(s.raw_odo) * 12, 2);  // * 0.12
    }
    if (s.mask & channel_magnetometer) {
        for (int16_t axis : s.raw_mag) {
            *p++ = '\t';
            p = put_decimal(p, axis, 1);  // * 0.1
        }
        *p++ = '\t';
        p = format_int(p, s.raw_mag_temp);
    }
    if (s.mask & (channel_wetdry_column | channel_wetdry_byte)) {
        *p++ = '\t';
        p = format_uint(p, s.wetdry);
    }
    f->commit(end_row(p));
}

void tdr_text_tables::haulout(const haulout_event& event) {
    output_file* const f = begun(tdr_table_kind::tdr);
    if (f == nullptr) return;
    char sstr[time_text_size];
    char estr[time_text_size];
    const char* send = format_time_text(event.start, sstr);
    const char* eend = format_time_text(event.end, estr);
    f->write("HAULOUT: ");
    f->write(sstr, static_cast<std::size_t>(send - sstr));
    f->put(' ');
    f->write(estr, static_cast<std::size_t>(eend - estr));
    f->end_line();
}

void tdr_text_tables::tdr_table_line(const char* text) {
    output_file* const f = begun(tdr_table_kind::tdr);
    if (f == nullptr) return;
    f->write(text);
    f->end_line();
}

// ---- CTD ----

bool tdr_text_tables::ctd_table(const ctd_channel_set& channels) {
    output_file* const file = begin(tdr_table_kind::ctd);
    if (file == nullptr) return false;
    output_file& f = *file;
    f.write("DATE (UTC)\tPRESSURE (dbar)\tTEMP (C)\tCOND (mS/cm)\tSAL_LAGGED (PSU)");
    for (int i = 0; i < channels.count; ++i) {
        f.put('\t');
        f.write(channels.channel[i].label);
    }
    f.write("\tTIME_VALID");
    f.end_line();
    return true;
}

void tdr_text_tables::ctd_sample(const ctd_row& row) {
    output_file* const f = begun(tdr_table_kind::ctd);
    if (f == nullptr) return;
    char* const start = f->reserve(max_ctd_row);
    // Rounded to the hundredth, then cut to the second.
    char* p = format_utc(start, whole_seconds(row.time + 0.005), '/');
    *p++ = '\t';
    p = format_fixed(p, row.pressure, 2);
    *p++ = '\t';
    p = format_fixed(p, row.temperature, 3);
    *p++ = '\t';
    p = format_fixed(p, row.conductivity, 4);
    *p++ = '\t';
    p = format_fixed(p, row.salinity, 4);
    for (int i = 0; i < row.n_extra; ++i) {
        *p++ = '\t';
        p = format_fixed(p, row.extra[i], 4);
    }
    *p++ = '\t';
    *p++ = row.time_valid ? 'Y' : 'N';
    f->commit(end_row(p));
}

// ---- ACC ----

constexpr char acc_header[] = "DATE (UTC)\tX\tY\tZ\r\n";

bool tdr_text_tables::acc_table() {
    output_file* const f = begin(tdr_table_kind::acc);
    if (f == nullptr) return false;
    f->write(acc_header, sizeof acc_header - 1);
    return true;
}

char* format_acc_row(char* p, const acc_row& row) {
    // Round to the millisecond; a carry goes into the seconds.
    const double u = row.time + 0.0005;
    int64_t seconds = whole_seconds(u);
    const double fraction = u - std::floor(u);  // 0 <= fraction <= 1
    int ms = static_cast<int>(fraction * 1000.0);
    if (ms >= 1000) {  // a fraction that rounded up to 1.0 (a tiny negative u)
        ms -= 1000;
        ++seconds;
    }
    p = format_utc(p, seconds, '/');
    *p++ = '.';
    *p++ = static_cast<char>('0' + ms / 100);
    *p++ = static_cast<char>('0' + ms / 10 % 10);
    *p++ = static_cast<char>('0' + ms % 10);
    for (double axis : {row.x, row.y, row.z}) {
        *p++ = '\t';
        p = format_fixed(p, axis, 4);
    }
    return end_row(p);
}

void tdr_text_tables::acc_sample(const acc_row& row) {
    output_file* const f = begun(tdr_table_kind::acc);
    if (f == nullptr) return;
    f->commit(format_acc_row(f->reserve(max_acc_row_chars), row));
}

void format_acc_text(const tdr_batch& batch, batch_text& text) {
    // The batch's rows of one burst or more, and the header where the table
    // begins.
    for (const tdr_batch::entry& e : batch.order) {
        if (e.type == tdr_record_type::acc_table) {
            text.append(acc_header, sizeof acc_header - 1);
        } else if (e.type == tdr_record_type::acc_sample) {
            char* p = text.room(e.count * max_acc_row_chars);
            for (uint32_t i = e.index; i < e.index + e.count; ++i) p = format_acc_row(p, batch.acc_rows[i]);
            text.commit(p);
        }
    }
}

void tdr_text_tables::write_rows(tdr_table_kind kind, const batch_text& text) {
    if (output_file* f = file(kind)) f->write(text.data(), text.size());
}

// ---- GPS ----

bool tdr_text_tables::gps_table() { return begin(tdr_table_kind::gps) != nullptr; }

void tdr_text_tables::gps(const gps_record& r) {
    output_file* const file = begun(tdr_table_kind::gps);
    if (file == nullptr) return;
    // "year/mm/dd hh:mm:ss n 3 0" then " id value" per satellite.
    output_file& f = *file;
    const uint8_t* t = r.time_fields;
    f.printf("%04d/%02hu/%02hu %02hu:%02hu:%02hu %hu 3 0", t[0] + 1900, (unsigned short)t[1], (unsigned short)t[2],
             (unsigned short)t[3], (unsigned short)t[4], (unsigned short)t[5], (unsigned short)r.satellites);
    for (uint32_t i = 0; i < r.satellites; ++i) {
        const uint8_t* e = r.entries + static_cast<std::size_t>(i) * 3;
        f.printf(" %hu %04x", (unsigned short)e[0], (unsigned)(e[1] << 8 | e[2]));
    }
    f.end_line();
}

}  // namespace vandrel
