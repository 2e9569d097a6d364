#include "netcdf/positions.h"

#include <gtest/gtest.h>

#include "test_files.h"

namespace {

using vandrel::position_source;

TEST(parse_position, accepts_pairs_and_names_the_problem) {
    struct row {
        const char* text;
        bool ok;
        double lat, lon;
        const char* error;
    };
    const row rows[] = {
        {"-45.5,170.25", true, -45.5, 170.25, ""},
        {" 12 , -3.5 ", true, 12, -3.5, ""},
        {"+90,180", true, 90, 180, ""},
        {"91,0", false, 0, 0, "bad position \"91,0\": latitude outside -90..90"},
        {"0,-180.5", false, 0, 0, "bad position \"0,-180.5\": longitude outside -180..180"},
        {"1,2,3", false, 0, 0, "bad position \"1,2,3\": expected LAT,LON"},
        {"north,2", false, 0, 0, "bad position \"north,2\": latitude and longitude must be decimal degrees"},
        {"nan,2", false, 0, 0, "bad position \"nan,2\": latitude and longitude must be decimal degrees"},
    };
    for (const row& r : rows) {
        position_source p;
        std::string error;
        EXPECT_EQ(vandrel::parse_position(r.text, p, error), r.ok) << r.text;
        EXPECT_EQ(error, r.error) << r.text;
        if (r.ok) {
            EXPECT_EQ(p.kind, position_source::fixed);
            EXPECT_EQ(p.lat, r.lat);
            EXPECT_EQ(p.lon, r.lon);
        }
    }
}

TEST(load_track, reads_fixes_or_names_the_line) {
    struct row {
        const char* text;
        std::size_t fixes;  // 0: an error
        double first_time;
        const char* error;  // after "PATH"
    };
    const row rows[] = {
        {"time,lat,lon\r\n2021-01-01T00:00:00Z,1,2\r\n2021-01-01 00:00:10.5,3,4\r\n", 2, 1609459200, ""},
        {"# comment\n\n100,1,2\n200,3,4", 2, 100, ""},
        {"100,1,2\n100,3,4\n", 0, 0, ":2: time not after the previous fix"},
        {"100,1,2\nlater,3,4\n", 0, 0, ":2: bad time \"later\" (ISO 8601 UTC or seconds since 1970)"},
        {"100,95,2\n", 0, 0, ":1: latitude outside -90..90"},
        {"100,1\n", 0, 0, ":1: expected TIME,LATITUDE,LONGITUDE"},
        {"100,1,2\n2021-13-01T00:00:00Z,1,2\n", 0, 0,
         ":2: bad time \"2021-13-01T00:00:00Z\" (ISO 8601 UTC or seconds since 1970)"},
        {"time,lat,lon\n", 0, 0, ": no fixes in the track"},
        // No such date; a first line with a digit in its time field is a fix.
        {"2024-02-29T00:00:00Z,1,2\n2026-02-30T00:00:00Z,1,2\n", 0, 0,
         ":2: bad time \"2026-02-30T00:00:00Z\" (ISO 8601 UTC or seconds since 1970)"},
        {"2026-12-31T23:59:59Z,1,2\n2026-12-32T00:00:00Z,1,2\n", 0, 0,
         ":2: bad time \"2026-12-32T00:00:00Z\" (ISO 8601 UTC or seconds since 1970)"},
        {"1O0,1,2\n200,3,4\n", 0, 0, ":1: bad time \"1O0\" (ISO 8601 UTC or seconds since 1970)"},
    };
    vandrel_test::temp_dir dir;
    const std::string path = dir.file("track.csv");
    for (const row& r : rows) {
        const std::string text = r.text;
        vandrel_test::write_bytes(path, std::vector<uint8_t>(text.begin(), text.end()));
        position_source p;
        std::string error;
        EXPECT_EQ(vandrel::load_track(path, p, error), r.fixes > 0) << r.text;
        if (r.fixes > 0) {
            ASSERT_EQ(p.fixes.size(), r.fixes) << r.text;
            EXPECT_EQ(p.fixes[0].time, r.first_time) << r.text;
        } else {
            EXPECT_EQ(error, path + r.error) << r.text;
        }
    }
    std::string error;
    position_source p;
    EXPECT_FALSE(vandrel::load_track(dir.file("missing.csv"), p, error));
    EXPECT_EQ(error, "cannot open track " + dir.file("missing.csv"));
}

TEST(position_at, interpolates_within_the_track_only) {
    position_source track;
    track.kind = position_source::track;
    track.fixes = {{100, 10, 170}, {200, 20, -170}, {300, 30, -160}};
    struct row {
        double t;
        bool known;
        double lat, lon;
    };
    const row rows[] = {
        {99, false, 0, 0},     {100, true, 10, 170},  {150, true, 15, 180}, {175, true, 17.5, -175},
        {250, true, 25, -165}, {300, true, 30, -160}, {300.5, false, 0, 0},
    };
    // Searched, and from the segment of the call before.
    vandrel::track_cursor cursor;
    for (const row& r : rows) {
        for (vandrel::track_cursor* c : {static_cast<vandrel::track_cursor*>(nullptr), &cursor, &cursor}) {
            double lat = 0, lon = 0;
            EXPECT_EQ(vandrel::position_at(track, r.t, lat, lon, c), r.known) << r.t;
            if (r.known) {
                EXPECT_DOUBLE_EQ(lat, r.lat) << r.t;
                EXPECT_DOUBLE_EQ(lon, r.lon) << r.t;
            }
        }
    }
    double lat = 0, lon = 0;
    EXPECT_FALSE(vandrel::position_at(position_source{}, 100, lat, lon));
}

}  // namespace
