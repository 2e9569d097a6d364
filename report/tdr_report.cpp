// The report of a TDR stream.
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "dives/dive_columns.h"
#include "platform/number_format.h"
#include "report/page.h"
#include "report/report_writer.h"

namespace vandrel {

namespace detail {

namespace {
// Casts drawn as profiles: every stride-th cast, so they spread over the
// whole deployment; each keeps its pressure extremes per time bucket.
constexpr std::size_t max_profile_casts = 64;
constexpr std::size_t profile_buckets = 200;
// Markers and table rows kept of the events that can come by the million.
constexpr std::size_t max_events = 2000;
constexpr std::size_t max_dives = 1000;
constexpr std::size_t max_messages = 200;
constexpr std::size_t max_table_lines = 20;
constexpr std::size_t histogram_bins = 40;

const char* const degrees_c =
    "\xC2\xB0"
    "C";

struct cast_profile {
    uint32_t cast = 0;
    double start_time = 0;
    min_max_decimator profile{profile_buckets};  // x row of the cast, y pressure, u temperature, v salinity
};

struct message_entry {
    uint32_t byte_offset;
    std::string text;
};

std::string fixed_text(double v, int decimals) {
    if (!std::isfinite(v)) return "-";
    char buf[max_fixed_chars];
    return std::string(buf, format_fixed(buf, v, decimals));
}

std::string uint_text(uint64_t v) {
    char buf[24];
    return std::string(buf, format_uint(buf, v));
}

// A dive's value as the report's dive table shows it.
std::string dive_cell(const dive_column& c, const dive_record& d) {
    const double v = c.get(d);
    switch (c.kind) {
        case dive_value::count:
            return uint_text(static_cast<uint64_t>(v));
        case dive_value::time:
            return utc_text(v);
        case dive_value::depth:
            return fixed_text(v, depth_decimals(d));
        case dive_value::flag:
            return v != 0.0 ? "yes" : "no";
        case dive_value::number:
        default:
            return fixed_text(v, c.decimals);
    }
}

void append_pairs(std::string& out, const std::vector<std::pair<std::string, std::string>>& rows) {
    out += '[';
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) out += ',';
        out += '[';
        append_json_string(out, rows[i].first);
        out += ',';
        append_json_string(out, rows[i].second);
        out += ']';
    }
    out += ']';
}

void add_sentence(std::string& note, const std::string& sentence) {
    if (!note.empty()) note += ' ';
    note += sentence;
}
}  // namespace

struct tdr_report_state {
    std::string path;
    report_metadata meta;
    bool with_dives = false;
    bool any_table = false;

    min_max_decimator depth, temperature;
    min_max_decimator acc_x, acc_y, acc_z, gps_satellites;
    stride_sample<haulout_event> haulouts{max_events};
    stride_sample<wetdry_event> wetdry{max_events};
    stride_sample<cast_profile> casts{max_profile_casts};
    bool recording_cast = false;
    uint64_t cast_rows = 0;  // rows of the current cast so far: the profiles' x
    scatter_thinner ts;
    stride_sample<dive_record> dives{max_dives};
    doubling_histogram dive_duration{histogram_bins, 1};
    doubling_histogram dive_depth{histogram_bins, 0.1};

    uint64_t runs = 0, bursts = 0, fixes = 0;  // the rows are counted by the decoder
    bool have_time = false;
    double first_time = 0, last_time = 0;
    bool have_info = false;
    info_values last_info{};
    uint64_t info_blocks = 0;
    std::vector<message_entry> messages;
    uint64_t message_count = 0;
    std::vector<std::string> table_lines;
    uint64_t table_line_count = 0;

    void saw_time(double t) {
        if (!std::isfinite(t) || t < 0) return;
        if (!have_time || t < first_time) first_time = t;
        if (!have_time || t > last_time) last_time = t;
        have_time = true;
    }

    std::string data_json(const tdr_run_summary& summary) const;
    void append_summary(std::string& out, const tdr_run_summary& summary) const;
    void append_plots(std::string& out, double t0) const;
    void append_dive_table(std::string& out) const;
};

void tdr_report_state::append_summary(std::string& out, const tdr_run_summary& summary) const {
    std::vector<std::pair<std::string, std::string>> rows;
    rows.emplace_back("Outcome", !summary.ok               ? "error: " + summary.error
                                 : summary.warning.empty() ? std::string("decoded without error")
                                                           : "warning: " + summary.warning);
    rows.emplace_back("Rows in the TDR table", count_text(summary.tdr_rows));
    rows.emplace_back("Rows in the CTD table", count_text(summary.ctd_rows));
    rows.emplace_back("GPS records", count_text(summary.gps_fixes));
    rows.emplace_back("Rows in the ACC table", count_text(summary.acc_rows));
    rows.emplace_back("Decoding ended at byte", count_text(summary.end_offset));
    if (have_time) {
        rows.emplace_back("First record", utc_text(first_time));
        rows.emplace_back("Last record", utc_text(last_time));
    }
    rows.emplace_back("TDR runs", count_text(runs));
    rows.emplace_back("Haul-outs", count_text(haulouts.seen()));
    rows.emplace_back("Wet/dry changes", count_text(wetdry.seen()));
    rows.emplace_back("CTD casts", count_text(casts.seen()));
    rows.emplace_back("Accelerometer bursts", count_text(bursts));
    rows.emplace_back("GPS fixes", count_text(fixes));
    if (with_dives) rows.emplace_back("Dives", count_text(dives.seen()));
    if (have_info) {
        const info_values& i = last_info;
        rows.emplace_back("Info blocks",
                          count_text(info_blocks) + " (the last at byte " + count_text(i.byte_offset) + " is shown)");
        rows.emplace_back("Firmware", uint_text(i.fw_version));
        rows.emplace_back("TDR interval", fixed_text(i.tdr_interval / 100.0, 2) + " s");
        rows.emplace_back("CTD interval", fixed_text(i.ctd_interval / 100.0, 2) + " s");
        rows.emplace_back("Accelerometer interval", fixed_text(i.acc_interval_ms, 3) + " ms");
        rows.emplace_back("Pressure scale", fixed_text(i.pressure_scale, 6) + " counts per dbar");
        rows.emplace_back("Temperature offset, scale",
                          fixed_text(i.temp_offset, 6) + ", " + fixed_text(i.temp_scale, 6) + " counts per degree");
        rows.emplace_back("Conductivity offset, scale",
                          fixed_text(i.cond_offset, 6) + ", " + fixed_text(i.cond_scale, 6) + " counts per mS/cm");
        rows.emplace_back("Conductivity lag", fixed_text(i.cond_lag_tau, 3) + " ms");
        rows.emplace_back("Accelerometer scale, offset",
                          fixed_text(i.acc_scale, 6) + " g per count, " + fixed_text(i.acc_offset, 6) + " g");
        rows.emplace_back("Photo channels", uint_text(i.n_photo));
    } else {
        rows.emplace_back("Info block", "none in the stream");
    }
    for (const std::string& line : table_lines) rows.emplace_back("TDR table line", line);
    if (table_line_count > table_lines.size()) {
        rows.emplace_back("TDR table line", "... " + count_text(table_line_count - table_lines.size()) + " more");
    }
    out += ",\"summary\":";
    append_pairs(out, rows);
    out += ",\"messages\":{\"total\":";
    out += uint_text(message_count);
    out += ",\"list\":[";
    for (std::size_t i = 0; i < messages.size(); ++i) {
        if (i > 0) out += ',';
        out += '[';
        out += uint_text(messages[i].byte_offset);
        out += ',';
        append_json_string(out, messages[i].text);
        out += ']';
    }
    out += "]}";
}

void tdr_report_state::append_plots(std::string& out, double t0) const {
    const std::string how = "time buckets, each showing its least and greatest value";
    bool first = true;
    const auto next = [&] {
        if (!first) out += ',';
        first = false;
    };
    if (depth.count() > 0) {
        std::string extra = ",\"bands\":[";
        for (std::size_t i = 0; i < haulouts.items().size(); ++i) {
            const haulout_event& h = haulouts.items()[i];
            if (i > 0) extra += ',';
            extra += '[';
            append_number(extra, h.start - t0, 2);
            extra += ',';
            append_number(extra, h.end - t0, 2);
            extra += ']';
        }
        extra += "],\"events\":[";
        for (std::size_t i = 0; i < wetdry.items().size(); ++i) {
            const wetdry_event& w = wetdry.items()[i];
            if (i > 0) extra += ',';
            extra += '[';
            append_number(extra, w.time - t0, 2);
            extra += ',';
            extra += uint_text(w.state);
            extra += ']';
        }
        extra += ']';
        if (with_dives) {
            std::vector<series_point> marks;
            for (const dive_record& d : dives.items()) {
                marks.push_back({d.start_time, max_depth_metres(d), d.end_time, d.max_depth_time});
            }
            extra += ",\"dives\":{\"start\":";
            append_coordinate(extra, marks, coordinate::x, t0, 2);
            extra += ",\"end\":";
            append_coordinate(extra, marks, coordinate::u, t0, 2);
            extra += ",\"max_t\":";
            append_coordinate(extra, marks, coordinate::v, t0, 2);
            extra += ",\"max_d\":";
            append_coordinate(extra, marks, coordinate::y, 0, 1);
            extra += '}';
        }
        extra += ",\"key\":";
        append_json_string(extra, with_dives ? "Shaded: haul-outs. Thin lines: changes to wet (blue) and to dry "
                                               "(orange). Ticks at the top: dive starts (green) and ends (red); "
                                               "red dots: each dive's deepest point."
                                             : "Shaded: haul-outs. Thin lines: changes to wet (blue) and to dry "
                                               "(orange).");
        std::string note = series_note({&depth}, how);
        if (haulouts.stride() > 1 || wetdry.stride() > 1 || dives.stride() > 1) {
            add_sentence(note, "Markers: every " +
                                   uint_text(std::max({haulouts.stride(), wetdry.stride(), dives.stride()})) +
                                   "th event at most.");
        }
        next();
        append_time_plot(out, "Depth against time", {"Depth", "m", true}, {{"depth", depth.points()}}, t0, 1, note,
                         extra);
    }
    if (temperature.count() > 0) {
        next();
        append_time_plot(out, "Temperature against time", {"Temperature", degrees_c},
                         {{"temperature", temperature.points()}}, t0, 2, series_note({&temperature}, how));
    }
    if (!casts.items().empty()) {
        std::vector<named_series> t_profiles, s_profiles;
        std::vector<const min_max_decimator*> parts;
        for (const cast_profile& c : casts.items()) {
            std::vector<series_point> pts = c.profile.points();
            for (series_point& p : pts) p = {p.u, p.y, p.x, p.v};
            std::vector<series_point> spts = pts;
            for (series_point& p : spts) p.x = p.v;
            const std::string name = "cast " + uint_text(c.cast);
            t_profiles.push_back({name, std::move(pts)});
            s_profiles.push_back({name, std::move(spts)});
            parts.push_back(&c.profile);
        }
        std::string note = series_note(parts, "buckets of a cast's rows, each showing its least and greatest pressure");
        if (casts.stride() > 1) {
            add_sentence(note, "Showing every " + uint_text(casts.stride()) + "th cast (" +
                                   count_text(casts.items().size()) + " of " + count_text(casts.seen()) + ").");
        }
        next();
        append_xy_plot(out, "CTD temperature profiles", {"Temperature", degrees_c}, {"Pressure", "dbar", true},
                       t_profiles, 3, 2, true, note);
        next();
        append_xy_plot(out, "CTD salinity profiles", {"Practical salinity", ""}, {"Pressure", "dbar", true}, s_profiles,
                       3, 2, true, note);
    }
    if (ts.count() > 0) {
        next();
        append_xy_plot(
            out, "Temperature-salinity diagram of all casts", {"Practical salinity", ""}, {"Temperature", degrees_c},
            {{"all casts", ts.points()}}, 3, 3, false,
            ts.decimated() ? decimation_note(ts.count(), ts.kept(), "points, one per cell of a grid") : std::string());
    }
    if (acc_x.count() > 0) {
        next();
        append_time_plot(out, "Accelerometer bursts", {"Acceleration", "g"},
                         {{"x", acc_x.points()}, {"y", acc_y.points()}, {"z", acc_z.points()}}, t0, 4,
                         series_note({&acc_x}, "time buckets per axis, each showing its least and greatest value"));
    }
    if (gps_satellites.count() > 0) {
        next();
        append_time_plot(out, "GPS record times", {"Satellites", ""}, {{"satellites", gps_satellites.points()}}, t0, 0,
                         series_note({&gps_satellites}, how), ",\"dots\":true");
    }
    if (with_dives && dives.seen() > 0) {
        next();
        append_histogram(out, "Dive duration", {"Duration", "s"}, dive_duration, 3);
        next();
        append_histogram(out, "Dive maximum depth", {"Maximum depth", "m"}, dive_depth, 3);
    }
}

void tdr_report_state::append_dive_table(std::string& out) const {
    out += "{\"title\":\"Dives\",\"columns\":[";
    bool first = true;
    for (const dive_column& c : dive_columns) {
        if (c.label == nullptr) continue;
        if (!first) out += ',';
        first = false;
        append_json_string(out, c.label);
    }
    out += "],\"rows\":[";
    first = true;
    for (const dive_record& d : dives.items()) {
        if (!first) out += ',';
        first = false;
        out += '[';
        bool first_cell = true;
        for (const dive_column& c : dive_columns) {
            if (c.label == nullptr) continue;
            if (!first_cell) out += ',';
            first_cell = false;
            append_json_string(out, dive_cell(c, d));
        }
        out += ']';
    }
    out += "],\"note\":";
    append_json_string(out, dives.stride() > 1
                                ? "Showing every " + uint_text(dives.stride()) + "th dive (" +
                                      count_text(dives.items().size()) + " of " + count_text(dives.seen()) + ")."
                                : std::string());
    out += '}';
}

std::string tdr_report_state::data_json(const tdr_run_summary& summary) const {
    std::string out;
    append_title_and_meta(out, meta);
    out += ",\"t0\":";
    const double t0 = have_time ? std::floor(first_time) : 0;
    append_number(out, t0, 0);
    append_summary(out, summary);
    out += ",\"plots\":[";
    append_plots(out, t0);
    out += "],\"tables\":[";
    if (with_dives && dives.seen() > 0) append_dive_table(out);
    out += "]}";
    return out;
}

}  // namespace detail

tdr_report_writer::tdr_report_writer(std::string path, report_metadata meta, bool with_dives)
    : state_(std::make_unique<detail::tdr_report_state>()) {
    state_->path = std::move(path);
    state_->meta = std::move(meta);
    state_->with_dives = with_dives;
}

tdr_report_writer::~tdr_report_writer() = default;

bool tdr_report_writer::tdr_table(const tdr_table_info& /*info*/) {
    state_->any_table = true;
    return true;
}

void tdr_report_writer::tdr_run(const tdr_run_info& info) {
    detail::tdr_report_state& s = *state_;
    ++s.runs;
    // Rows of one run, one interval apart, join; half an interval more
    // allows for the rounding of times summed row by row.
    const double step = info.interval * 0.01 * 1.5;
    s.depth.begin_line(step);
    s.temperature.begin_line(step);
}

void tdr_report_writer::tdr_sample(const tdr_row& row) {
    detail::tdr_report_state& s = *state_;
    s.saw_time(row.time);
    if (!std::isnan(row.depth)) s.depth.add(row.time, row.depth);
    if (!std::isnan(row.temperature)) s.temperature.add(row.time, row.temperature);
}

void tdr_report_writer::haulout(const haulout_event& event) { state_->haulouts.add(event); }

void tdr_report_writer::wetdry(const wetdry_event& event) { state_->wetdry.add(event); }

bool tdr_report_writer::ctd_table(const ctd_channel_set& /*channels*/) {
    state_->any_table = true;
    return true;
}

void tdr_report_writer::ctd_cast(const ctd_cast_info& info) {
    detail::cast_profile profile;
    profile.cast = info.cast;
    profile.start_time = info.start_time;
    state_->recording_cast = state_->casts.add(profile);
    state_->cast_rows = 0;
    // Rows next to each other join: a row without a value breaks the line.
    if (state_->recording_cast) state_->casts.back().profile.begin_line(1);
}

void tdr_report_writer::ctd_sample(const ctd_row& row) {
    detail::tdr_report_state& s = *state_;
    if (row.time_valid) s.saw_time(row.time);
    s.ts.add(row.salinity, row.temperature);
    // A profile is decimated along its rows, so the deepest point of each
    // part of the cast stays, whether or not the rows carry a valid time.
    const auto index = static_cast<double>(s.cast_rows++);
    if (s.recording_cast && s.casts.back().cast == row.cast) {
        s.casts.back().profile.add({index, row.pressure, row.temperature, row.salinity});
    }
}

bool tdr_report_writer::acc_table() {
    state_->any_table = true;
    return true;
}

void tdr_report_writer::acc_burst(const acc_burst_info& /*info*/) {
    detail::tdr_report_state& s = *state_;
    ++s.bursts;
    const double any_step = std::numeric_limits<double>::infinity();  // the rows of a burst join
    for (min_max_decimator* axis : {&s.acc_x, &s.acc_y, &s.acc_z}) axis->begin_line(any_step);
}

void tdr_report_writer::acc_sample(const acc_row& row) { acc_samples(&row, 1); }

void tdr_report_writer::acc_samples(const acc_row* rows, std::size_t n) {
    detail::tdr_report_state& s = *state_;
    for (std::size_t i = 0; i < n; ++i) s.saw_time(rows[i].time);
    for (std::size_t i = 0; i < n; ++i) s.acc_x.add(rows[i].time, rows[i].x);
    for (std::size_t i = 0; i < n; ++i) s.acc_y.add(rows[i].time, rows[i].y);
    for (std::size_t i = 0; i < n; ++i) s.acc_z.add(rows[i].time, rows[i].z);
}

bool tdr_report_writer::gps_table() {
    state_->any_table = true;
    return true;
}

void tdr_report_writer::gps(const gps_record& record) {
    detail::tdr_report_state& s = *state_;
    ++s.fixes;
    if (record.time < 0) return;
    s.saw_time(record.time);
    s.gps_satellites.add(record.time, record.satellites);
}

void tdr_report_writer::info(const info_values& values) {
    state_->have_info = true;
    state_->last_info = values;
    ++state_->info_blocks;
}

void tdr_report_writer::tdr_table_line(const char* text) {
    detail::tdr_report_state& s = *state_;
    ++s.table_line_count;
    if (s.table_lines.size() < detail::max_table_lines) s.table_lines.emplace_back(text != nullptr ? text : "");
}

void tdr_report_writer::message(uint32_t byte_offset, const char* text) {
    detail::tdr_report_state& s = *state_;
    ++s.message_count;
    if (s.messages.size() < detail::max_messages) s.messages.push_back({byte_offset, text != nullptr ? text : ""});
}

void tdr_report_writer::dive(const dive_record& d) {
    detail::tdr_report_state& s = *state_;
    s.dives.add(d);
    s.dive_duration.add(d.duration);
    s.dive_depth.add(max_depth_metres(d));
}

bool tdr_report_writer::finish(const tdr_run_summary& summary, std::string& error) {
    const detail::tdr_report_state& s = *state_;
    const bool some_table =
        s.any_table || summary.tdr_rows > 0 || summary.ctd_rows > 0 || summary.gps_fixes > 0 || summary.acc_rows > 0;
    if (!some_table) return true;
    return detail::write_page(s.path, detail::page_title(s.meta), s.data_json(summary), error);
}

}  // namespace vandrel
