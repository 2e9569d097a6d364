#include "pipeline/packet_batch.h"

namespace vandrel {

void replay(const packet_batch& batch, packet_record_sink& out) {
    for (const packet_batch::entry& e : batch.order) {
        switch (e.what) {
            case packet_batch::type::packet:
                out.packet(batch.packets[e.index]);
                break;
            case packet_batch::type::sample:
                out.samples(&batch.rows[e.index], e.count);
                break;
            case packet_batch::type::skipped:
                out.skipped(batch.skips[e.index].why, batch.skips[e.index].byte_offset);
                break;
        }
    }
}

packet_writer_threads::writer_fn packet_writer_fn(packet_record_sink& w, std::atomic<bool>& stopped) {
    return [&w, &stopped](const packet_batch& b) {
        replay(b, w);
        if (w.stopped()) stopped.store(true, std::memory_order_relaxed);
    };
}

void packet_batch_filler::packet(const packet_info& info) {
    packet_batch& b = batch();
    ++b.records;
    b.order.push_back({packet_batch::type::packet, static_cast<uint32_t>(b.packets.size()), 1});
    b.packets.push_back(info);
}

void packet_batch_filler::sample(const packet_row& row) { samples(&row, 1); }

void packet_batch_filler::samples(const packet_row* rows, std::size_t n) {
    if (n == 0) return;
    packet_batch& b = batch();
    b.records += n;
    if (!b.order.empty() && b.order.back().what == packet_batch::type::sample)
        b.order.back().count += static_cast<uint32_t>(n);
    else
        b.order.push_back({packet_batch::type::sample, static_cast<uint32_t>(b.rows.size()), static_cast<uint32_t>(n)});
    b.rows.insert(b.rows.end(), rows, rows + n);
}

void packet_batch_filler::skipped(packet_skip why, uint64_t byte_offset) {
    packet_batch& b = batch();
    ++b.records;
    b.order.push_back({packet_batch::type::skipped, static_cast<uint32_t>(b.skips.size()), 1});
    b.skips.push_back({why, byte_offset});
}

}  // namespace vandrel
