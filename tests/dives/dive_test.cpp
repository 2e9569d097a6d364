// Worked examples of the dive table: rows of TDR runs in, table lines out
// (the header is checked end to end by recompute_dives.py).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dives/dive_detector.h"
#include "dives/dive_table.h"
#include "test_files.h"

namespace {

struct run_rows {
    unsigned mask;
    uint16_t interval;  // hundredths of a second
    double start;
    std::vector<uint16_t> depths;  // raw counts of unit; temperatures are 16.85 C + 0.1 C per row
    double unit = 0.1;             // metres per count: 0.001 for a regime-5 run
};

constexpr unsigned wet = vandrel::channel_depth | vandrel::channel_temperature;

const struct {
    const char* name;
    vandrel::dive_settings settings;
    std::vector<run_rows> runs;
    const char* table;  // the lines after the header, '|' for a tab, '\n' for CR LF, '~' for 1970/01/01
} cases[] = {
    {"cut at both ends, equal maxima, dip in the bottom, bottom bounds at 85 %, one-row dive",
     {40, 0},
     {{wet, 100, 0.0, {50, 60, 30, 45, 169, 170, 200, 140, 200, 170, 169, 50, 20, 41, 10, 45, 55}}},
     "1|~00:00:00|~00:00:01|2.00|6.0|~00:00:01|1.00|6.00|1.00|1.000|0.00|NA|16.90|1.00|N\n"
     "2|~00:00:03|~00:00:11|9.00|20.0|~00:00:06|5.00|17.60|2.00|6.250|2.00|6.000|17.55|1.00|Y\n"
     "3|~00:00:13|~00:00:13|1.00|4.1|~00:00:13|1.00|4.10|0.00|NA|0.00|NA|18.15|1.00|Y\n"
     "4|~00:00:15|~00:00:16|2.00|5.5|~00:00:16|1.00|5.50|1.00|1.000|0.00|NA|18.40|NA|N\n"},
    {"zero offset, no temperature, times rounded to the millisecond",
     {40, -5},
     {{vandrel::channel_depth, 250, 0.9996, {30, 36, 35, 40, 50, 45, 36, 10}}},
     "1|~00:00:03|~00:00:03|2.50|4.1|~00:00:03|2.50|4.10|0.00|NA|0.00|NA|NA|2.50|Y\n"
     "2|~00:00:08|~00:00:16|10.00|5.5|~00:00:11|5.00|5.25|2.50|0.400|2.50|0.360|NA|NA|Y\n"},
    {"a haul-out: dry rows hold no dives and every run cuts its dives; no descent",
     {45, 0},
     {{wet, 100, 0.0, {10, 60, 50}},
      {vandrel::channel_temperature, 6000, 100.0, {99, 99}},
      {wet, 100, 1000.0, {70, 20, 45, 50, 10}}},
     "1|~00:00:01|~00:00:02|2.00|6.0|~00:00:01|1.00|6.00|0.00|NA|1.00|1.000|17.00|NA|N\n"
     "2|~00:16:40|~00:16:40|1.00|7.0|~00:16:40|1.00|7.00|0.00|NA|0.00|NA|16.85|2.00|N\n"
     "3|~00:16:43|~00:16:43|1.00|5.0|~00:16:43|1.00|5.00|0.00|NA|0.00|NA|17.15|NA|Y\n"},
    {"no dive: the header alone", {40, 0}, {{wet, 100, 0.0, {40, 0, 40}}}, ""},
    {"millimetre counts: threshold and zero offset taken in millimetres, depths printed to the millimetre",
     {40, 1},
     {{vandrel::channel_depth, 100, 0.0, {3000, 4001, 4500, 4200, 100}, 0.001},
      {vandrel::channel_depth, 100, 10.0, {0, 5000, 6000, 5000, 0}, 0.001}},
     "1|~00:00:02|~00:00:03|2.00|4.400|~00:00:02|2.00|4.25|0.00|NA|0.00|NA|NA|NA|Y\n"
     "2|~00:00:11|~00:00:13|3.00|5.900|~00:00:12|1.00|5.90|1.00|1.000|1.00|1.000|NA|NA|Y\n"},
    {"a negative threshold counts as 0",
     {-10, 0},
     {{wet, 100, 0.0, {0, 1, 0}}},
     "1|~00:00:01|~00:00:01|1.00|0.1|~00:00:01|1.00|0.10|0.00|NA|0.00|NA|16.95|NA|Y\n"},
};

TEST(dive_table, worked_examples) {
    // The rows a dive gathers before folding them change nothing.
    for (const auto& c : cases)
        for (const std::size_t fold_rows : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{4096}}) {
            vandrel_test::temp_dir dir;
            const std::string path = dir.file("x_dives.txt");
            vandrel_test::write_bytes(path, {'o', 'l', 'd'});  // an earlier table is replaced
            vandrel::dive_table_writer writer(path);
            vandrel::dive_detector detector(c.settings, writer, fold_rows);
            for (const run_rows& run : c.runs) {
                vandrel::tdr_run_info info{};
                info.mask = run.mask;
                info.interval = run.interval;
                info.depth_unit = run.unit;
                detector.tdr_run(info);
                for (std::size_t k = 0; k < run.depths.size(); ++k) {
                    vandrel::tdr_row row{};
                    row.time = run.start + static_cast<double>(k) * run.interval * 0.01;
                    row.raw_depth = run.depths[k];
                    row.depth = run.depths[k] * run.unit;
                    row.temperature = vandrel::tdr_temperature_celsius(static_cast<uint16_t>(5800 + 2 * k));
                    detector.tdr_sample(row);
                }
                detector.tdr_run_end();
            }
            std::string error, want;
            EXPECT_TRUE(writer.finish(true, error)) << c.name << fold_rows;
            for (const char* p = c.table; *p != '\0'; ++p)
                want += *p == '|' ? "\t" : *p == '\n' ? "\r\n" : *p == '~' ? "1970/01/01 " : std::string(1, *p);
            const std::string table = vandrel_test::read_text(path);
            EXPECT_EQ(table.substr(table.find("\r\n") + 2), want) << c.name << ", folding rows by " << fold_rows;
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()), {}),
                      1);
        }
}

TEST(dive_table, nothing_left_without_a_tdr_table_or_on_error) {
    vandrel_test::temp_dir dir;
    std::string error;
    vandrel::dive_table_writer(dir.file("a_dives.txt")).dive(vandrel::dive_record{});  // never finished
    vandrel::dive_table_writer unwanted(dir.file("b_dives.txt"));
    unwanted.dive(vandrel::dive_record{});
    EXPECT_TRUE(unwanted.finish(false, error));
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(dir.file(""))));
    vandrel::dive_table_writer bad(dir.file("missing/c_dives.txt"));
    bad.dive(vandrel::dive_record{});
    EXPECT_FALSE(bad.finish(true, error));
    EXPECT_EQ(error, "Can't create DIVE data file " + dir.file("missing/c_dives.txt"));
    std::filesystem::create_directory(dir.file("d_dives.txt"));  // cannot be replaced by a file
    vandrel::dive_table_writer blocked(dir.file("d_dives.txt"));
    EXPECT_FALSE(blocked.finish(true, error));
    EXPECT_EQ(error, "Can't write DIVE data file " + dir.file("d_dives.txt"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("")), {}), 1);
}

TEST(dive_metres, accepted_and_refused_texts) {
    const std::pair<const char*, int32_t> accepted[] = {
        {"4", 40},
        {"0.35", 4},
        {"-2.25", -23},
        {"+1.e1", 100},
        {"+5", 50},
        {".5", 5},
        {"1E-1", 1},
        {"214748364.7", INT32_MAX},
        {"-214748364.8", INT32_MIN},
    };
    for (const auto& [text, decimetres] : accepted) {
        int32_t dm = 7;
        EXPECT_TRUE(vandrel::parse_dive_metres(text, true, dm)) << text;
        EXPECT_EQ(dm, decimetres) << text;
    }
    const char* refused[] = {"214748364.8", "-214748364.9", "",     "nan",   "inf", "-",   ".", "1e",
                             "4m",          " 4",           "0x10", "1e400", "1,5", "+-1", "+", "infinity"};
    int32_t dm = 7;
    for (const char* text : refused) EXPECT_FALSE(vandrel::parse_dive_metres(text, true, dm)) << text;
    EXPECT_FALSE(vandrel::parse_dive_metres("-0.04", false, dm));  // a threshold is never negative
    EXPECT_EQ(dm, 7);
    EXPECT_TRUE(vandrel::parse_dive_metres("-0", false, dm));
    EXPECT_EQ(dm, 0);
}

}  // namespace
