#include "report/report_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>
#include <string>
#include <tuple>
#include <utility>

#include "report/page.h"
#include "tests/test_files.h"

namespace {

using vandrel_test::exists;
using vandrel_test::read_text;
using vandrel_test::temp_dir;

TEST(ReportPage, NumbersAndStringsForTheDataElement) {
    const std::tuple<double, int, const char*> numbers[] = {
        {12.5, 3, "12.5"}, {3, 2, "3"},         {-0.0001, 3, "0"}, {-2.25, 1, "-2.2"},
        {100, 0, "100"},   {0.001, 3, "0.001"}, {NAN, 2, "null"},  {HUGE_VAL, 2, "null"}};
    for (const auto& [v, decimals, text] : numbers) {
        std::string out;
        vandrel::detail::append_number(out, v, decimals);
        EXPECT_EQ(out, text) << v;
    }
    const std::pair<const char*, const char*> strings[] = {
        {"a\"b\\", R"("a\"b\\")"},
        {"</script><b>&", R"("\u003c/script\u003e\u003cb\u003e\u0026")"},
        {"tab\there\n", R"("tab\u0009here\u000a")"},
        {"caf\xC3\xA9", "\"caf\xC3\xA9\""}};
    for (const auto& [in, json] : strings) {
        std::string out;
        vandrel::detail::append_json_string(out, in);
        EXPECT_EQ(out, json) << in;
    }
    const std::pair<uint64_t, const char*> counts[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}, {20250101, "20,250,101"}};
    for (const auto& [n, text] : counts) EXPECT_EQ(vandrel::detail::count_text(n), text);
}

// The page holds the texts and stands alone: no file or address is referred
// to outside the library's licence comment, every line ends in CR LF, and no
// temporary file is left beside it.
void expect_page(const std::string& path, std::initializer_list<const char*> texts) {
    const std::string page = read_text(path);
    for (const char* text : texts) EXPECT_NE(page.find(text), std::string::npos) << text;
    EXPECT_EQ(page.rfind("<!DOCTYPE html>\r\n", 0), 0u);
    EXPECT_FALSE(std::regex_search(page, std::regex("[^\r]\n")));
    std::string outside = page;  // the library's licence comment names its address
    for (std::size_t open; (open = outside.find("/*")) != std::string::npos;)
        outside.erase(open, outside.find("*/", open) + 2 - open);
    for (const char* ref : {"src=", "href=", "http"}) EXPECT_EQ(outside.find(ref), std::string::npos) << ref;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()), {}), 1);
}

vandrel::report_metadata meta(const char* name) { return {name, 4096, "vandrel 9.9.9", 1700000000, "", ""}; }

TEST(PacketReport, WrittenOnlyWithATableAndSelfContained) {
    temp_dir dir;
    const std::string path = dir.file("dump_report.html");
    std::string error;
    EXPECT_TRUE(vandrel::packet_report_writer(path, meta("x")).finish(false, error));
    EXPECT_FALSE(exists(path));
    vandrel::packet_report_writer w(path, meta("</script>dump.bin"));
    w.packet({7, 1500000000, 2013, 2017, 2, 0});
    w.sample({7, 1500000000, 10.5, 12.25, 40, 35.125, 1, 2, 693, 3300});
    w.sample({7, 1500000001, 11, 12.5, 40, 35.25, 1, 0, vandrel::no_light, 3300});
    w.sample({7, 1500000003, 11, 12.75, 40, 35.25, 1, 0, vandrel::no_light, 3300});  // after a missing sample
    w.skipped(vandrel::packet_skip::missing_marker, 384);
    ASSERT_TRUE(w.finish(true, error)) << error;
    expect_page(path, {"\\u003c/script\\u003edump.bin", R"(["Rows","3"])",
                       R"j(["Skipped: start marker missing","1 (at byte 384)"])j", "header 2013 dated 2017: 1 packets",
                       R"("name":"ID 7","x":[0,1,2,3],"y":[12.25,12.5,null,12.75])"});
    // Eight IDs have series of their own, the rest share one; each ID
    // counts once, however often it comes back.
    vandrel::packet_report_writer many(path, meta("ids.bin"));
    for (uint32_t i = 0; i < 40; ++i) many.sample({i % 12 + 1, 1500000000 + i, 10.5, 12.25, 40, 35.125, 1, 2, 693, 0});
    ASSERT_TRUE(many.finish(true, error)) << error;
    expect_page(path, {R"(["Packet IDs","12"])", R"("name":"other IDs")"});
    // A file of random IDs: the count stays bounded, and says so.
    vandrel::packet_report_writer random(path, meta("random.bin"));
    for (uint32_t i = 0; i < 65546; ++i) random.sample({i, 1500000000 + i, 10.5, 12.25, 40, 35.125, 1, 2, 693, 0});
    ASSERT_TRUE(random.finish(true, error)) << error;
    expect_page(path, {R"(["Packet IDs","more than 65,544"])"});
    vandrel::packet_report_writer same_year(path, meta("dump.bin"));
    same_year.packet({7, 1500000000, 2017, 2017, 1, 0});
    same_year.sample({7, 1500000000, 10.5, 12.25, 40, 35.125, 1, 2, 693, 3300});
    ASSERT_TRUE(same_year.finish(true, error)) << error;
    expect_page(path, {"none: every packet keeps the year of its header"});
}

TEST(TdrReport, SummaryPlotsDivesAndErrors) {
    temp_dir dir;
    const std::string path = dir.file("tag_report.html");
    std::string error;
    vandrel::tdr_report_writer w(path, meta("tag_compressed.dat"), true);
    EXPECT_TRUE(w.finish({}, error));  // no TDR table, no page
    EXPECT_FALSE(exists(path));
    w.tdr_table({1, 0});
    const double t = 1600000000.5;
    vandrel::tdr_row row{};
    row.mask = vandrel::channel_depth | vandrel::channel_temperature;
    row.temperature = 10;
    for (uint16_t i = 0; i < 3; ++i) {
        if (i != 1) w.tdr_run({i / 2u, 1, row.mask, 0.1, false, t + i, 100, 0, 0});  // the line breaks before row 2
        row.time = t + i;
        row.depth = 10.0 * i;
        w.tdr_sample(row);
    }
    w.haulout({t + 10, t + 20, 99});
    w.wetdry({t + 5, 0, 10});
    w.dive({1, 0, t, t + 2, t + 2, 200, 0.1, 3, 3, 1, 20, 1, 10, 1, 10, 9, NAN, false});
    vandrel::ctd_channel_set channels{};
    w.ctd_table(channels);
    w.ctd_cast({0, 1, t, 100, 0, &channels, 40});
    w.ctd_sample({0, t, 5.5, 10.25, 40, 34.5, 0, {}, true});
    w.message(812, "Unknown code 0x42");
    ASSERT_TRUE(w.finish({3, 1, 0, 0, 812, false, "Unknown code 0x42", {}}, error)) << error;
    vandrel::tdr_report_writer unwritable(dir.file("missing/sub_report.html"), meta("x"), false);
    unwritable.gps_table();
    EXPECT_FALSE(unwritable.finish({}, error));
    EXPECT_FALSE(error.empty());  // and nothing left in the folder, checked next
    expect_page(
        path,
        {R"(["Outcome","error: Unknown code 0x42"])", R"(["GPS fixes","0"])", "Dive duration", R"("events":[[5.5,0]])",
         R"("list":[[812,"Unknown code 0x42"]])", R"("name":"depth","x":[0.5,1.5,2,2.5],"y":[0,10,null,20])",
         R"("name":"temperature","x":[0.5,1.5,2,2.5],"y":[10,10,null,10])", R"("bands":[[10.5,20.5]])",
         R"("dives":{"start":[0.5],"end":[2.5],"max_t":[2.5],"max_d":[20]})",
         R"("name":"cast 0","x":[10.25],"y":[5.5])", R"(["1","0","2020-09-13 12:26:40 UTC","3.00","20.0")"});
    vandrel::tdr_report_writer no_dives(dir.file("b_report.html"), meta("b"), true);
    no_dives.tdr_table({1, 0});
    ASSERT_TRUE(no_dives.finish({}, error)) << error;
    for (const char* plot : {"GPS record times", "Dive duration", "Temperature against time"})  // no plot without data
        EXPECT_EQ(read_text(dir.file("b_report.html")).find(plot), std::string::npos) << plot;
}

}  // namespace
