#include "dives/dive_table.h"

#include <cmath>
#include <utility>

#include "dives/dive_columns.h"
#include "platform/atomic_file.h"
#include "platform/civil_time.h"
#include "platform/number_format.h"
#include "tdr/time_text.h"

namespace vandrel {

namespace {

// Room for a line: every column at most max_fixed_chars and a tab.
constexpr std::size_t max_dive_line = (dive_column_count + 1) * (max_fixed_chars + 1);

constexpr std::size_t buffer_size = 1 << 16;

// The TDR table's time text: rounded to the millisecond, then cut to the second.
char* put_time(char* p, double time) { return format_utc(p, detail::whole_seconds(time + 0.0005), '/'); }

char* put_fixed(char* p, double v, int decimals) {
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
    bool first = true;
    for (const dive_column& c : dive_columns) {
        if (c.header == nullptr) continue;
        if (!first) file_.put('\t');
        first = false;
        file_.write(c.header);
    }
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
    char* p = start;
    for (const dive_column& c : dive_columns) {
        if (c.header == nullptr) continue;
        if (p != start) *p++ = '\t';
        const double v = c.get(r);
        switch (c.kind) {
            case dive_value::count:
                p = format_uint(p, static_cast<uint64_t>(v));
                break;
            case dive_value::time:
                p = put_time(p, v);
                break;
            case dive_value::number:
                p = put_fixed(p, v, c.decimals);
                break;
            case dive_value::depth:
                p = put_fixed(p, v, depth_decimals(r));
                break;
            case dive_value::flag:
                *p++ = v != 0.0 ? 'Y' : 'N';
                break;
        }
    }
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
