#include "driver/out_name.h"

#include <gtest/gtest.h>

namespace {

TEST(MakeOutFname, CutsAndAppends) {
    const char* rows[][2] = {
        {"dump.bin", "dump_extracted.txt"},
        {"tag12_compressed.dat", "tag12_extracted.txt"},
        {"tag12_debug.txt", "tag12_extracted.txt"},
        {"dump", "dump_extracted.txt"},
        {"a.b.c", "a.b_extracted.txt"},
        {"x_compressed.dat.old", "x_extracted.txt"},
        {"x_debug.txt_compressed.dat", "x_debug.txt_extracted.txt"},
        {"data.old\\dump", "data_extracted.txt"},
        {"..\\dump", "._extracted.txt"},
        {"A_COMPRESSED.DAT", "A_COMPRESSED_extracted.txt"},  // case-sensitive
    };
    for (const auto& r : rows) EXPECT_EQ(vandrel::make_out_fname("_extracted.txt", r[0]), r[1]) << r[0];
    EXPECT_EQ(vandrel::make_out_fname("", "tag12_compressed.dat"), "tag12");
    const std::string long_name(5000, 'n');
    EXPECT_EQ(vandrel::make_out_fname("_extracted.txt", long_name + ".bin"), long_name + "_extracted.txt");
}

}  // namespace
