// The report of a packet file.
#include <array>
#include <cmath>
#include <map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/number_format.h"
#include "report/page.h"
#include "report/report_writer.h"

namespace vandrel {

namespace detail {

namespace {
// Packet IDs with a colour of their own; the samples of further IDs share one
// series, so a file of random IDs cannot make the page unbounded.
constexpr std::size_t max_id_series = 8;
// The IDs of the shared series are told apart up to this many, so that a
// file of random IDs cannot make the memory unbounded; beyond, the page
// says "more than".
constexpr std::size_t max_counted_other_ids = 1 << 16;
// Distinct year moves listed; more are counted together.
constexpr std::size_t max_year_moves = 16;
// Byte offsets listed per skip reason.
constexpr std::size_t max_skip_offsets = 5;
constexpr std::size_t skip_reasons = 5;

struct id_series {
    uint32_t id = 0;
    bool others = false;  // the shared series of IDs past max_id_series
    min_max_decimator pressure, temperature, salinity, fluorescence, light;

    // Samples of one ID at most a second apart join: the logger takes one a
    // second, so a longer step passes over samples it did not keep.
    void begin_lines() {
        for (min_max_decimator* d : {&pressure, &temperature, &salinity, &fluorescence, &light}) d->begin_line(1);
    }
};

const char* skip_text(std::size_t why) {
    switch (static_cast<packet_skip>(why)) {
        case packet_skip::erased:
            return "erased flash (year byte 0x00 or 0xFF)";
        case packet_skip::blank_id:
            return "blank ID EE EE EE EE";
        case packet_skip::zero_time:
            return "zero time";
        case packet_skip::missing_marker:
            return "start marker missing";
        case packet_skip::truncated:
            return "file ends inside the packet";
    }
    return "unknown";
}

std::string int_text(int64_t v) {
    char buf[24];
    return std::string(buf, format_int(buf, v));
}

std::string id_text(uint32_t id) { return int_text(static_cast<int32_t>(id)); }
}  // namespace

struct packet_report_state {
    std::string path;
    report_metadata meta;
    std::vector<id_series> ids;
    scatter_thinner temperature_pressure, salinity_pressure, ts;
    uint64_t rows = 0;
    uint64_t packets = 0;
    std::unordered_set<uint32_t> other_ids;  // the IDs of the shared series
    bool more_other_ids = false;             // some were not counted
    std::array<uint64_t, skip_reasons> skips{};
    std::array<std::vector<uint64_t>, skip_reasons> skip_offsets;
    double first_time = 0, last_time = 0;
    std::map<std::pair<int, int>, uint64_t> year_moves;  // (header year, year used) -> packets
    uint64_t other_year_moves = 0;

    void count_other(uint32_t id) {
        if (other_ids.size() < max_counted_other_ids) {
            other_ids.insert(id);
        } else if (other_ids.find(id) == other_ids.end()) {
            more_other_ids = true;
        }
    }
    // The series of an ID. A packet's samples share its ID, so most rows
    // find the series of the row before.
    std::size_t last_series = 0;  // an index into ids, or ids.size()
    uint32_t last_id = 0;
    id_series& series_for(uint32_t id) {
        if (last_series < ids.size() && last_id == id) return ids[last_series];
        id_series& s = find_series(id);
        last_series = static_cast<std::size_t>(&s - ids.data());
        last_id = id;
        return s;
    }
    // The same, looked for; an ID met again is counted once.
    id_series& find_series(uint32_t id) {
        for (id_series& s : ids) {
            if (!s.others && s.id == id) return s;
        }
        if (ids.size() < max_id_series) {
            ids.emplace_back();
            ids.back().id = id;
            ids.back().begin_lines();
            return ids.back();
        }
        for (id_series& s : ids) {
            if (!s.others) continue;
            if (s.id != id) {  // the shared series breaks where the ID changes
                s.id = id;
                s.begin_lines();
                count_other(id);
            }
            return s;
        }
        count_other(id);
        ids.emplace_back();
        ids.back().others = true;
        ids.back().id = id;
        ids.back().begin_lines();
        return ids.back();
    }

    std::string data_json() const;
};

std::string packet_report_state::data_json() const {
    std::string out;
    append_title_and_meta(out, meta);
    out += ",\"t0\":";
    const double t0 = rows > 0 ? std::floor(first_time) : 0;
    append_number(out, t0, 0);

    std::vector<std::pair<std::string, std::string>> summary;
    summary.emplace_back("Rows", count_text(rows));
    summary.emplace_back("Packets with samples", count_text(packets));
    uint64_t skipped = 0;
    for (const uint64_t n : skips) skipped += n;
    summary.emplace_back("Packets skipped", count_text(skipped));
    for (std::size_t why = 0; why < skip_reasons; ++why) {
        if (skips[why] == 0) continue;
        std::string text = count_text(skips[why]) + " (at byte ";
        for (std::size_t i = 0; i < skip_offsets[why].size(); ++i) {
            if (i > 0) text += ", ";
            text += count_text(skip_offsets[why][i]);
        }
        text += skips[why] > skip_offsets[why].size() ? ", ...)" : ")";
        summary.emplace_back(std::string("Skipped: ") + skip_text(why), text);
    }
    if (rows > 0) {
        summary.emplace_back("First sample", utc_text(first_time));
        summary.emplace_back("Last sample", utc_text(last_time));
    }
    const std::size_t named = ids.size() - (other_ids.empty() ? 0 : 1);
    summary.emplace_back("Packet IDs", (more_other_ids ? "more than " : "") + count_text(named + other_ids.size()));
    if (year_moves.empty() && other_year_moves == 0) {
        summary.emplace_back("Year moves (dating rule)", "none: every packet keeps the year of its header");
    }
    for (const auto& [years, n] : year_moves) {
        summary.emplace_back(
            "Year moves (dating rule)",
            "header " + int_text(years.first) + " dated " + int_text(years.second) + ": " + count_text(n) + " packets");
    }
    if (other_year_moves > 0) {
        summary.emplace_back("Year moves (dating rule)", "other years: " + count_text(other_year_moves) + " packets");
    }
    out += ",\"summary\":[";
    for (std::size_t i = 0; i < summary.size(); ++i) {
        if (i > 0) out += ',';
        out += '[';
        append_json_string(out, summary[i].first);
        out += ',';
        append_json_string(out, summary[i].second);
        out += ']';
    }
    out += "],\"messages\":{\"total\":0,\"list\":[]},\"plots\":[";

    struct quantity {
        const char* title;
        axis_text axis;
        int decimals;
        const min_max_decimator id_series::*member;
    };
    const quantity quantities[] = {
        {"Pressure", {"Pressure", "dbar", true}, 2, &id_series::pressure},
        {"Temperature",
         {"Temperature",
          "\xC2\xB0"
          "C"},
         3,
         &id_series::temperature},
        {"Salinity", {"Practical salinity", ""}, 3, &id_series::salinity},
        {"Fluorescence", {"Fluorescence", ""}, 3, &id_series::fluorescence},
        {"Light", {"Light", ""}, 2, &id_series::light},
    };
    bool first_plot = true;
    for (const quantity& q : quantities) {
        std::vector<named_series> series;
        std::vector<const min_max_decimator*> parts;
        for (const id_series& s : ids) {
            const min_max_decimator& d = s.*q.member;
            series.push_back({s.others ? std::string("other IDs") : "ID " + id_text(s.id), d.points()});
            parts.push_back(&d);
        }
        if (!first_plot) out += ',';
        first_plot = false;
        append_time_plot(out, std::string(q.title) + " against time", q.axis, series, t0, q.decimals,
                         series_note(parts, "time buckets, each showing its least and greatest value"));
    }
    const auto note = [&](const scatter_thinner& t) {
        return t.decimated() ? decimation_note(t.count(), t.kept(), "points, one per cell of a grid") : std::string();
    };
    out += ',';
    append_xy_plot(out, "Temperature against pressure",
                   {"Temperature",
                    "\xC2\xB0"
                    "C"},
                   {"Pressure", "dbar", true}, {{"all packets", temperature_pressure.points()}}, 3, 2, false,
                   note(temperature_pressure));
    out += ',';
    append_xy_plot(out, "Salinity against pressure", {"Practical salinity", ""}, {"Pressure", "dbar", true},
                   {{"all packets", salinity_pressure.points()}}, 3, 2, false, note(salinity_pressure));
    out += ',';
    append_xy_plot(out, "Temperature-salinity diagram", {"Practical salinity", ""},
                   {"Temperature",
                    "\xC2\xB0"
                    "C"},
                   {{"all packets", ts.points()}}, 3, 3, false, note(ts));
    out += "],\"tables\":[]}";
    return out;
}

}  // namespace detail

packet_report_writer::packet_report_writer(std::string path, report_metadata meta)
    : state_(std::make_unique<detail::packet_report_state>()) {
    state_->path = std::move(path);
    state_->meta = std::move(meta);
}

packet_report_writer::~packet_report_writer() = default;

void packet_report_writer::packet(const packet_info& info) {
    detail::packet_report_state& s = *state_;
    ++s.packets;
    if (info.header_year == info.year) return;
    const std::pair<int, int> move{info.header_year, info.year};
    const auto it = s.year_moves.find(move);
    if (it != s.year_moves.end()) {
        ++it->second;
    } else if (s.year_moves.size() < detail::max_year_moves) {
        s.year_moves.emplace(move, 1);
    } else {
        ++s.other_year_moves;
    }
}

void packet_report_writer::sample(const packet_row& row) {
    detail::packet_report_state& s = *state_;
    const auto t = static_cast<double>(row.time);
    if (s.rows == 0 || t < s.first_time) s.first_time = t;
    if (s.rows == 0 || t > s.last_time) s.last_time = t;
    ++s.rows;
    detail::id_series& series = s.series_for(row.id);
    series.pressure.add(t, row.pressure);
    series.temperature.add(t, row.temperature);
    series.salinity.add(t, row.salinity);
    series.fluorescence.add(t, row.fluorescence);
    if (row.raw_light != no_light) series.light.add(t, row.light);
    s.temperature_pressure.add(row.temperature, row.pressure);
    s.salinity_pressure.add(row.salinity, row.pressure);
    s.ts.add(row.salinity, row.temperature);
}

void packet_report_writer::skipped(packet_skip why, uint64_t byte_offset) {
    const auto i = static_cast<std::size_t>(why);
    if (i >= detail::skip_reasons) return;
    detail::packet_report_state& s = *state_;
    ++s.skips[i];
    if (s.skip_offsets[i].size() < detail::max_skip_offsets) s.skip_offsets[i].push_back(byte_offset);
}

bool packet_report_writer::finish(bool table_written, std::string& error) {
    if (!table_written) return true;
    const detail::packet_report_state& s = *state_;
    return detail::write_page(s.path, detail::page_title(s.meta), s.data_json(), error);
}

}  // namespace vandrel
