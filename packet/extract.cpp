#include "packet/extract.h"

#include "platform/civil_time.h"
#include "platform/input_file.h"
#include "platform/portable_exp.h"
#include "science/salinity.h"

namespace vandrel {
namespace {

// Sea pressure in dbar: the sensor gives absolute pressure in mbar.
double sea_pressure(const sample& s) { return (s.mbar - 1000.0) * 0.01; }

// The numbers of one table row, converted from the raw counts.
packet_row convert(uint32_t id, int64_t t, const sample& s) {
    packet_row r;
    r.id = id;
    r.time = t;
    r.pressure = sea_pressure(s);
    r.temperature = s.temp * 0.001 - 5.0;
    r.conductivity = s.cond * 0.001;
    r.salinity = practical_salinity(r.pressure, r.conductivity, r.temperature);
    r.fluorescence = s.f * 0.001;
    r.light = s.logl == no_light ? no_value : exp_thousandths(s.logl);
    r.raw_light = s.logl;
    r.mV = s.mV;
    return r;
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
    msg.dated_year = static_cast<int>(year);
}

decode_outcome extract_packet_records(const std::string& in_fname, int64_t now, packet_record_sink& out, bool values) {
    input_file in;
    if (!in.open(in_fname)) {
        decode_outcome outcome;
        outcome.open_error = true;
        outcome.errors.push_back("Can't open packet file " + in_fname);
        return outcome;
    }
    return extract_packet_records(in, in_fname, now, out, values);
}

namespace {

// The packets that begin at byte offsets from `from` (the input's position)
// up to `to`.
decode_outcome read_packets(input_file& in, const std::string& in_fname, int64_t now, packet_record_sink& out,
                            bool values, uint64_t from, uint64_t to) {
    decode_outcome outcome;
    uint64_t offset = from;
    uint8_t blk[packet_size];
    sample samples[max_samples];
    for (; offset < to; offset += packet_size) {
        const std::size_t got = in.read(blk, packet_size);
        if (got != packet_size) {
            // A final piece shorter than a packet is no packet.
            if (got > 0) out.skipped(packet_skip::truncated, offset);
            break;
        }
        packet_header msg;
        packet_skip why = packet_skip::erased;
        if (!parse_packet_header(blk, msg, &why)) {
            out.skipped(why, offset);
            continue;
        }
        compute_start_time(now, msg);
        // A reading without values only counts, beside the reading that
        // writes the table: what that one says on the console is not said
        // twice.
        const int n = values ? unpack_samples(blk + packet_header_size, static_cast<int>(payload_size), samples, 0)
                             : count_samples(blk + packet_header_size, static_cast<int>(payload_size), samples);
        if (n == 0) {
            out.skipped(packet_skip::missing_marker, offset);
        } else {
            out.packet({msg.ID, msg.start_time, msg.year, msg.dated_year, n, offset});
        }
        // The packet's rows are converted together, then handed out: the
        // samples' divisions and roots are independent of one another, and
        // the processor overlaps them when no writer's work lies between.
        packet_row rows[max_samples];
        for (int i = 0; i < n; ++i) {
            const int64_t t = msg.start_time + i;
            if (values) {
                rows[i] = convert(msg.ID, t, samples[i]);
            } else {
                rows[i] = packet_row{};
                rows[i].id = msg.ID;
                rows[i].time = t;
                rows[i].pressure = sea_pressure(samples[i]);
            }
        }
        out.samples(rows, static_cast<std::size_t>(n));
        outcome.samples += static_cast<uint64_t>(n);
        if (out.stopped()) {
            offset += packet_size;
            break;
        }
    }
    outcome.end_offset = offset;
    if (in.error()) {
        outcome.read_error = true;
        outcome.errors.push_back("Can't read packet file " + in_fname);
    }
    return outcome;
}

}  // namespace

decode_outcome extract_packet_records(input_file& in, const std::string& in_fname, int64_t now, packet_record_sink& out,
                                      bool values) {
    return read_packets(in, in_fname, now, out, values, 0, UINT64_MAX);
}

decode_outcome count_packet_records(const std::string& in_fname, int64_t now, packet_record_sink& out, uint64_t from,
                                    uint64_t to) {
    input_file in;
    if (!in.open(in_fname) || !in.seek(from)) {
        decode_outcome outcome;
        outcome.open_error = true;
        outcome.errors.push_back("Can't open packet file " + in_fname);
        return outcome;
    }
    return read_packets(in, in_fname, now, out, false, from, to);
}

}  // namespace vandrel
