#include "text/extract_packet_file.h"

#include "platform/civil_time.h"
#include "platform/file_names.h"
#include "platform/input_file.h"
#include "text/packet_table.h"

namespace vandrel {

int extract_packet_file(const std::string& in_fname, const std::string& out_fname, int64_t now,
                        packet_record_sink* writers, decode_outcome* outcome) {
    decode_outcome local;
    decode_outcome& result = outcome != nullptr ? *outcome : local;
    result = decode_outcome{};
    // An input that cannot be opened creates nothing.
    input_file in;
    if (!in.open(in_fname)) {
        result.open_error = true;
        result.errors.push_back("Can't open packet file " + in_fname);
        return 0;
    }
    packet_table_writer table;
    if (!table.create(out_fname)) {
        result.write_error = true;
        result.errors.push_back("Can't create " + out_fname);
        return 0;
    }
    // The table alone is fed directly, without the fan-out's call per row.
    packet_record_fanout fanout;
    fanout.add(&table);
    if (writers != nullptr) fanout.add(writers);
    packet_record_sink& out = writers != nullptr ? static_cast<packet_record_sink&>(fanout) : table;
    result = extract_packet_records(in, in_fname, now, out, true);
    if (result.read_error) {
        table.close();
        return extract_read_error;
    }
    if (!table.close()) {
        result.write_error = true;
        result.errors.push_back("Can't write " + out_fname);
        return extract_write_error;
    }
    return static_cast<int>(result.samples);
}

int extract_packet_file(const std::string& in_fname, const std::string& out_fname) {
    return extract_packet_file(in_fname, out_fname, current_utc_seconds());
}

}  // namespace vandrel
