// The writers of a decoding, each fed the batches of a ring in a thread:
// `threads` threads share the writers, writer i on thread i % threads, each
// thread handing every batch to its writers in the order they were given.
// A writer's records thus arrive in stream order, and writers on one thread
// in the order they were listed. The decoder fills the batches in its own
// thread, through fill() and hand_over().
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
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

// The steps that prepare the writers (the netCDF files' first reading),
// prepare[i] for writer i, an empty function for none. Each runs once: in
// the writer's thread before its first batch, or, for a writer that got no
// batch or a run without threads, from run_left().
class writer_preparations {
public:
    explicit writer_preparations(const std::vector<std::function<void()>>& prepare)
        : prepare_(prepare), started_(prepare.size(), 0) {}

    // Writer i's function, preparing it first.
    template <typename Batch>
    std::function<void(const Batch&)> first(std::size_t i, std::function<void(const Batch&)> fn) {
        if (i >= prepare_.size() || !prepare_[i]) return fn;
        return [this, i, fn = std::move(fn)](const Batch& batch) {
            if (!started_[i]) {
                started_[i] = 1;
                prepare_[i]();
            }
            fn(batch);
        };
    }
    // The preparations that have not run yet; call once the writers'
    // threads have ended.
    void run_left() {
        for (std::size_t i = 0; i < prepare_.size(); ++i) {
            if (started_[i] || !prepare_[i]) continue;
            started_[i] = 1;
            prepare_[i]();
        }
    }

private:
    const std::vector<std::function<void()>>& prepare_;
    std::vector<char> started_;  // one writer's thread each
};

// Text made of a batch: a buffer that grows and is kept, not cleared byte
// by byte (rows reserve room for their widest and use little of it).
class batch_text {
public:
    // Room for n more bytes at the returned pointer; hand its end to commit().
    char* room(std::size_t n) {
        if (capacity_ - size_ < n) {
            capacity_ = (size_ + n) * 2;
            std::unique_ptr<char[]> bigger(new char[capacity_]);
            if (size_ > 0) std::memcpy(bigger.get(), data_.get(), size_);
            data_ = std::move(bigger);
        }
        return data_.get() + size_;
    }
    void commit(const char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
    void append(const char* s, std::size_t n) { commit(static_cast<char*>(std::memcpy(room(n), s, n)) + n); }
    void clear() { size_ = 0; }
    const char* data() const { return data_.get(); }
    std::size_t size() const { return size_; }

private:
    std::unique_ptr<char[]> data_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

// The order in which text made of batches in several threads goes out:
// batch after batch, each waiting its turn.
class batch_turns {
public:
    // Runs put once the batches before `batch` have had their turn.
    template <typename Put>
    void in_turn(uint64_t batch, Put put) {
        std::unique_lock<std::mutex> lock(mutex_);
        turn_changed_.wait(lock, [&] { return next_ == batch; });
        put();
        ++next_;
        lock.unlock();
        turn_changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable turn_changed_;
    uint64_t next_ = 0;
};

// `ways` writers for one text file whose formatting outweighs the rest: the
// k-th formats batches k, k + ways, ... into text of its own, and hands it
// to put in batch order (turns serve one file). Writers on one thread keep
// the order too: a thread hands a batch to its writers before the next.
template <typename Batch>
std::vector<std::function<void(const Batch&)>> formatted_in_turns(
    int ways, const std::function<void(const Batch&, batch_text&)>& format,
    const std::function<void(const batch_text&)>& put, batch_turns& turns) {
    std::vector<std::function<void(const Batch&)>> writers;
    for (int k = 0; k < ways; ++k) {
        writers.push_back([k, ways, format, put, &turns, seen = uint64_t{0},
                           text = std::make_shared<batch_text>()](const Batch& batch) mutable {
            const uint64_t n = seen++;
            if (n % static_cast<uint64_t>(ways) != static_cast<uint64_t>(k)) return;
            text->clear();
            format(batch, *text);
            turns.in_turn(n, [&] { put(*text); });
        });
    }
    return writers;
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
