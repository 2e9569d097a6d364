#include "text/packet_table.h"

#include "platform/civil_time.h"
#include "platform/number_format.h"

namespace vandrel {
namespace {

constexpr char table_header[] = "ID\tdt\tPressure\tTemperature\tConductivity\tSalinity\tFluoro\tLight\tmV\r\n";

char* put_fixed(char* p, double v, int decimals) {
    *p++ = '\t';
    return format_fixed(p, v, decimals);
}

}  // namespace

bool packet_table_writer::create(const std::string& path) {
    if (!out_.create(path)) return false;
    out_.write(table_header, sizeof table_header - 1);
    return true;
}

char* format_packet_row(char* p, const packet_row& r) {
    p = format_int(p, static_cast<int32_t>(r.id));
    *p++ = '\t';
    p = format_utc(p, r.time, '-');
    p = put_fixed(p, r.pressure, 2);
    p = put_fixed(p, r.temperature, 3);
    p = put_fixed(p, r.conductivity, 3);
    p = put_fixed(p, r.salinity, 3);
    p = put_fixed(p, r.fluorescence, 3);
    // A missing light reading prints as 0.
    p = put_fixed(p, r.raw_light == no_light ? 0.0 : r.light, 2);
    *p++ = '\t';
    p = format_uint(p, r.mV, 4);
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

void packet_table_writer::sample(const packet_row& r) {
    out_.commit(format_packet_row(out_.reserve(max_packet_row_chars), r));
}

}  // namespace vandrel
