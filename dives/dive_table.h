// The dive table, PREFIX_dives.txt: a header line, then one line per dive in
// the order the dives occur, tab-separated, every line ended with CR LF.
// Times print as the TDR table prints them; durations in seconds with two
// decimals, depths in metres, rates in m/s with three decimals, and "NA"
// where a value does not exist (a rate over no time, the temperature of a
// run without it, the surface interval after a run's last dive).
#pragma once

#include <string>

#include "dives/dive_record.h"
#include "platform/output_file.h"

namespace vandrel {

// Writes the table under a temporary name next to path and puts it in place
// in finish(), so that path holds a whole table or is left as it was.
class dive_table_writer : public dive_sink {
public:
    explicit dive_table_writer(std::string path);
    ~dive_table_writer() override;  // removes the temporary file of an unfinished table
    dive_table_writer(const dive_table_writer&) = delete;
    dive_table_writer& operator=(const dive_table_writer&) = delete;

    void dive(const dive_record& record) override;

    // When the TDR table was written, completes the dive table (a header
    // alone when there was no dive) and renames it to path; otherwise removes
    // what was written and leaves path alone. False, with "Can't create DIVE
    // data file PATH" or "Can't write DIVE data file PATH" (no line end) in
    // error, when the table could not be made; nothing is left behind then.
    bool finish(bool tdr_table_written, std::string& error);

private:
    bool open();
    void discard();

    std::string path_;
    std::string temporary_path_;
    output_file file_;
    bool create_failed_ = false;
    bool finished_ = false;
};

}  // namespace vandrel
