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

// Points the decoder's input at the given bytes, with the state reset.
struct reader_input {
    temp_dir dir;
    vandrel::tdr_context context = gps_only(dir);
    std::unique_ptr<tdr_decoder_state> owned = std::make_unique<tdr_decoder_state>(context);
    tdr_decoder_state& st = *owned;

    explicit reader_input(const std::vector<uint8_t>& bytes, uint32_t offset = 0) {
        write_bytes(dir.file("in.dat"), bytes);
        EXPECT_TRUE(st.input.open(dir.file("in.dat")));
        st.byte_offset = offset;
    }
};

TEST(StreamReader, ReadUnint) {
    struct row {
        std::vector<uint8_t> bytes;
        bool ok;
        uint16_t value;
        uint32_t offset;
    };
    const row rows[] = {
        {{0x12, 0x34}, true, 0x1234, 2},
        {{0xFF, 0xFE}, true, 65534, 2},
        {{0x12}, false, 777, 0},  // cut short: value and offset unchanged
        {{}, false, 777, 0},
    };
    for (const row& r : rows) {
        reader_input in(r.bytes);
        uint16_t v = 777;
        EXPECT_EQ(read_unint(in.st, v), r.ok);
        EXPECT_EQ(v, r.value);
        EXPECT_EQ(in.st.byte_offset, r.offset);
        EXPECT_EQ(in.st.end_of_input, !r.ok);
    }
}

TEST(StreamReader, ReadTime) {
    struct row {
        std::vector<uint8_t> bytes;
        bool ok;
        double time;
    };
    const row rows[] = {
        // 2019-07-01 12:00:00.50: the hundredths are dropped.
        {{0x77, 0x07, 0x01, 0x0C, 0x00, 0x00, 0x32}, true, 1561982400.0},
        // Month 0 is December of the year before.
        {{0x77, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, true, 1543622400.0},
        // Day 0 is the last day of the month before; second 60 the next minute.
        {{0x77, 0x03, 0x00, 0x00, 0x00, 0x3C, 0x00}, true, 1551312000.0 + 60},
        // 1969: before the time base, read as -1.
        {{0x45, 0x06, 0x01, 0x00, 0x00, 0x00, 0x00}, true, -1.0},
        {{0x46, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00}, true, 0.0},
        // Cut inside the time: unchanged.
        {{0x77, 0x07, 0x01}, false, 42.0},
    };
    for (const row& r : rows) {
        reader_input in(r.bytes);
        double t = 42.0;
        EXPECT_EQ(read_time(in.st, t), r.ok);
        EXPECT_EQ(t, r.time);
        EXPECT_EQ(in.st.byte_offset, r.ok ? 7u : 0u);
    }
}

TEST(StreamReader, ReadRel) {
    struct row {
        std::vector<uint8_t> bytes;
        uint16_t start;
        bool force_abs;
        bool in_acc;
        bool in_ctd;
        uint8_t result;
        uint16_t value;
        uint32_t consumed;
    };
    const row rows[] = {
        {{0x05}, 1000, false, false, false, 0, 1005, 1},
        {{0x00}, 1000, false, false, false, 0, 1000, 1},
        {{0x78}, 1000, false, false, false, 0, 1120, 1},
        {{0x79}, 1000, false, false, false, 0, 999, 1},
        {{0xF0}, 1000, false, false, false, 0, 880, 1},
        {{0x7E}, 3, false, false, false, 0, 65533, 1},  // wraps below 0
        {{0x0A}, 65530, false, false, false, 0, 4, 1},  // wraps past 65535
        {{0xFA, 0x01, 0x02}, 7, false, false, false, 0, 258, 3},
        {{0xFA, 0x10}, 7, true, false, false, 0, 0xFA10, 2},  // no escape in absolute mode
        {{0x12, 0x34}, 7, true, false, false, 0, 0x1234, 2},
        {{0xF1, 0x05}, 10, false, false, false, 0, 15, 2},  // filler skipped
        {{0xF3, 0xF4, 0x02}, 10, false, false, false, 0, 12, 3},
        {{0xF1, 0x12, 0x34}, 10, true, false, false, 0, 0x1234, 3},
        {{0xF9, 0x05}, 10, false, false, false, 0, 15, 2},
        {{0xF9, 0x05}, 10, false, true, false, 0xF9, 10, 1},
        {{0xFD, 0x05}, 10, false, false, false, 0, 15, 2},
        {{0xFD, 0x05}, 10, false, false, true, 0xFD, 10, 1},
        {{0xFB, 0x05}, 10, false, false, false, 0xFB, 10, 1},
        {{0xFE, 0x05}, 10, false, false, false, 0xFE, 10, 1},
        {{0xFF, 0x05}, 10, false, false, false, 0xFF, 10, 1},
        {{0xFF, 0x05}, 10, true, false, false, 0xFF, 10, 1},
        // Cut inside the escape: the 0xFA counts, the lone byte does not.
        {{0xFA, 0x01}, 10, false, false, false, 0xFF, 10, 1},
        {{0x12}, 10, true, false, false, 0xFF, 10, 1},
        {{0xF1}, 10, false, false, false, 0xFF, 10, 1},
        {{}, 10, false, false, false, 0xFF, 10, 0},
        // A wet/dry change in front of the field is decoded, then the delta.
        {{0xF7, 0x02, 0x03}, 10, false, false, false, 0, 13, 3},
    };
    int i = 0;
    for (const row& r : rows) {
        SCOPED_TRACE(i++);
        reader_input in(r.bytes);
        in.st.in_acc_block = r.in_acc;
        in.st.in_ctd_cast = r.in_ctd;
        uint16_t v = r.start;
        EXPECT_EQ(read_rel(in.st, v, r.force_abs), r.result);
        EXPECT_EQ(v, r.value);
        EXPECT_EQ(in.st.byte_offset, r.consumed);
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

std::vector<uint32_t> progress_calls;
void record_progress(uint32_t offset, uint32_t, uint32_t, uint32_t, uint32_t) { progress_calls.push_back(offset); }

TEST(StreamReader, ProgressFiresOnlyWhenAReadEndsOnAMultipleOf1024) {
    {
        reader_input in(std::vector<uint8_t>(16, 0), 1023);
        in.st.progress_callback = record_progress;
        in.st.context.tdr_records = 5;
        progress_calls.clear();
        uint8_t b;
        EXPECT_TRUE(read_bytes(in.st, &b, 1));
        EXPECT_EQ(progress_calls, std::vector<uint32_t>{1024});
        EXPECT_TRUE(read_bytes(in.st, &b, 0));  // a read of nothing ends there too
        EXPECT_EQ(progress_calls.size(), 2u);
    }
    {
        reader_input in(std::vector<uint8_t>(16, 0), 1020);
        in.st.progress_callback = record_progress;
        progress_calls.clear();
        double t;
        EXPECT_TRUE(read_time(in.st, t));  // 1020 -> 1027 steps over 1024
        EXPECT_TRUE(progress_calls.empty());
    }
    {
        reader_input in(std::vector<uint8_t>(3, 0), 1021);
        in.st.progress_callback = record_progress;
        progress_calls.clear();
        double t;
        EXPECT_FALSE(read_time(in.st, t));  // short read: no advance, no call
        EXPECT_EQ(in.st.byte_offset, 1021u);
        EXPECT_TRUE(progress_calls.empty());
    }
}

}  // namespace
}  // namespace vandrel_test
