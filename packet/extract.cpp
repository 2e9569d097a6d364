#include "packet/extract.h"

#include "packet/salinity.h"
#include "platform/civil_time.h"
#include "platform/file_names.h"
#include "platform/input_file.h"
#include "platform/number_format.h"
#include "platform/output_file.h"
#include "platform/portable_exp.h"

namespace vandrel {
namespace {

constexpr char table_header[] = "ID\tdt\tPressure\tTemperature\tConductivity\tSalinity\tFluoro\tLight\tmV\r\n";

// Light is stored as 1000 times its natural logarithm; all ones means none.
constexpr uint16_t no_light = 0xFFFF;

// Longest row: ID, time, six numbers, mV, tabs and line end, with room to
// spare for numbers far outside their usual range.
constexpr std::size_t max_row_chars = 12 + 32 + 6 * 48 + 8 + 16;

char* put_tab(char* p) {
    *p++ = '\t';
    return p;
}

// One row: "%ld\t%s\t%.2f\t%.3f\t%.3f\t%.3f\t%.3f\t%.2f\t%4u" and CR LF.
char* format_row(char* p, uint32_t id, int64_t t, const sample& s) {
    const double pressure = (s.mbar - 1000.0) * 0.01;
    const double temperature = s.temp * 0.001 - 5.0;
    const double conductivity = s.cond * 0.001;
    const double salinity = practical_salinity(pressure, conductivity, temperature);
    const double fluoro = s.f * 0.001;
    const double light = s.logl == no_light ? 0.0 : exp_thousandths(s.logl);

    p = format_int(p, static_cast<int32_t>(id));
    p = put_tab(p);
    p = format_utc(p, t, '-');
    p = put_tab(p);
    p = format_fixed(p, pressure, 2);
    p = put_tab(p);
    p = format_fixed(p, temperature, 3);
    p = put_tab(p);
    p = format_fixed(p, conductivity, 3);
    p = put_tab(p);
    p = format_fixed(p, salinity, 3);
    p = put_tab(p);
    p = format_fixed(p, fluoro, 3);
    p = put_tab(p);
    p = format_fixed(p, light, 2);
    p = put_tab(p);
    p = format_uint(p, s.mV, 4);
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

}  // namespace

void compute_start_time(int64_t now, packet_header& msg) {
    int64_t year = msg.year;
    for (;;) {
        msg.jan1_time = days_from_civil(year, 1, 1) * 86400;
        msg.start_time = static_cast<int64_t>(msg.year_secs) + msg.jan1_time;
        if (!(now - msg.start_time > max_start_age_seconds)) break;
        year += 4;
    }
}

int extract_packet_file(const std::string& in_fname, const std::string& out_fname, int64_t now) {
    input_file in;
    if (!in.open(in_fname)) return 0;
    output_file out;
    if (!out.create(out_fname)) return 0;
    out.write(table_header, sizeof table_header - 1);

    int count = 0;
    uint8_t blk[packet_size];
    sample samples[max_samples];
    for (;;) {
        if (in.read(blk, packet_size) != packet_size) break;
        packet_header msg;
        if (!parse_packet_header(blk, msg)) continue;
        compute_start_time(now, msg);
        const int n = unpack_samples(blk + packet_header_size, static_cast<int>(payload_size), samples, 0);
        int64_t t = msg.start_time;
        for (int i = 0; i < n; ++i) {
            char* p = out.reserve(max_row_chars);
            out.commit(format_row(p, msg.ID, t, samples[i]));
            ++t;
        }
        count += n;
        if (!out.ok()) break;
    }
    if (in.error()) {
        out.close();
        return extract_read_error;
    }
    if (!out.close()) return extract_write_error;
    return count;
}

int extract_packet_file(const std::string& in_fname, const std::string& out_fname) {
    return extract_packet_file(in_fname, out_fname, current_utc_seconds());
}

}  // namespace vandrel
