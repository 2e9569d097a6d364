// Where the logger was: one deployment position given on the command line,
// or a track of timed fixes read from a CSV file, and the position at a
// given time. The netCDF writers store these as latitude and longitude.
//
// Track files are text, one fix per line: "TIME,LATITUDE,LONGITUDE".
//   - TIME is UTC, either ISO 8601 ("2021-03-04T05:06:07Z", with 'T' or a
//     space between date and time, optional decimals of a second, the "Z"
//     optional) or seconds since 1970-01-01T00:00:00Z as a decimal number.
//   - LATITUDE is in decimal degrees north (-90..90), LONGITUDE in decimal
//     degrees east (-180..180).
//   - Fields are separated by commas, with optional blanks around them.
//     Blank lines and lines beginning with '#' are ignored. The first other
//     line is a header when its first field holds no digit, and is skipped;
//     any other line that is no valid fix is an error.
//   - Dates are real calendar dates: 2021-02-29 is refused.
//   - Times must increase strictly from line to line.
// Between two fixes the position is interpolated linearly in time (the
// longitude the short way round the antimeridian); before the first fix
// and after the last one it is unknown: no extrapolation.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vandrel {

struct position_fix {
    double time;  // seconds since 1970 UTC
    double lat;   // degrees north
    double lon;   // degrees east
};

struct position_source {
    enum kind_t { none, fixed, track } kind = none;
    double lat = 0, lon = 0;          // fixed
    std::vector<position_fix> fixes;  // track, sorted by time
};

// Reads "LAT,LON" (decimal degrees) into out as a fixed position. False
// with a message in error when the text is no such pair.
bool parse_position(const std::string& text, position_source& out, std::string& error);

// Reads the track file at path (format above) into out. False with a
// message naming the file and line in error when it cannot be read.
bool load_track(const std::string& path, position_source& out, std::string& error);

// The position at time t. False when unknown: no source, or t outside the
// track's first and last fix. cursor, when given, keeps the track segment
// found between calls with its rates of change: samples come in time order,
// and then cost no search and no division.
struct track_cursor {
    double t0 = 0, t1 = -1;  // the segment's first and last time; none yet
    double lat0 = 0, lon0 = 0, lat_rate = 0, lon_rate = 0;
};
bool position_at(const position_source& source, double t, double& lat, double& lon, track_cursor* cursor = nullptr);

}  // namespace vandrel
