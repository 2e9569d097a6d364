// One decoding of a TDR stream feeds the text tables and the caller's other
// writers alike: the tables are the fan-out's gate, so a table whose file
// cannot be made loses its rows for every writer.

#include "text/decode_tdr_file.h"

#include <cstdio>
#include <cstring>

#include "pipeline/tdr_batch.h"
#include "tdr/tdr_record_fanout.h"
#include "text/tdr_tables.h"

namespace vandrel {

namespace {

// The message keeps what fits of the last error and its line end, as the
// decoder's callers have always read it.
void set_message(tdr_context& context) {
    context.message[0] = '\0';
    if (context.outcome.errors.empty()) return;
    const std::string text = context.outcome.errors.back() + "\n";
    std::size_t kept = text.size();
    if (kept > sizeof context.message - 1) kept = sizeof context.message - 1;
    std::memcpy(context.message, text.data(), kept);
    context.message[kept] = '\0';
}

}  // namespace

bool decode_tdr_file(tdr_context& context, progress_fn progress_callback, int32_t start_offset, bool debug_dump) {
    tdr_stream_request request;
    request.in_path = context.in_path;
    request.start_offset = start_offset;
    request.debug_dump = debug_dump;
    request.debug_dump_path = context.debug_dump_path;
    request.read_buffer_size = context.read_buffer_size;
    request.progress = progress_callback;
    request.counting = context.counting;

    tdr_text_tables tables({context.tdr_path, context.ctd_path, context.gps_path, context.acc_path});
    decode_outcome& outcome = context.outcome;
    tdr_record_fanout out;
    writer_preparations preparations(context.prepare);
    if (context.threads <= 1) {
        preparations.run_left();
        if (context.text_tables) out.set_gate(&tables);
        for (tdr_record_sink* w : context.writers) out.add(w);
        // The tables alone need no fan-out.
        const bool alone = context.text_tables && context.writers.empty();
        outcome = decode_tdr_stream(request, alone ? static_cast<tdr_record_sink&>(tables) : out);
    } else {
        // The tables' files are made in this thread, as the decoder asks;
        // each table's rows, and each writer, go to the threads.
        tdr_text_tables_gate gate(tables);
        batch_turns acc_turns;
        std::vector<tdr_writer_threads::writer_fn> writers;
        if (context.text_tables) {
            out.set_gate(&gate, false);
            for (tdr_table_kind kind : {tdr_table_kind::tdr, tdr_table_kind::ctd, tdr_table_kind::gps})
                writers.push_back([&tables, kind](const tdr_batch& b) { replay_table(b, kind, tables); });
            // The ACC table, the largest, is formatted by several writers.
            for (auto& w : formatted_in_turns<tdr_batch>(
                     acc_table_ways, format_acc_text,
                     [&tables](const batch_text& text) { tables.write_rows(tdr_table_kind::acc, text); }, acc_turns))
                writers.push_back(std::move(w));
        }
        for (std::size_t i = 0; i < context.writers.size(); ++i) {
            tdr_record_sink* w = context.writers[i];
            writers.push_back(preparations.first<tdr_batch>(i, [w](const tdr_batch& b) { replay(b, *w); }));
        }
        tdr_writer_threads threads(std::move(writers), context.threads);
        tdr_batch_filler filler(threads);
        out.add(&filler);
        outcome = decode_tdr_stream(request, out);
        threads.finish();
        // A writer given no record is prepared all the same.
        preparations.run_left();
    }
    context.tdr_table_begun = context.text_tables ? tables.is_open(tdr_table_kind::tdr) : out.tdr_table_begun();
    // The tables close in this order; each that was not written completely
    // is an error of its own.
    for (tdr_table_kind kind : {tdr_table_kind::tdr, tdr_table_kind::acc, tdr_table_kind::ctd, tdr_table_kind::gps}) {
        std::string error;
        if (tables.close(kind, error)) continue;
        outcome.write_error = true;
        outcome.errors.push_back(error);
        for (tdr_record_sink* w : context.writers) w->message(static_cast<uint32_t>(outcome.end_offset), error.c_str());
    }

    context.tdr_records = static_cast<uint32_t>(outcome.tdr_rows);
    context.ctd_records = static_cast<uint32_t>(outcome.ctd_rows);
    context.gps_fixes = static_cast<uint32_t>(outcome.gps_fixes);
    context.acc_records = static_cast<uint32_t>(outcome.acc_rows);
    context.end_offset = static_cast<uint32_t>(outcome.end_offset);
    context.regime = outcome.regime;
    context.fw_version = outcome.fw_version;
    context.acc_overflow = outcome.acc_overflow;
    context.stopped_early = outcome.stopped_early;
    context.unknown_regime = outcome.unknown_regime;
    // The console marker some operators watch for, at CTD row 14168; the
    // line is left open for the caller.
    context.stop_marker_printed = false;
    if (context.text_tables) {
        for (int i = 0; i < outcome.stop_markers; ++i) std::printf("Stop");
        context.stop_marker_printed = outcome.stop_markers > 0;
    }
    set_message(context);
    return outcome.ok();
}

}  // namespace vandrel
