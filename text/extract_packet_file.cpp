#include "text/extract_packet_file.h"

#include <atomic>

#include "pipeline/packet_batch.h"
#include "platform/civil_time.h"
#include "platform/file_names.h"
#include "platform/input_file.h"
#include "text/packet_table.h"

namespace vandrel {

int extract_packet_file(const packet_file_request& request, decode_outcome* outcome) {
    const std::string& in_fname = request.in_fname;
    const std::string& out_fname = request.out_fname;
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
    packet_record_fanout out;
    writer_preparations preparations(request.prepare);
    if (request.threads <= 1) {
        preparations.run_left();
        out.add(&table);
        for (packet_record_sink* w : request.writers) out.add(w);
        if (request.progress != nullptr) out.add(request.progress);
        // The table alone needs no fan-out.
        const bool alone = request.writers.empty() && request.progress == nullptr;
        result = extract_packet_records(in, in_fname, request.now,
                                        alone ? static_cast<packet_record_sink&>(table) : out, true);
    } else {
        // The table's rows are formatted in two threads, batch about.
        std::atomic<bool> stopped{false};
        batch_turns turns;
        std::vector<packet_writer_threads::writer_fn> writers = formatted_in_turns<packet_batch>(
            packet_table_ways,
            [](const packet_batch& b, batch_text& text) {
                char* p = text.room(b.rows.size() * max_packet_row_chars);
                for (const packet_row& r : b.rows) p = format_packet_row(p, r);
                text.commit(p);
            },
            [&table, &stopped](const batch_text& text) {
                table.write_rows(text.data(), text.size());
                if (table.stopped()) stopped.store(true, std::memory_order_relaxed);
            },
            turns);
        for (std::size_t i = 0; i < request.writers.size(); ++i)
            writers.push_back(preparations.first<packet_batch>(i, packet_writer_fn(*request.writers[i], stopped)));
        packet_writer_threads threads(std::move(writers), request.threads);
        packet_batch_filler filler(threads, stopped);
        out.add(&filler);
        if (request.progress != nullptr) out.add(request.progress);
        result = extract_packet_records(in, in_fname, request.now, out, true);
        threads.finish();
        // A writer given no record is prepared all the same.
        preparations.run_left();
    }
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

int extract_packet_file(const std::string& in_fname, const std::string& out_fname, int64_t now) {
    packet_file_request request;
    request.in_fname = in_fname;
    request.out_fname = out_fname;
    request.now = now;
    return extract_packet_file(request);
}

int extract_packet_file(const std::string& in_fname, const std::string& out_fname) {
    return extract_packet_file(in_fname, out_fname, current_utc_seconds());
}

}  // namespace vandrel
