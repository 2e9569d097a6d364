// One dive of the dive table, as the dive detector finds it in the TDR rows.
//
// A dive is a maximal series of consecutive rows i..j of one run whose depth
// less the zero offset lies deeper than the threshold. Depths are counted in
// the run's raw depth unit (a decimetre, or a millimetre in regime 5) after
// the zero offset is taken off; times are the TDR rows' times in seconds
// since 1970 UTC, before the tables round them.
#pragma once

#include <cstdint>
#include <vector>

namespace vandrel {

struct dive_record {
    uint32_t number;           // 1, 2, ... over the whole stream
    uint32_t run;              // the TDR run the dive lies in
    double start_time;         // time of row i
    double end_time;           // time of row j
    double max_depth_time;     // time of the first row at the greatest depth
    int64_t max_depth_counts;  // greatest depth in depth units (a raw depth less a zero offset of up to 2^31 dm)
    double depth_unit;         // metres per count: 0.1, or 0.001 in regime 5
    uint64_t samples;          // n = j - i + 1
    double duration;           // seconds: n * dt
    double bottom_time;        // seconds
    double bottom_depth_mean;  // metres
    double descent_time;       // seconds
    double descent_rate;       // m/s; NaN when the descent time is 0
    double ascent_time;        // seconds
    double ascent_rate;        // m/s; NaN when the ascent time is 0
    double temp_mean;          // degrees Celsius; NaN when the run has no temperature
    double postdive;           // seconds to the next dive of the run; NaN for the run's last dive
    bool complete;             // neither the first nor the last row of its run
};

// Receives each dive once it is complete (when the next dive of its run
// begins or its run ends, since the surface interval after it is part of it).
class dive_sink {
public:
    virtual ~dive_sink() = default;
    virtual void dive(const dive_record&) = 0;
};

// Hands each dive to several writers, in the order they were added.
class dive_fanout final : public dive_sink {
public:
    void add(dive_sink* s) { sinks_.push_back(s); }
    void dive(const dive_record& r) override {
        for (dive_sink* s : sinks_) s->dive(r);
    }

private:
    std::vector<dive_sink*> sinks_;
};

}  // namespace vandrel
