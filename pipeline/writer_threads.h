// The writers of a decoding, each fed the batches of a ring in a thread:
// `threads` threads share the writers, writer i on thread i % threads, each
// thread handing every batch to its writers in the order they were given.
// A writer's records thus arrive in stream order, and writers on one thread
// in the order they were listed. The decoder fills the batches in its own
// thread, through fill() and hand_over().
#pragma once

#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

#include "pipeline/batch_ring.h"

namespace vandrel {

// Batches in flight between the decoder and the slowest writer: enough that
// a writer's brief stall does not stop the others, few enough that memory
// stays small.
constexpr std::size_t batches_in_flight = 8;

// Records in a batch: enough that handing one over costs little per record.
constexpr std::size_t records_per_batch = 16384;

// The writers' threads for `writers` writers when `threads` are asked for
// in all, the decoder's among them.
inline std::size_t writer_thread_count(std::size_t writers, int threads) {
    std::size_t n = threads < 2 ? 1 : static_cast<std::size_t>(threads) - 1;
    if (n > writers) n = writers;
    return n < 1 ? 1 : n;
}

// A writer's function that first runs prepare (when given) in the writer's
// thread, before the writer's first batch; started tells whether it has.
template <typename Batch>
std::function<void(const Batch&)> prepared_first(std::function<void()> prepare, std::function<void(const Batch&)> fn,
                                                 char& started) {
    return [prepare = std::move(prepare), fn = std::move(fn), &started](const Batch& batch) {
        if (!started) {
            started = 1;
            if (prepare) prepare();
        }
        fn(batch);
    };
}

template <typename Batch>
class writer_threads {
public:
    using writer_fn = std::function<void(const Batch&)>;

    writer_threads(std::vector<writer_fn> writers, int threads)
        : writers_(std::move(writers)), ring_(batches_in_flight, writer_thread_count(writers_.size(), threads)) {
        const std::size_t n = writer_thread_count(writers_.size(), threads);
        for (std::size_t t = 0; t < n; ++t) threads_.emplace_back([this, t, n] { run(t, n); });
        fill_ = &ring_.next_to_fill();
        fill_->clear();
    }
    writer_threads(const writer_threads&) = delete;
    writer_threads& operator=(const writer_threads&) = delete;
    ~writer_threads() { finish(); }

    // The batch the decoder fills.
    Batch& fill() { return *fill_; }
    // Hands the batch filled so far to the writers; fill() is then an empty
    // one.
    void hand_over() {
        if (fill_->size() == 0) return;
        ring_.publish();
        fill_ = &ring_.next_to_fill();
        fill_->clear();
    }
    // Hands over the last batch and waits until every writer has had every
    // batch.
    void finish() {
        if (threads_.empty()) return;
        if (fill_->size() != 0) ring_.publish();
        ring_.close();
        for (std::thread& t : threads_) t.join();
        threads_.clear();
    }

private:
    void run(std::size_t thread, std::size_t n) {
        while (const Batch* batch = ring_.next(thread)) {
            for (std::size_t w = thread; w < writers_.size(); w += n) writers_[w](*batch);
            ring_.release(thread);
        }
    }

    std::vector<writer_fn> writers_;
    batch_ring<Batch> ring_;
    std::vector<std::thread> threads_;
    Batch* fill_ = nullptr;
};

}  // namespace vandrel
