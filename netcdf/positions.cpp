#include "netcdf/positions.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "netcdf/text_lines.h"
#include "platform/civil_time.h"

namespace vandrel {

using detail::next_line;
using detail::trim;

namespace {

// A track line longer than this is no line of fixes (a binary file given by
// mistake, say); it ends the reading with an error instead of growing.
constexpr std::size_t max_track_line = 1024;

// The whole of text as a finite decimal number.
bool parse_number(const std::string& text, double& out) {
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+') ++first;  // from_chars takes no plus sign
    const auto r = std::from_chars(first, last, out);
    return r.ec == std::errc() && r.ptr == last && std::isfinite(out);
}

// Exactly digits decimal digits at text[pos].
bool parse_digits(const std::string& text, std::size_t pos, int digits, int& out) {
    if (pos + static_cast<std::size_t>(digits) > text.size()) return false;
    out = 0;
    for (int i = 0; i < digits; ++i) {
        const char c = text[pos + static_cast<std::size_t>(i)];
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

int days_in_month(int year, int month) {
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// "YYYY-MM-DDTHH:MM:SS[.f...][Z]", UTC, 'T' or ' ' between date and time.
bool parse_iso_time(const std::string& text, double& out) {
    int year, month, day, hour, minute, second;
    if (!parse_digits(text, 0, 4, year) || text.size() < 19 || text[4] != '-' || !parse_digits(text, 5, 2, month) ||
        text[7] != '-' || !parse_digits(text, 8, 2, day) || (text[10] != 'T' && text[10] != ' ') ||
        !parse_digits(text, 11, 2, hour) || text[13] != ':' || !parse_digits(text, 14, 2, minute) || text[16] != ':' ||
        !parse_digits(text, 17, 2, second))
        return false;
    // A real calendar time: 2026-02-30 is no date (mktime would take it
    // for 2 March).
    if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month) || hour > 23 || minute > 59 ||
        second > 60)
        return false;
    std::size_t pos = 19;
    double fraction = 0;
    if (pos < text.size() && text[pos] == '.') {
        const std::size_t digits_start = pos;  // the point, read with the digits
        ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
        if (pos == digits_start + 1 || !parse_number("0" + text.substr(digits_start, pos - digits_start), fraction))
            return false;
    }
    if (pos < text.size() && text[pos] == 'Z') ++pos;
    if (pos != text.size()) return false;
    const int64_t days = days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    out = static_cast<double>(days * 86400 + int64_t{hour} * 3600 + int64_t{minute} * 60 + second) + fraction;
    return true;
}

bool parse_time(const std::string& text, double& out) { return parse_iso_time(text, out) || parse_number(text, out); }

// Splits "A,B,C" (blanks around the fields allowed) into its fields.
std::vector<std::string> split_fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(trim(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

// Latitude and longitude in range; else a message for the caller.
const char* check_lat_lon(double lat, double lon) {
    if (lat < -90 || lat > 90) return "latitude outside -90..90";
    if (lon < -180 || lon > 180) return "longitude outside -180..180";
    return nullptr;
}

bool parse_lat_lon(const std::string& lat_text, const std::string& lon_text, double& lat, double& lon,
                   std::string& error) {
    if (!parse_number(lat_text, lat) || !parse_number(lon_text, lon)) {
        error = "latitude and longitude must be decimal degrees";
        return false;
    }
    if (const char* problem = check_lat_lon(lat, lon)) {
        error = problem;
        return false;
    }
    return true;
}

}  // namespace

bool parse_position(const std::string& text, position_source& out, std::string& error) {
    const std::vector<std::string> fields = split_fields(text);
    double lat = 0, lon = 0;
    std::string problem;
    if (fields.size() != 2) {
        problem = "expected LAT,LON";
    } else if (parse_lat_lon(fields[0], fields[1], lat, lon, problem)) {
        out = position_source{};
        out.kind = position_source::fixed;
        out.lat = lat;
        out.lon = lon;
        return true;
    }
    error = "bad position \"" + text + "\": " + problem;
    return false;
}

bool load_track(const std::string& path, position_source& out, std::string& error) {
    input_file f;
    if (!f.open(path)) {
        error = "cannot open track " + path;
        return false;
    }
    position_source track;
    track.kind = position_source::track;
    std::string line;
    bool too_long = false;
    bool first = true;
    for (uint64_t number = 1; next_line(f, max_track_line, line, too_long); ++number) {
        const std::string where = path + ":" + std::to_string(number) + ": ";
        if (too_long) {
            error = where + "line longer than " + std::to_string(max_track_line) + " characters";
            return false;
        }
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> fields = split_fields(line);
        position_fix fix{};
        const bool has_time = parse_time(fields[0], fix.time);
        // The header: the first line, whose time field has no digit (a
        // mistyped first fix is an error, not a header).
        const bool header = first && fields[0].find_first_of("0123456789") == std::string::npos;
        first = false;
        if (header) continue;
        std::string problem;
        if (fields.size() != 3) {
            problem = "expected TIME,LATITUDE,LONGITUDE";
        } else if (!has_time) {
            problem = "bad time \"" + fields[0] + "\" (ISO 8601 UTC or seconds since 1970)";
        } else if (parse_lat_lon(fields[1], fields[2], fix.lat, fix.lon, problem) && !track.fixes.empty() &&
                   fix.time <= track.fixes.back().time) {
            problem = "time not after the previous fix";
        }
        if (!problem.empty()) {
            error = where + problem;
            return false;
        }
        track.fixes.push_back(fix);
    }
    if (f.error()) {
        error = "cannot read track " + path;
        return false;
    }
    if (track.fixes.empty()) {
        error = path + ": no fixes in the track";
        return false;
    }
    out = std::move(track);
    return true;
}

bool position_at(const position_source& source, double t, double& lat, double& lon, track_cursor* cursor) {
    track_cursor local;
    track_cursor& c = cursor != nullptr ? *cursor : local;
    if (!(t >= c.t0 && t < c.t1)) {
        if (source.kind == position_source::fixed) {
            lat = source.lat;
            lon = source.lon;
            return true;
        }
        const std::vector<position_fix>& fx = source.fixes;
        if (source.kind != position_source::track || fx.empty() || !(t >= fx.front().time) || !(t <= fx.back().time))
            return false;
        // The first fix later than t; t lies between it and the fix before.
        std::size_t lo = 0, hi = fx.size();
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (fx[mid].time <= t)
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo == fx.size()) {  // t is the last fix's time
            lat = fx.back().lat;
            lon = fx.back().lon;
            return true;
        }
        const position_fix& a = fx[lo - 1];
        const position_fix& b = fx[lo];
        double dlon = b.lon - a.lon;
        if (dlon > 180) dlon -= 360;
        if (dlon < -180) dlon += 360;
        c = {a.time, b.time, a.lat, a.lon, (b.lat - a.lat) / (b.time - a.time), dlon / (b.time - a.time)};
    }
    const double dt = t - c.t0;
    lat = c.lat0 + dt * c.lat_rate;
    lon = c.lon0 + dt * c.lon_rate;
    if (lon > 180) lon -= 360;
    if (lon < -180) lon += 360;
    return true;
}

}  // namespace vandrel
