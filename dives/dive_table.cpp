#include "dives/dive_table.h"

#include <cmath>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/civil_time.h"
#include "platform/number_format.h"
#include "tdr/time_text.h"

namespace vandrel {

namespace {

constexpr const char* dive_header =
    "DIVE\tSTART (UTC)\tEND (UTC)\tDURATION (s)\tMAX_DEPTH (m)\tMAX_DEPTH_TIME (UTC)\tBOTTOM_TIME (s)"
    "\tBOTTOM_DEPTH_MEAN (m)\tDESCENT_TIME (s)\tDESCENT_RATE (m/s)\tASCENT_TIME (s)\tASCENT_RATE (m/s)"
    "\tTEMP_MEAN (C)\tPOSTDIVE (s)\tCOMPLETE";

// Room for a line: 14 numbers of at most max_fixed_chars and the times.
constexpr std::size_t max_dive_line = 16 * max_fixed_chars;

constexpr std::size_t buffer_size = 1 << 16;

// The TDR table's time text: rounded to the millisecond, then cut to the second.
char* put_time(char* p, double time) {
    *p++ = '\t';
    return format_utc(p, detail::whole_seconds(time + 0.0005), '/');
}

char* put_fixed(char* p, double v, int decimals) {
    *p++ = '\t';
    if (std::isnan(v)) {
        *p++ = 'N';
        *p++ = 'A';
        return p;
    }
    return format_fixed(p, v, decimals);
}

}  // namespace

dive_table_writer::dive_table_writer(std::string path) : path_(std::move(path)) {}

dive_table_writer::~dive_table_writer() {
    if (!finished_) discard();
}

bool dive_table_writer::open() {
    if (create_failed_) return false;
    temporary_path_ = temporary_path_for(path_);
    if (!file_.create(temporary_path_, buffer_size)) {
        create_failed_ = true;
        return false;
    }
    file_.write(dive_header);
    file_.end_line();
    return true;
}

void dive_table_writer::discard() {
    if (!file_.is_open()) return;
    file_.close();
    remove_file(temporary_path_);
}

void dive_table_writer::dive(const dive_record& r) {
    if (finished_ || (!file_.is_open() && !open())) return;
    char* const start = file_.reserve(max_dive_line);
    char* p = format_uint(start, r.number);
    p = put_time(p, r.start_time);
    p = put_time(p, r.end_time);
    p = put_fixed(p, r.duration, 2);
    p = put_fixed(p, static_cast<double>(r.max_depth_dm) * 0.1, 1);
    p = put_time(p, r.max_depth_time);
    p = put_fixed(p, r.bottom_time, 2);
    p = put_fixed(p, r.bottom_depth_mean, 2);
    p = put_fixed(p, r.descent_time, 2);
    p = put_fixed(p, r.descent_rate, 3);
    p = put_fixed(p, r.ascent_time, 2);
    p = put_fixed(p, r.ascent_rate, 3);
    p = put_fixed(p, r.temp_mean, 2);
    p = put_fixed(p, r.postdive, 2);
    *p++ = '\t';
    *p++ = r.complete ? 'Y' : 'N';
    *p++ = '\r';
    *p++ = '\n';
    file_.commit(p);
}

bool dive_table_writer::finish(bool tdr_table_written, std::string& error) {
    if (finished_) return true;
    finished_ = true;
    if (!tdr_table_written) {
        discard();
        return true;
    }
    if (!file_.is_open() && !open()) {
        error = "Can't create DIVE data file " + path_;
        return false;
    }
    const bool written = file_.close();
    if (!written || !replace_file(temporary_path_, path_)) {
        remove_file(temporary_path_);
        error = "Can't write DIVE data file " + path_;
        return false;
    }
    return true;
}

}  // namespace vandrel
