#include "pipeline/tdr_batch.h"

#include <cstring>

namespace vandrel {

void tdr_batch::clear() {
    order.clear();
    records = 0;
    tables.clear();
    runs.clear();
    rows.clear();
    haulouts.clear();
    wetdry.clear();
    channel_sets.clear();
    casts.clear();
    ctd_rows.clear();
    bursts.clear();
    acc_rows.clear();
    gps.clear();
    infos.clear();
    photo.clear();
    entries.clear();
    text.clear();
}

// ---- Filling.

std::size_t tdr_batch_filler::add_text(tdr_batch& b, const char* text) {
    const std::size_t at = b.text.size();
    b.text.insert(b.text.end(), text, text + std::strlen(text) + 1);
    return at;
}

bool tdr_batch_filler::tdr_table(const tdr_table_info& info) {
    tdr_batch& b = batch();
    add(b, tdr_record_type::tdr_table, b.tables.size());
    b.tables.push_back(info);
    return true;
}

void tdr_batch_filler::tdr_run(const tdr_run_info& run) {
    tdr_batch& b = batch();
    add(b, tdr_record_type::tdr_run, b.runs.size());
    b.runs.push_back(run);
}

void tdr_batch_filler::tdr_sample(const tdr_row& row) {
    tdr_batch& b = batch();
    if (row.photo == nullptr || row.n_photo == 0) {
        add_row(b, tdr_record_type::tdr_sample, b.rows.size());
    } else {
        add(b, tdr_record_type::tdr_sample, b.rows.size(), b.photo.size());
        b.photo.insert(b.photo.end(), row.photo, row.photo + row.n_photo);
    }
    b.rows.push_back(row);
    b.rows.back().photo = nullptr;
}

void tdr_batch_filler::tdr_run_end() {
    tdr_batch& b = batch();
    add(b, tdr_record_type::tdr_run_end, 0);
}

void tdr_batch_filler::haulout(const haulout_event& event) {
    tdr_batch& b = batch();
    add(b, tdr_record_type::haulout, b.haulouts.size());
    b.haulouts.push_back(event);
}

void tdr_batch_filler::wetdry(const wetdry_event& event) {
    tdr_batch& b = batch();
    add(b, tdr_record_type::wetdry, b.wetdry.size());
    b.wetdry.push_back(event);
}

bool tdr_batch_filler::ctd_table(const ctd_channel_set& channels) {
    tdr_batch& b = batch();
    add(b, tdr_record_type::ctd_table, b.channel_sets.size());
    b.channel_sets.push_back(channels);
    return true;
}

void tdr_batch_filler::ctd_cast(const ctd_cast_info& cast) {
    tdr_batch& b = batch();
    add(b, tdr_record_type::ctd_cast, b.casts.size(), b.channel_sets.size());
    b.casts.push_back(cast);
    b.channel_sets.push_back(cast.channels != nullptr ? *cast.channels : ctd_channel_set{});
}

void tdr_batch_filler::ctd_sample(const ctd_row& row) {
    tdr_batch& b = batch();
    add_row(b, tdr_record_type::ctd_sample, b.ctd_rows.size());
    b.ctd_rows.push_back(row);
}

bool tdr_batch_filler::acc_table() {
    tdr_batch& b = batch();
    add(b, tdr_record_type::acc_table, 0);
    return true;
}

void tdr_batch_filler::acc_burst(const acc_burst_info& burst) {
    tdr_batch& b = batch();
    add(b, tdr_record_type::acc_burst, b.bursts.size());
    b.bursts.push_back(burst);
}

void tdr_batch_filler::acc_sample(const acc_row& row) { acc_samples(&row, 1); }

void tdr_batch_filler::acc_samples(const acc_row* rows, std::size_t n) {
    // A burst stays in one batch, which may thus exceed its size by less
    // than a burst.
    if (n == 0) return;
    tdr_batch& b = batch();
    add_row(b, tdr_record_type::acc_sample, b.acc_rows.size(), n);
    b.acc_rows.insert(b.acc_rows.end(), rows, rows + n);
}

bool tdr_batch_filler::gps_table() {
    tdr_batch& b = batch();
    add(b, tdr_record_type::gps_table, 0);
    return true;
}

void tdr_batch_filler::gps(const gps_record& record) {
    tdr_batch& b = batch();
    add(b, tdr_record_type::gps, b.gps.size(), b.entries.size());
    b.gps.push_back(record);
    b.gps.back().entries = nullptr;
    if (record.entries != nullptr)
        b.entries.insert(b.entries.end(), record.entries, record.entries + std::size_t{record.satellites} * 3);
}

void tdr_batch_filler::info(const info_values& values) {
    tdr_batch& b = batch();
    add(b, tdr_record_type::info, b.infos.size());
    b.infos.push_back(values);
}

void tdr_batch_filler::tdr_table_line(const char* text) {
    tdr_batch& b = batch();
    add(b, tdr_record_type::table_line, 0, add_text(b, text));
}

void tdr_batch_filler::message(uint32_t byte_offset, const char* text) {
    tdr_batch& b = batch();
    add(b, tdr_record_type::message, byte_offset, add_text(b, text));
}

// ---- Replaying.

namespace {

// The table a record belongs to; false for a record of no table's file.
bool table_of(tdr_record_type type, tdr_table_kind& kind) {
    switch (type) {
        case tdr_record_type::tdr_table:
        case tdr_record_type::tdr_sample:
        case tdr_record_type::haulout:
        case tdr_record_type::table_line:
            kind = tdr_table_kind::tdr;
            return true;
        case tdr_record_type::ctd_table:
        case tdr_record_type::ctd_sample:
            kind = tdr_table_kind::ctd;
            return true;
        case tdr_record_type::acc_table:
        case tdr_record_type::acc_sample:
            kind = tdr_table_kind::acc;
            return true;
        case tdr_record_type::gps_table:
        case tdr_record_type::gps:
            kind = tdr_table_kind::gps;
            return true;
        default:
            return false;
    }
}

void hand_on(const tdr_batch& b, const tdr_batch::entry& e, tdr_record_sink& out) {
    switch (e.type) {
        case tdr_record_type::tdr_table:
            out.tdr_table(b.tables[e.index]);
            break;
        case tdr_record_type::tdr_run:
            out.tdr_run(b.runs[e.index]);
            break;
        case tdr_record_type::tdr_sample:
            if (e.count == 1 && b.rows[e.index].n_photo > 0 && e.extra < b.photo.size()) {
                tdr_row row = b.rows[e.index];
                row.photo = &b.photo[e.extra];
                out.tdr_sample(row);
                break;
            }
            out.tdr_samples(&b.rows[e.index], e.count);
            break;
        case tdr_record_type::tdr_run_end:
            out.tdr_run_end();
            break;
        case tdr_record_type::haulout:
            out.haulout(b.haulouts[e.index]);
            break;
        case tdr_record_type::wetdry:
            out.wetdry(b.wetdry[e.index]);
            break;
        case tdr_record_type::ctd_table:
            out.ctd_table(b.channel_sets[e.index]);
            break;
        case tdr_record_type::ctd_cast: {
            ctd_cast_info cast = b.casts[e.index];
            cast.channels = &b.channel_sets[e.extra];
            out.ctd_cast(cast);
            break;
        }
        case tdr_record_type::ctd_sample:
            for (uint32_t i = e.index; i < e.index + e.count; ++i) out.ctd_sample(b.ctd_rows[i]);
            break;
        case tdr_record_type::acc_table:
            out.acc_table();
            break;
        case tdr_record_type::acc_burst:
            out.acc_burst(b.bursts[e.index]);
            break;
        case tdr_record_type::acc_sample:
            out.acc_samples(&b.acc_rows[e.index], e.count);
            break;
        case tdr_record_type::gps_table:
            out.gps_table();
            break;
        case tdr_record_type::gps: {
            gps_record record = b.gps[e.index];
            if (record.satellites > 0 && e.extra < b.entries.size()) record.entries = &b.entries[e.extra];
            out.gps(record);
            break;
        }
        case tdr_record_type::info:
            out.info(b.infos[e.index]);
            break;
        case tdr_record_type::table_line:
            out.tdr_table_line(&b.text[e.extra]);
            break;
        case tdr_record_type::message:
            out.message(e.index, &b.text[e.extra]);
            break;
    }
}

}  // namespace

void replay(const tdr_batch& batch, tdr_record_sink& out) {
    for (const tdr_batch::entry& e : batch.order) hand_on(batch, e, out);
}

void replay_table(const tdr_batch& batch, tdr_table_kind kind, tdr_record_sink& out) {
    for (const tdr_batch::entry& e : batch.order) {
        tdr_table_kind k;
        if (table_of(e.type, k) && k == kind) hand_on(batch, e, out);
    }
}

}  // namespace vandrel
