#include "driver/progress_bar.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string line(uint64_t done, uint64_t total, uint64_t rows) {
    char out[vandrel::progress_line_size + 1];
    return std::string(out, vandrel::format_progress_line(out, done, total, rows));
}

TEST(ProgressBar, Lines) {
    struct row {
        uint64_t done, total, rows;
        const char* text;
    };
    const row rows[] = {
        {0, 0, 5, "5 rows"},
        {0, 200, 0, "[..............................]   0%  0 rows"},
        {1, 3, 7, "[##########....................]  33%  7 rows"},
        {67, 100, 12345, "[####################..........]  67%  12345 rows"},
        {199, 200, 1, "[#############################.]  99%  1 rows"},
        {300, 200, 1, "[##############################] 100%  1 rows"},
        {1, 1, 18446744073709551615u, "[##############################] 100%  18446744073709551615 rows"},
    };
    for (const row& r : rows) EXPECT_EQ(line(r.done, r.total, r.rows), r.text) << r.done << " of " << r.total;
}

// Within a fraction of a second the bar is redrawn only when the percent
// changes; a shorter line blanks the tail of the longer one; clear() blanks
// the line once, and so does the end of the bar.
TEST(ProgressBar, RedrawsAndClears) {
    testing::internal::CaptureStderr();
    {
        vandrel::progress_bar bar(0);
        bar.update(1, 12345);
        bar.update(2, 1);
        bar.clear();
        bar.clear();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\r12345 rows\r" + std::string(10, ' ') + "\r");
    testing::internal::CaptureStderr();
    {
        vandrel::progress_bar bar(200);
        bar.update(100, 12345);
        bar.update(101, 2);  // still 50 percent
        bar.update(102, 1);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\r[###############...............]  50%  12345 rows"
              "\r[###############...............]  51%  1 rows    \r" +
                  std::string(49, ' ') + "\r");
}

}  // namespace
