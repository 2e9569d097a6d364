// A batch of packet records: a stretch of one extraction, for writers in
// other threads while the extraction goes on. Plain vectors, kept between
// uses.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "packet/packet_records.h"
#include "pipeline/writer_threads.h"

namespace vandrel {

struct packet_batch {
    enum class type : uint8_t { packet, sample, skipped };
    // Samples that follow each other share one entry.
    struct entry {
        type what;
        uint32_t index;  // into packets, rows or skips
        uint32_t count;  // records from index on
    };
    struct skip {
        packet_skip why;
        uint64_t byte_offset;
    };
    std::vector<entry> order;
    std::vector<packet_info> packets;
    std::vector<packet_row> rows;
    std::vector<skip> skips;
    std::size_t records = 0;

    void clear() {
        records = 0;
        order.clear();
        packets.clear();
        rows.clear();
        skips.clear();
    }
    std::size_t size() const { return records; }
};

// Hands the batch's records to out, in order.
void replay(const packet_batch& batch, packet_record_sink& out);

using packet_writer_threads = writer_threads<packet_batch>;

// The function that hands every batch to w in its thread, setting stopped
// once w has stopped.
packet_writer_threads::writer_fn packet_writer_fn(packet_record_sink& w, std::atomic<bool>& stopped);

// Copies each record into the batches of the writers' threads, handing a
// batch over when it is full. It stops once a writer has (stopped is the
// flag of the writers' functions).
class packet_batch_filler final : public packet_record_sink {
public:
    packet_batch_filler(packet_writer_threads& threads, const std::atomic<bool>& stopped)
        : threads_(threads), stopped_(stopped) {}

    void packet(const packet_info& info) override;
    void sample(const packet_row& row) override;
    // A packet's rows go into one batch, which may then hold a packet's
    // rows more than records_per_batch.
    void samples(const packet_row* rows, std::size_t n) override;
    void skipped(packet_skip why, uint64_t byte_offset) override;
    // True once a writer has stopped (its table's disk is full); the
    // extraction stops a few batches later than it would in one thread.
    bool stopped() const override { return stopped_.load(std::memory_order_relaxed); }

private:
    // The batch of the next record: a new one when the last is full.
    packet_batch& batch() {
        if (threads_.fill().size() >= records_per_batch) threads_.hand_over();
        return threads_.fill();
    }
    packet_writer_threads& threads_;
    const std::atomic<bool>& stopped_;
};

}  // namespace vandrel
