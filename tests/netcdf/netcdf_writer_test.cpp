#include <gtest/gtest.h>
#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "netcdf/nc_file.h"
#include "netcdf/packet_netcdf_writer.h"
#include "netcdf/tdr_netcdf_writer.h"
#include "test_files.h"

namespace {

// A file read back through netCDF-C.
class nc_reader {
public:
    explicit nc_reader(const std::string& path) { ok_ = nc_open(path.c_str(), NC_NOWRITE, &ncid_) == NC_NOERR; }
    ~nc_reader() {
        if (ok_) nc_close(ncid_);
    }
    nc_reader(const nc_reader&) = delete;
    nc_reader& operator=(const nc_reader&) = delete;
    bool ok() const { return ok_; }

    std::size_t dim(const char* name) const {
        int id = -1;
        std::size_t n = 0;
        if (nc_inq_dimid(ncid_, name, &id) != NC_NOERR || nc_inq_dimlen(ncid_, id, &n) != NC_NOERR) return 0;
        return n;
    }
    // All values of a variable, empty when it is missing.
    std::vector<double> values(const char* name) const {
        int id = var(name);
        int ndims = 0;
        int dims[NC_MAX_VAR_DIMS];
        if (id < 0 || nc_inq_var(ncid_, id, nullptr, nullptr, &ndims, dims, nullptr) != NC_NOERR) return {};
        std::size_t n = 1;
        for (int i = 0; i < ndims; ++i) {
            std::size_t len = 0;
            nc_inq_dimlen(ncid_, dims[i], &len);
            n *= len;
        }
        std::vector<double> v(n);
        if (n > 0 && nc_get_var_double(ncid_, id, v.data()) != NC_NOERR) return {};
        return v;
    }
    std::string text(const char* var_name, const char* att) const {
        const int id = var_name == nullptr ? NC_GLOBAL : var(var_name);
        std::size_t len = 0;
        if (nc_inq_attlen(ncid_, id, att, &len) != NC_NOERR) return "(none)";
        std::string s(len, '\0');
        nc_get_att_text(ncid_, id, att, s.data());
        return s;
    }
    double number(const char* global_att) const {
        double v = -1;
        nc_get_att_double(ncid_, NC_GLOBAL, global_att, &v);
        return v;
    }
    int var(const char* name) const {
        int id = -1;
        return nc_inq_varid(ncid_, name, &id) == NC_NOERR ? id : -1;
    }

private:
    int ncid_ = -1;
    bool ok_ = false;
};

vandrel::netcdf_metadata metadata() {
    vandrel::netcdf_metadata m;
    m.source_name = "tag7_compressed.dat";
    m.source_size = 12345;
    m.history = "vandrel-tdr --netcdf tag7_compressed.dat";
    m.date_created = 1700000000;
    m.version = "vandrel test";
    return m;
}

vandrel::packet_row packet_sample(uint32_t id, int64_t time, uint16_t raw_light) {
    return {id, time, 10.5, 12.25, 40.125, 35.5, 0.5, raw_light == vandrel::no_light ? 0 : 2.5, raw_light, 1234};
}

std::vector<std::string> files_in(const vandrel_test::temp_dir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(dir.file("")).parent_path()))
        names.push_back(e.path().filename().string());
    return names;
}

TEST(packet_netcdf_writer, writes_an_indexed_ragged_time_series) {
    vandrel_test::temp_dir dir;
    const std::string path = dir.file("d_extracted.nc");
    vandrel::netcdf_metadata meta = metadata();
    meta.positions.kind = vandrel::position_source::fixed;
    meta.positions.lat = -40;
    meta.positions.lon = 150;
    vandrel::packet_netcdf_writer w(path, meta);
    // IDs 7, 0xFFFFFFFE (-2 signed), 7 again: two stations; many rows, so that
    // they are written in several blocks.
    const std::size_t n = 200000;
    for (int reading = 0; reading < 2; ++reading) {
        if (reading == 1) w.start_writing();
        for (std::size_t i = 0; i < n; ++i) {
            const uint32_t id = i < 3000 || i >= 8000 ? 7u : 0xFFFFFFFEu;
            w.sample(packet_sample(id, 1600000000 + static_cast<int64_t>(i), i == 5 ? vandrel::no_light : 100));
        }
    }
    std::string error;
    ASSERT_TRUE(w.finish(true, error)) << error;
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"d_extracted.nc"});

    nc_reader r(path);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.dim("obs"), n);
    EXPECT_EQ(r.dim("packet"), 2u);
    EXPECT_EQ(r.values("packet_id"), (std::vector<double>{7, -2}));
    EXPECT_EQ(r.values("lat"), (std::vector<double>{-40, -40}));
    const std::vector<double> index = r.values("packet_index");
    EXPECT_EQ(index[2999], 0);
    EXPECT_EQ(index[3000], 1);
    EXPECT_EQ(index[n - 1], 0);
    EXPECT_EQ(r.values("time")[n - 1], 1600000000.0 + n - 1);
    EXPECT_EQ(r.values("light")[5], NC_FILL_DOUBLE);
    EXPECT_EQ(r.values("light")[6], 2.5);
    EXPECT_EQ(r.text(nullptr, "featureType"), "timeSeries");
    EXPECT_EQ(r.text(nullptr, "date_created"), "2023-11-14T22:13:20Z");
    EXPECT_EQ(r.text(nullptr, "time_coverage_duration"), "P2DT7H33M19S");
    EXPECT_EQ(r.text(nullptr, "time_coverage_resolution"), "PT1S");
    EXPECT_EQ(r.number("geospatial_vertical_max"), 10.5);
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The rows of a file whose IDs recur and whose times repeat; a row's
// pressure follows its position.
std::vector<vandrel::packet_row> mixed_rows() {
    std::vector<vandrel::packet_row> rows;
    for (int i = 0; i < 40; ++i) {
        const uint32_t id = i < 10 ? 7u : i < 25 ? 9u : i < 30 ? 7u : 11u;
        // Steps of 3 s, one back to a repeated time, 1 s only from row 20 to
        // row 21, then 2 s.
        const int64_t t = 1700000000 + (i < 20 ? 3 * i : i == 20 ? 57 : 58 + 2 * (i - 21));
        vandrel::packet_row row = packet_sample(id, t, 100);
        row.pressure = 50 - std::abs(i - 17) * 1.5;
        rows.push_back(row);
    }
    return rows;
}

// The file written after a first reading in two parts, the second part
// from row `split` on, counted by a writer of its own.
std::string written_after_parts(const std::string& path, const vandrel::netcdf_metadata& meta, std::size_t split) {
    const std::vector<vandrel::packet_row> rows = mixed_rows();
    {
        vandrel::packet_netcdf_writer w(path, meta), later(path, meta);
        w.samples(rows.data(), split);
        later.samples(rows.data() + split, rows.size() - split);
        w.add_counts(later);
        w.start_writing();
        w.samples(rows.data(), rows.size());
        std::string error;
        if (!w.finish(true, error)) return error;
    }
    return file_bytes(path);
}

TEST(packet_netcdf_writer, counts_a_first_reading_in_parts_as_in_one) {
    vandrel_test::temp_dir dir;
    const std::string path = dir.file("p_extracted.nc");
    vandrel::netcdf_metadata none = metadata(), fixed = metadata(), track = metadata();
    fixed.positions.kind = vandrel::position_source::fixed;
    fixed.positions.lat = -40;
    fixed.positions.lon = 150;
    track.positions.kind = vandrel::position_source::track;
    track.positions.fixes = {{1700000000, 10, 20}, {1700000050, 11, 22}, {1700005000, -5, 25}};
    for (const vandrel::netcdf_metadata* meta : {&none, &fixed, &track}) {
        const std::string whole = written_after_parts(path, *meta, 40);
        // A part of no rows; the second part bringing a new ID, a repeated
        // time, the smallest step.
        for (std::size_t split : {0, 1, 10, 20, 21, 35, 39}) {
            SCOPED_TRACE(split);
            EXPECT_EQ(written_after_parts(path, *meta, split), whole);
        }
    }
    nc_reader r(path);
    EXPECT_EQ(r.values("packet_id"), (std::vector<double>{7, 9, 11}));
    EXPECT_EQ(r.number("geospatial_vertical_max"), 50);
    EXPECT_EQ(r.text(nullptr, "time_coverage_resolution"), "PT1S");
}

TEST(nc_name_from, makes_valid_names_unique) {
    std::vector<std::string> taken = {"time"};
    const std::pair<const char*, const char*> names[] = {
        {"Fluoro(V)", "Fluoro_V"}, {"2nd probe", "channel_2nd_probe"}, {"_x_", "x"},      {"(%)", "channel_"},
        {"time", "time_2"},        {"Fluoro V", "Fluoro_V_2"},         {"time", "time_3"}};
    for (const auto& [text, name] : names) EXPECT_EQ(vandrel::detail::nc_name_from(text, taken), name) << text;
}

// One sample in both readings; what finish returns.
bool write_one_sample(const std::string& path, bool table_written, std::string& error) {
    vandrel::packet_netcdf_writer w(path, metadata());
    for (int reading = 0; reading < 2; ++reading) {
        if (reading == 1) w.start_writing();
        w.sample(packet_sample(1, 1600000000, 100));
    }
    return w.finish(table_written, error);
}

TEST(packet_netcdf_writer, leaves_no_file_when_no_table_or_on_error) {
    vandrel_test::temp_dir dir;
    std::string error;
    EXPECT_TRUE(write_one_sample(dir.file("a_extracted.nc"), false, error));
    EXPECT_EQ(error, "");
    EXPECT_FALSE(write_one_sample(dir.file("missing/a_extracted.nc"), true, error));
    EXPECT_EQ(error, "nc_create: No such file or directory");
    EXPECT_TRUE(files_in(dir).empty());
    // Same calls, same bytes, whatever the names of the file and its folder.
    const std::string folder = "donn\u00e9es \u03a9";
    std::filesystem::create_directory(std::filesystem::u8path(dir.file(folder)));
    const std::string paths[2] = {dir.file("same.nc"), dir.file(folder + "/\u03c4\u03b1\u03c5_extracted.nc")};
    std::string bytes[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(write_one_sample(paths[i], true, error)) << error;
        std::ifstream f(std::filesystem::u8path(paths[i]), std::ios::binary);
        bytes[i].assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    EXPECT_EQ(bytes[0], bytes[1]);
    EXPECT_FALSE(bytes[0].empty());
}

// Feeds a TDR stream's records: a regime-1 run, then a regime-7 run (whose
// further channels begin after rows were written), a regime-5 run, then two
// regime-3 runs with one and two photo channels.
void feed_tdr(vandrel::tdr_netcdf_writer& w, std::size_t rows_per_run) {
    w.tdr_table({1, 0});
    vandrel::info_values info{};
    info.fw_version = 42;
    info.tdr_interval = 200;
    w.info(info);
    const struct {
        uint8_t regime;
        unsigned mask;
        uint8_t n_photo;
    } runs[] = {{1, 0x03, 0}, {7, 0x3B, 0}, {5, 0x01, 0}, {3, 0x07, 1}, {3, 0x07, 2}};
    const uint16_t photo[2] = {11, 12};
    double t = 1600000000;
    for (uint32_t run = 0; run < 5; ++run) {
        const unsigned mask = runs[run].mask;
        const double unit = vandrel::depth_unit_for(runs[run].regime);
        w.tdr_run({run, runs[run].regime, mask, unit, false, t, 200, runs[run].n_photo, 0});
        const auto has = [mask](unsigned bit, double v) { return mask & bit ? v : vandrel::no_value; };
        for (std::size_t i = 0; i < rows_per_run; ++i, t += 2) {
            const double mag = mask & vandrel::channel_magnetometer;
            vandrel::tdr_row row{run,
                                 t,
                                 mask,
                                 123 * unit,
                                 has(vandrel::channel_temperature, 26.85),
                                 has(vandrel::channel_odo, 1.2),
                                 {mag ? -0.5 : NAN, mag ? 0.7 : NAN, mag ? 30 : NAN},
                                 mag ? -3 : NAN,
                                 1,
                                 runs[run].n_photo,
                                 photo,
                                 0,
                                 0,
                                 0,
                                 {0, 0, 0},
                                 -3};
            w.tdr_sample(row);
        }
        w.tdr_run_end();
    }
    w.haulout({t - 100, t - 50, 0});
    w.wetdry({t - 10, 0, 0});
    vandrel::dive_record dive{1, 0,    1600000000, 1600000010, 1600000004, 250, 0.1, 6,   12,
                              4, 24.5, 4,          6,          4,          NAN, 5,   NAN, false};
    w.dive(dive);
}

TEST(tdr_netcdf_writer, writes_channels_events_and_dives) {
    vandrel_test::temp_dir dir;
    const std::string prefix = dir.file("tag");
    const std::size_t per_run = 50000;
    // A track from the second row to the row after the first run.
    vandrel::netcdf_metadata meta = metadata();
    meta.positions.kind = vandrel::position_source::track;
    meta.positions.fixes = {{1600000002, 0, 0}, {1600000002.0 + 2 * per_run, 10, 20}};
    vandrel::tdr_netcdf_writer w(prefix, meta, true);
    feed_tdr(w, per_run);
    w.start_writing();
    feed_tdr(w, per_run);
    std::vector<vandrel::netcdf_failure> failures;
    ASSERT_TRUE(w.finish(failures));
    std::vector<std::string> files = files_in(dir);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"tag_dives.nc", "tag_events.nc", "tag_tdr.nc"}));

    nc_reader r(prefix + "_tdr.nc");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.text(nullptr, "featureType"), "trajectory");
    const std::vector<double> lat = r.values("lat"), lon = r.values("lon");
    const double lat_fill = NC_FILL_FLOAT;
    const std::vector<std::vector<double>> positions = {{0, lat_fill, lat_fill},
                                                        {1, 0, 0},
                                                        {1 + per_run / 2, 5, 10},
                                                        {per_run + 1, 10, 20},
                                                        {per_run + 2, lat_fill, lat_fill}};
    for (const auto& p : positions) {
        EXPECT_EQ(lat[static_cast<std::size_t>(p[0])], p[1]) << p[0];
        EXPECT_EQ(lon[static_cast<std::size_t>(p[0])], p[2]) << p[0];
    }
    EXPECT_EQ(r.number("geospatial_lat_max"), 10);
    EXPECT_EQ(r.dim("obs"), 5 * per_run);
    const std::vector<double> depth = r.values("depth"), temp = r.values("temperature"), odo = r.values("odometer");
    const std::vector<double> mag_x = r.values("magnetometer_x"), wetdry = r.values("wetdry");
    const std::vector<double> photo_1 = r.values("photo_1"), photo_2 = r.values("photo_2");
    struct row {
        std::size_t i;
        double depth, temp, odo, mag_x, wetdry, photo_1, photo_2;
    };
    const double fill = NC_FILL_FLOAT, short_fill = NC_FILL_SHORT, int_fill = NC_FILL_INT;
    const row rows[] = {
        {0, 12.3f, 26.85f, fill, fill, short_fill, int_fill, int_fill},
        {per_run - 1, 12.3f, 26.85f, fill, fill, short_fill, int_fill, int_fill},
        {per_run, 12.3f, 26.85f, 1.2f, -0.5f, 1, int_fill, int_fill},
        {2 * per_run, 0.123f, fill, fill, fill, short_fill, int_fill, int_fill},
        {3 * per_run, 12.3f, 26.85f, fill, fill, short_fill, 11, int_fill},
        {5 * per_run - 1, 12.3f, 26.85f, fill, fill, short_fill, 11, 12},
    };
    for (const row& x : rows) {
        EXPECT_EQ(depth[x.i], x.depth) << x.i;
        EXPECT_EQ(temp[x.i], x.temp) << x.i;
        EXPECT_EQ(odo[x.i], x.odo) << x.i;
        EXPECT_EQ(mag_x[x.i], x.mag_x) << x.i;
        EXPECT_EQ(wetdry[x.i], x.wetdry) << x.i;
        EXPECT_EQ(photo_1[x.i], x.photo_1) << x.i;
        EXPECT_EQ(photo_2[x.i], x.photo_2) << x.i;
    }
    EXPECT_EQ(r.dim("name_strlen"), std::string("tag7_compressed.dat").size());
    EXPECT_EQ(r.text("magnetometer_x", "units"), "uT");
    EXPECT_EQ(r.text(nullptr, "time_coverage_resolution"), "PT2S");
    EXPECT_EQ(r.number("geospatial_vertical_min"), 0.123);
    EXPECT_EQ(r.number("logger_firmware_version"), 42);
    EXPECT_EQ(r.number("logger_tdr_interval_seconds"), 2);

    nc_reader events(prefix + "_events.nc");
    EXPECT_EQ(events.values("run_regime"), (std::vector<double>{1, 7, 5, 3, 3}));
    EXPECT_EQ(events.values("haulout_end_time"), std::vector<double>{1600000000.0 + 10 * per_run - 50});
    EXPECT_EQ(events.values("wetdry_change_state"), std::vector<double>{0});
    nc_reader dives(prefix + "_dives.nc");
    EXPECT_EQ(dives.values("dive_max_depth"), std::vector<double>{25});
    EXPECT_EQ(dives.values("dive_ascent_rate"), std::vector<double>{NC_FILL_DOUBLE});
    EXPECT_EQ(dives.values("dive_complete"), std::vector<double>{0});
}

// The CTD channels by name across casts, and GPS fixes stored before 1970
// (the tables of generated streams check the rest).
TEST(tdr_netcdf_writer, writes_ctd_channels_and_gps_fixes) {
    vandrel_test::temp_dir dir;
    const std::string prefix = dir.file("tag");
    vandrel::netcdf_metadata meta = metadata();
    meta.positions.kind = vandrel::position_source::fixed;
    vandrel::tdr_netcdf_writer w(prefix, meta, false);
    using kind = vandrel::ctd_channel_kind;
    const auto channel = [](const char* label, const char* units, kind k) {
        return vandrel::ctd_channel{label, units, 1, 0, k};
    };
    const vandrel::ctd_channel_set channels{
        4,
        {channel("FLUORO(V)", "V", kind::fluorescence), channel("Photo2", "1", kind::photo),
         channel("Photo2", "1", kind::photo), channel("INTERNAL_TEMP(C)", "degree_C", kind::internal_temperature)}};
    // The second cast has other channels: they go by name.
    const vandrel::ctd_channel_set other{
        4,
        {channel("PHASE(deg)", "degree", kind::phase), channel("FLUORO(V)", "V", kind::fluorescence),
         channel("Photo2", "1", kind::photo), channel("Photo2", "1", kind::photo)}};
    const uint8_t entries[] = {5, 0x01, 0x02, 9, 0xFF, 0xFF};
    for (int reading = 0; reading < 2; ++reading) {
        if (reading == 1) w.start_writing();
        w.ctd_table(channels);
        for (uint32_t cast = 0; cast < 2; ++cast) {
            w.ctd_cast({cast, 0x21, 1600000000.0 + cast * 100, 50, 1000, cast == 0 ? &channels : &other, 0});
            for (int i = 0; i < 3 - static_cast<int>(cast); ++i)
                w.ctd_sample({cast, 1600000000.0 + cast * 100 + i, 1.5, 10, 40, 35, 4, {0.25, 1, 2, 20}, cast == 0});
        }
        w.gps_table();
        w.gps({{121, 1, 1, 0, 0, 0}, 1609459200, 2, entries, 0});
        w.gps({{0, 0, 0, 0, 0, 0}, -1, 0, nullptr, 0});
    }
    std::vector<vandrel::netcdf_failure> failures;
    ASSERT_TRUE(w.finish(failures));

    nc_reader ctd(prefix + "_ctd.nc");
    EXPECT_EQ(ctd.text(nullptr, "featureType"), "profile");
    EXPECT_EQ(ctd.values("row_size"), (std::vector<double>{3, 2}));
    const double fill = NC_FILL_DOUBLE;
    EXPECT_EQ(ctd.values("fluorescence"), (std::vector<double>{0.25, 0.25, 0.25, 1, 1}));
    EXPECT_EQ(ctd.values("photo_2"), (std::vector<double>{2, 2, 2, 20, 20}));
    EXPECT_EQ(ctd.values("internal_temperature"), (std::vector<double>{20, 20, 20, fill, fill}));
    EXPECT_EQ(ctd.values("phase"), (std::vector<double>{fill, fill, fill, 0.25, 0.25}));
    EXPECT_EQ(ctd.text("phase", "units"), "degree");
    EXPECT_EQ(ctd.text("fluorescence", "long_name"), "FLUORO(V)");

    nc_reader gps(prefix + "_gps.nc");
    EXPECT_EQ(gps.values("satellites"), (std::vector<double>{2, 0}));
    EXPECT_EQ(gps.values("fix_time"), (std::vector<double>{1609459200, NC_FILL_DOUBLE}));
    EXPECT_EQ(gps.values("satellite_id"), (std::vector<double>{5, 9}));
    EXPECT_EQ(gps.values("satellite_value"), (std::vector<double>{258, 65535}));
    EXPECT_EQ(gps.values("fix_index"), (std::vector<double>{0, 0}));
}

TEST(tdr_netcdf_writer, names_every_file_that_failed_and_leaves_none) {
    vandrel_test::temp_dir dir;
    // A folder that does not exist: every file fails. A second reading with
    // more TDR rows than the first: the TDR file alone.
    const std::string differ = "the second reading of the input gave other records than the first";
    const std::string no_folder = "nc_create: No such file or directory";
    const std::vector<std::string> all = {"_tdr.nc", "_events.nc", "_dives.nc", "_acc.nc"};
    const struct {
        std::string prefix;
        std::size_t first_rows, second_rows;
        std::vector<std::string> failed;
        std::string error;
    } cases[] = {
        {dir.file("missing/tag"), 10, 10, all, no_folder},
        {dir.file("tag"), 10, 11, {"_tdr.nc"}, differ},
    };
    for (const auto& c : cases) {
        {
            vandrel::tdr_netcdf_writer w(c.prefix, metadata(), true);
            feed_tdr(w, c.first_rows);
            w.acc_table();
            w.start_writing();
            feed_tdr(w, c.second_rows);
            w.acc_table();
            std::vector<vandrel::netcdf_failure> failures;
            EXPECT_FALSE(w.finish(failures));
            ASSERT_EQ(failures.size(), c.failed.size());
            for (std::size_t i = 0; i < failures.size(); ++i) {
                EXPECT_EQ(failures[i].path, c.prefix + c.failed[i]);
                EXPECT_EQ(failures[i].error, c.error);
            }
        }
        for (const std::string& name : files_in(dir))
            EXPECT_EQ(std::find(c.failed.begin(), c.failed.end(), name.substr(3)), c.failed.end()) << name;
        for (const std::string& name : files_in(dir)) std::filesystem::remove(dir.file(name));
    }
}

}  // namespace
