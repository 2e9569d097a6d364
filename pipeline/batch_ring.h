// A fixed ring of batches between one producer (the decoder) and several
// consumers (the writers' threads). The producer fills the batches in turn;
// every consumer reads every batch, in the order they were filled; a batch
// is filled again only once every consumer is done with it. So memory stays
// that of the ring whatever the input's size, and each consumer sees the
// records in stream order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace vandrel {

template <typename Batch>
class batch_ring {
public:
    batch_ring(std::size_t batches, std::size_t consumers) : slots_(batches < 1 ? 1 : batches), done_(consumers, 0) {}
    batch_ring(const batch_ring&) = delete;
    batch_ring& operator=(const batch_ring&) = delete;

    // ---- The producer.

    // The next batch to fill, once every consumer has finished with what it
    // held before. The producer clears it itself.
    //
    // A producer that finds the ring full waits until half of it is free,
    // so that it and the consumers take turns in long stretches rather than
    // waking each other for every batch.
    Batch& next_to_fill() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (filled_ >= slowest() + slots_.size()) {
            producer_waiting_ = true;
            freed_.wait(lock, [&] { return half_free(); });
            producer_waiting_ = false;
        }
        return slots_[filled_ % slots_.size()];
    }
    // Hands the batch from next_to_fill() to the consumers.
    void publish() {
        bool wake;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++filled_;
            wake = consumers_waiting_ > 0;
        }
        if (wake) published_.notify_all();
    }
    // No batch follows.
    void close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        published_.notify_all();
    }

    // ---- A consumer, numbered from 0.

    // The consumer's next batch, nullptr after the last one.
    const Batch* next(std::size_t consumer) {
        std::unique_lock<std::mutex> lock(mutex_);
        const uint64_t want = done_[consumer];
        if (filled_ <= want && !closed_) {
            ++consumers_waiting_;
            published_.wait(lock, [&] { return filled_ > want || closed_; });
            --consumers_waiting_;
        }
        return filled_ > want ? &slots_[want % slots_.size()] : nullptr;
    }
    // The consumer is done with the batch next() gave it.
    void release(std::size_t consumer) {
        bool wake;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++done_[consumer];
            wake = producer_waiting_ && half_free();
        }
        if (wake) freed_.notify_one();
    }

private:
    bool half_free() const { return filled_ + (slots_.size() + 1) / 2 <= slowest() + slots_.size(); }
    uint64_t slowest() const {
        uint64_t least = filled_;
        for (uint64_t d : done_)
            if (d < least) least = d;
        return least;
    }

    std::vector<Batch> slots_;
    std::vector<uint64_t> done_;  // batches each consumer has finished
    uint64_t filled_ = 0;         // batches published
    bool closed_ = false;
    bool producer_waiting_ = false;
    std::size_t consumers_waiting_ = 0;
    std::mutex mutex_;
    std::condition_variable published_;
    std::condition_variable freed_;
};

}  // namespace vandrel
