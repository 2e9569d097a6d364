#include "tdr/stream_reader.h"

#include "platform/civil_time.h"

namespace vandrel {
namespace detail {

void report_progress(const tdr_decoder_state& st) {
    const decode_outcome& c = st.outcome;
    st.request.progress(st.byte_offset, static_cast<uint32_t>(c.tdr_rows), static_cast<uint32_t>(c.ctd_rows),
                        static_cast<uint32_t>(c.gps_fixes), static_cast<uint32_t>(c.acc_rows));
}

double stream_time_seconds(const uint8_t fields[6]) {
    civil_fields f;
    f.year_since_1900 = fields[0];
    f.month = static_cast<int64_t>(fields[1]) - 1;
    f.day = fields[2];
    f.hour = fields[3];
    f.minute = fields[4];
    f.second = fields[5];
    const int64_t t = utc_from_fields(f);
    // Times before 1970 lie outside the time base of the stream's tools:
    // they read as -1, the value that marks a time that cannot be converted.
    return t < 0 ? -1.0 : static_cast<double>(t);
}

bool read_time(tdr_decoder_state& st, double& time) {
    uint8_t tmfields[7];
    if (!read_bytes(st, tmfields, 7)) return false;
    time = stream_time_seconds(tmfields);  // tmfields[6], the hundredths, is dropped
    return true;
}

}  // namespace detail
}  // namespace vandrel
