#include "report/report_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>

#include "report/page.h"
#include "tests/test_files.h"

namespace {

using vandrel_test::exists;
using vandrel_test::read_text;
using vandrel_test::temp_dir;

TEST(ReportPage, NumbersAndStringsForTheDataElement) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double v;
        int decimals;
        const char* text;
    } numbers[] = {{12.5, 3, "12.5"}, {3, 2, "3"},         {-0.0001, 3, "0"}, {-2.25, 1, "-2.2"},
                   {100, 0, "100"},   {0.001, 3, "0.001"}, {nan, 2, "null"},  {HUGE_VAL, 2, "null"}};
    for (const auto& r : numbers) {
        std::string out;
        vandrel::detail::append_number(out, r.v, r.decimals);
        EXPECT_EQ(out, r.text) << r.v;
    }
    const struct {
        const char* in;
        const char* json;
    } strings[] = {{"a\"b\\", R"("a\"b\\")"},
                   {"</script><b>&", R"("\u003c/script\u003e\u003cb\u003e\u0026")"},
                   {"tab\there\n", R"("tab\u0009here\u000a")"},
                   {"caf\xC3\xA9", "\"caf\xC3\xA9\""}};
    for (const auto& r : strings) {
        std::string out;
        vandrel::detail::append_json_string(out, r.in);
        EXPECT_EQ(out, r.json) << r.in;
    }
    const struct {
        uint64_t n;
        const char* text;
    } counts[] = {{0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}, {20250101, "20,250,101"}};
    for (const auto& r : counts) EXPECT_EQ(vandrel::detail::count_text(r.n), r.text);
}

// The page stands alone: no file or address is referred to outside the
// library's licence comment, every line ends in CR LF, and no temporary
// file is left beside it.
void expect_self_contained(const std::string& page, const std::string& folder) {
    EXPECT_EQ(page.rfind("<!DOCTYPE html>\r\n", 0), 0u);
    EXPECT_EQ(page.find("src="), std::string::npos);
    EXPECT_EQ(page.find("href="), std::string::npos);
    std::string outside_comments;
    for (std::size_t at = 0; at < page.size();) {
        const std::size_t open = page.find("/*", at);
        outside_comments += page.substr(at, open - at);
        if (open == std::string::npos) break;
        const std::size_t close = page.find("*/", open);
        at = close == std::string::npos ? page.size() : close + 2;
    }
    EXPECT_EQ(outside_comments.find("http"), std::string::npos);
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '\n') {
            ASSERT_TRUE(i > 0 && page[i - 1] == '\r') << "bare LF at " << i;
        }
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().extension(), ".html") << entry.path();
    }
}

vandrel::report_metadata meta(const char* name) { return {name, 4096, "vandrel 9.9.9", 1700000000}; }

TEST(PacketReport, WrittenOnlyWithATableAndSelfContained) {
    temp_dir dir;
    const std::string path = dir.file("dump_report.html");
    std::string error;
    {
        vandrel::packet_report_writer w(path, meta("</script>dump.bin"));
        EXPECT_TRUE(w.finish(false, error));
        EXPECT_FALSE(exists(path));
    }
    vandrel::packet_report_writer w(path, meta("</script>dump.bin"));
    w.packet({7, 1500000000, 2013, 2017, 2, 0});
    w.sample({7, 1500000000, 10.5, 12.25, 40, 35.125, 1, 2, 693, 3300});
    w.sample({7, 1500000001, 11, 12.5, 40, 35.25, 1, 0, vandrel::no_light, 3300});
    w.skipped(vandrel::packet_skip::missing_marker, 384);
    ASSERT_TRUE(w.finish(true, error)) << error;
    const std::string page = read_text(path);
    expect_self_contained(page, dir.file(""));
    EXPECT_NE(page.find("\\u003c/script\\u003edump.bin"), std::string::npos);
    EXPECT_NE(page.find(R"(["Rows","2"])"), std::string::npos);
    EXPECT_NE(page.find(R"j(["Skipped: start marker missing","1 (at byte 384)"])j"), std::string::npos);
    EXPECT_NE(page.find("header 2013 dated 2017: 1 packets"), std::string::npos);
    EXPECT_NE(page.find(R"("name":"ID 7","x":[0,1],"y":[12.25,12.5])"), std::string::npos);

    vandrel::packet_report_writer same_year(path, meta("dump.bin"));
    same_year.packet({7, 1500000000, 2017, 2017, 1, 0});
    same_year.sample({7, 1500000000, 10.5, 12.25, 40, 35.125, 1, 2, 693, 3300});
    ASSERT_TRUE(same_year.finish(true, error)) << error;
    EXPECT_NE(read_text(path).find("none: every packet keeps the year of its header"), std::string::npos);
}

TEST(TdrReport, SummaryPlotsDivesAndErrors) {
    temp_dir dir;
    const std::string path = dir.file("tag_report.html");
    std::string error;
    vandrel::tdr_report_writer w(path, meta("tag_compressed.dat"), true);
    vandrel::tdr_run_summary summary{3, 1, 0, 0, 812, false, "Unknown code 0x42"};
    EXPECT_TRUE(w.finish({}, error));
    EXPECT_FALSE(exists(path));

    w.tdr_table({1, 0});
    const unsigned mask = vandrel::channel_depth | vandrel::channel_temperature;
    const double t = 1600000000.5;
    for (uint16_t i = 0; i < 3; ++i) {
        w.tdr_sample({0, t + i, mask, static_cast<uint16_t>(100 * i), 5663, 0, {0, 0, 0}, 0, 0, 0, nullptr});
    }
    w.haulout({t + 10, t + 20, 99});
    w.dive({1, 0, t, t + 2, t + 2, 200, 3, 3, 1, 20, 1, 10, 1, 10, 9, NAN, false});
    vandrel::ctd_channel_set channels{};
    w.ctd_table(channels);
    w.ctd_cast({0, 1, t, 100, 0, &channels, 40});
    w.ctd_sample({0, t, 5.5, 10.25, 40, 34.5, 0, {}, true});
    w.message(812, "Unknown code 0x42");
    ASSERT_TRUE(w.finish(summary, error)) << error;
    const std::string page = read_text(path);
    expect_self_contained(page, dir.file(""));
    EXPECT_NE(page.find(R"(["Outcome","error: Unknown code 0x42"])"), std::string::npos);
    EXPECT_EQ(page.find("GPS record times"), std::string::npos);  // no plot without data
    EXPECT_NE(page.find(R"("list":[[812,"Unknown code 0x42"]])"), std::string::npos);
    EXPECT_NE(page.find(R"("name":"depth","x":[0.5,1.5,2.5],"y":[0,10,20])"), std::string::npos);
    EXPECT_NE(page.find(R"("name":"temperature","x":[0.5,1.5,2.5],"y":[10,10,10])"), std::string::npos);
    EXPECT_NE(page.find(R"("bands":[[10.5,20.5]])"), std::string::npos);
    EXPECT_NE(page.find(R"("dives":{"start":[0.5],"end":[2.5],"max_t":[2.5],"max_d":[20]})"), std::string::npos);
    EXPECT_NE(page.find(R"("name":"cast 0","x":[10.25],"y":[5.5])"), std::string::npos);
    EXPECT_NE(page.find(R"(["1","0","2020-09-13 12:26:40 UTC","3.00","20.0")"), std::string::npos);
}

TEST(TdrReport, UnwritableFolderReportsAndLeavesNothing) {
    temp_dir dir;
    const std::string path = dir.file("missing/sub_report.html");
    vandrel::tdr_report_writer w(path, meta("x"), false);
    w.gps_table();
    std::string error;
    EXPECT_FALSE(w.finish({}, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("")));
}

}  // namespace
