// The field readers, driven directly on a file of test bytes.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tdr/decoder_state.h"
#include "tdr/stream_reader.h"
#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

using namespace vandrel::detail;

vandrel::tdr_context gps_only(const temp_dir& dir) {
    vandrel::tdr_context c;
    c.gps_path = dir.file("gps.txt");
    return c;
}

std::vector<uint32_t> progress_calls;
void record_progress(uint32_t offset, uint32_t, uint32_t, uint32_t, uint32_t) { progress_calls.push_back(offset); }

// The decoder's state reading the given bytes from `offset` on.
struct reader_input {
    temp_dir dir;
    vandrel::tdr_context context = gps_only(dir);
    std::unique_ptr<tdr_decoder_state> owned = std::make_unique<tdr_decoder_state>(context);
    tdr_decoder_state& st = *owned;

    explicit reader_input(const std::vector<uint8_t>& bytes, uint32_t offset = 0) {
        write_bytes(dir.file("in.dat"), bytes);
        EXPECT_TRUE(st.input.open(dir.file("in.dat")));
        st.byte_offset = offset;
        st.progress_callback = record_progress;
        progress_calls.clear();
    }
};

// One reader on one field: 'u' read_unint, 't' read_time, 'r' read_rel (in
// absolute mode with flag 'a', inside a burst with 'A', inside a cast with
// 'C'), from the value 10. Expected: the result, the value and the bytes
// consumed.
TEST(StreamReader, Fields) {
    struct row {
        char reader;
        std::vector<uint8_t> bytes;
        const char* flags;
        const char* expect;
    };
    const row rows[] = {
        {'u', {0x12, 0x34}, "", "1 4660 2"},
        {'u', {0xFF, 0xFE}, "", "1 65534 2"},
        {'u', {0x12}, "", "0 10 0"},  // cut short: value and offset unchanged
        {'u', {}, "", "0 10 0"},
        // 2019-07-01 12:00:00.50: the hundredths are dropped.
        {'t', {0x77, 0x07, 0x01, 0x0C, 0x00, 0x00, 0x32}, "", "1 1561982400 7"},
        // Month 0 is December of the year before; day 0 the last day of the
        // month before; second 60 the next minute.
        {'t', {0x77, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, "", "1 1543622400 7"},
        {'t', {0x77, 0x03, 0x00, 0x00, 0x00, 0x3C, 0x00}, "", "1 1551312060 7"},
        // Before the time base: -1.
        {'t', {0x45, 0x06, 0x01, 0x00, 0x00, 0x00, 0x00}, "", "1 -1 7"},
        {'t', {0x46, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00}, "", "1 0 7"},
        {'t', {0x77, 0x07, 0x01}, "", "0 10 0"},
        {'r', {0x05}, "", "0 15 1"},
        {'r', {0x00}, "", "0 10 1"},
        {'r', {0x78}, "", "0 130 1"},  // the largest increase
        {'r', {0x79}, "", "0 9 1"},    // the smallest decrease
        {'r', {0xF0}, "", "0 65426 1"},
        {'r', {0x0A}, "", "0 20 1"},
        {'r', {0xFA, 0x01, 0x02}, "", "0 258 3"},
        {'r', {0xFA, 0x10}, "a", "0 64016 2"},  // no escape in absolute mode
        {'r', {0x12, 0x34}, "a", "0 4660 2"},
        {'r', {0xF1, 0x05}, "", "0 15 2"},  // filler skipped
        {'r', {0xF3, 0xF4, 0x02}, "", "0 12 3"},
        {'r', {0xF1, 0x12, 0x34}, "a", "0 4660 3"},
        {'r', {0xF9, 0x05}, "", "0 15 2"},
        {'r', {0xF9, 0x05}, "A", "249 10 1"},
        {'r', {0xFD, 0x05}, "", "0 15 2"},
        {'r', {0xFD, 0x05}, "C", "253 10 1"},
        {'r', {0xFB, 0x05}, "", "251 10 1"},
        {'r', {0xFE, 0x05}, "", "254 10 1"},
        {'r', {0xFF, 0x05}, "a", "255 10 1"},
        // Cut inside the escape: the 0xFA counts, the lone byte does not.
        {'r', {0xFA, 0x01}, "", "255 10 1"},
        {'r', {0x12}, "a", "255 10 1"},
        {'r', {0xF1}, "", "255 10 1"},
        {'r', {}, "", "255 10 0"},
        // A wet/dry change in front of the field is decoded, then the delta.
        {'r', {0xF7, 0x02, 0x03}, "", "0 13 3"},
    };
    for (const row& r : rows) {
        reader_input in(r.bytes);
        const std::string flags = r.flags;
        in.st.in_acc_block = flags == "A";
        in.st.in_ctd_cast = flags == "C";
        uint16_t v = 10;
        double t = 10;
        int result = 0;
        if (r.reader == 'u') result = read_unint(in.st, v);
        if (r.reader == 't') result = read_time(in.st, t);
        if (r.reader == 'r') result = read_rel(in.st, v, flags == "a");
        const std::string value = std::to_string(r.reader == 't' ? static_cast<int64_t>(t) : v);
        EXPECT_EQ(std::to_string(result) + " " + value + " " + std::to_string(in.st.byte_offset), r.expect)
            << r.reader << " " << testing::PrintToString(r.bytes);
        EXPECT_TRUE(progress_calls.empty());
    }
}

TEST(StreamReader, ReadRelDecodesGpsRecordInFrontOfDelta) {
    enc s;
    s.gps({2019, 7, 1, 12, 30, 5}, {{17, 0x01A0}}).byte(0x03);
    reader_input in(s.bytes);
    uint16_t v = 100;
    EXPECT_EQ(read_rel(in.st, v, false), 0);
    EXPECT_EQ(v, 103);
    EXPECT_EQ(in.st.context.gps_fixes, 1u);
    in.st.tables.close(vandrel::tdr_table_kind::gps);
    EXPECT_EQ(read_text(in.context.gps_path), "2019/07/01 12:30:05 1 3 0 17 01a0\r\n");
}

// Progress is told when a read ends on a multiple of 1024, a read of nothing
// included, and not for a read that steps over one or comes up short.
TEST(StreamReader, ProgressAtMultiplesOf1024) {
    reader_input at(std::vector<uint8_t>(16, 0), 1023);
    uint8_t b;
    EXPECT_TRUE(read_bytes(at.st, &b, 1));
    EXPECT_TRUE(read_bytes(at.st, &b, 0));
    EXPECT_EQ(progress_calls, (std::vector<uint32_t>{1024, 1024}));
    double t;
    reader_input over(std::vector<uint8_t>(16, 0), 1020);
    EXPECT_TRUE(read_time(over.st, t));
    reader_input short_read(std::vector<uint8_t>(3, 0), 1021);
    EXPECT_FALSE(read_time(short_read.st, t));
    EXPECT_EQ(short_read.st.byte_offset, 1021u);
    EXPECT_TRUE(progress_calls.empty());
}

}  // namespace
}  // namespace vandrel_test
