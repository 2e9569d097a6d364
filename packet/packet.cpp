#include "packet/packet.h"

#include <cstdio>

namespace vandrel {
namespace {

uint32_t be32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// Applies the field code at code, whose escape bytes are known to be there;
// returns the bytes used.
int apply_code(uint16_t& value, const uint8_t* code) {
    const uint8_t c = code[0];
    if (c == TDRCODE_ABSOLUTE) {
        value = be16(code + 1);
        return 3;
    }
    // The other codes leave the value unchanged.
    if (!is_stream_code(c)) value = apply_delta(value, c);
    return 1;
}

void trace_sample(int pos, const sample& s) {
    std::printf("@%d: mV=%u packet=%lu mbar=%u  temp=%u cond=%u f=%u logl=%u\n", pos, s.mV,
                static_cast<unsigned long>(s.packet), s.mbar, s.temp, s.cond, s.f, s.logl);
}

}  // namespace

bool parse_packet_header(const uint8_t* blk, packet_header& msg, packet_skip* why) {
    packet_skip ignored = packet_skip::erased;
    packet_skip& reason = why != nullptr ? *why : ignored;
    if (blk[4] == 0x00 || blk[4] == 0xFF) {
        reason = packet_skip::erased;
        return false;
    }
    if (blk[0] == 0xEE && blk[1] == 0xEE && blk[2] == 0xEE && blk[3] == 0xEE) {
        reason = packet_skip::blank_id;
        return false;
    }
    msg.year = 1970 + blk[4];
    msg.year_secs = be32(blk + 5);
    if (msg.year_secs == 0) {
        reason = packet_skip::zero_time;
        return false;
    }
    msg.ID = be32(blk);
    return true;
}

uint8_t decode_field(uint16_t* value, const uint8_t* code, std::size_t available) {
    if (available < 1 || (code[0] == TDRCODE_ABSOLUTE && available < 3)) return 0;
    return static_cast<uint8_t>(apply_code(*value, code));
}

namespace {

// unpack_samples, and with quiet set not a word on standard output.
int unpack(const uint8_t* payload, int len, sample* samples, int trace, bool quiet) {
    // The fixed part (number, version, mV, marker, first sample) needs 17
    // bytes at most; a shorter payload is refused outright.
    if (len < 17) return 0;
    const auto number =
        (static_cast<uint32_t>(payload[0]) << 16) | (static_cast<uint32_t>(payload[1]) << 8) | payload[2];
    if (trace != 0) {
        std::printf("pkt %lu: %02hx%02hx%02hx %02hx %02hx%02hx\n", static_cast<unsigned long>(number),
                    static_cast<unsigned short>(payload[0]), static_cast<unsigned short>(payload[1]),
                    static_cast<unsigned short>(payload[2]), static_cast<unsigned short>(payload[3]),
                    static_cast<unsigned short>(payload[4]), static_cast<unsigned short>(payload[5]));
    }
    sample& first = samples[0];
    first.packet = number;
    int pos = 3;
    if (payload[pos] == payload_version_3) {
        if (trace != 0) {
            std::printf("Version and mV  %02hx%02hx%02hx\n", static_cast<unsigned short>(payload[3]),
                        static_cast<unsigned short>(payload[4]), static_cast<unsigned short>(payload[5]));
        }
        first.mV = be16(payload + 4);
        pos = 6;
    } else {
        first.mV = 0;
    }
    if (payload[pos] != TDRCODE_START_CTD) {
        if (quiet) return 0;
        std::printf("Error: TDRCODE b[%d] =%hx\n", pos, static_cast<unsigned short>(payload[pos]));
        return 0;
    }
    ++pos;
    first.mbar = be16(payload + pos);
    first.temp = be16(payload + pos + 2);
    first.cond = be16(payload + pos + 4);
    first.f = be16(payload + pos + 6);
    first.logl = be16(payload + pos + 8);
    pos += 10;
    if (trace != 0) trace_sample(pos, first);

    const int limit = len - 9;
    int i = 0;
    while (pos < limit) {
        if (payload[pos] == TDRCODE_END_CTD) {
            if (trace != 0) std::printf("TDRCODE_END_CTD at byte %d\n", pos);
            break;
        }
        if (len - pos >= 5 * 3) {
            // Five codes of at most three bytes each lie inside: the sample is
            // whole, whatever its codes.
            sample& next = samples[i + 1];
            next = samples[i];
            pos += apply_code(next.mbar, payload + pos);
            pos += apply_code(next.temp, payload + pos);
            pos += apply_code(next.cond, payload + pos);
            pos += apply_code(next.f, payload + pos);
            pos += apply_code(next.logl, payload + pos);
            ++i;
            if (trace != 0) trace_sample(pos, samples[i]);
            continue;
        }
        // Build the sample aside; it counts only if all five codes and their
        // escape bytes lie inside the payload.
        sample next = samples[i];
        uint16_t* fields[5] = {&next.mbar, &next.temp, &next.cond, &next.f, &next.logl};
        int p = pos;
        bool complete = true;
        for (uint16_t* field : fields) {
            const uint8_t used = decode_field(field, payload + p, static_cast<std::size_t>(len - p));
            if (used == 0) {
                complete = false;
                break;
            }
            p += used;
        }
        if (!complete) break;
        pos = p;
        samples[++i] = next;
        if (trace != 0) trace_sample(pos, samples[i]);
    }
    return i + 1;
}

}  // namespace

int unpack_samples(const uint8_t* payload, int len, sample* samples, int trace) {
    return unpack(payload, len, samples, trace, false);
}

int count_samples(const uint8_t* payload, int len, sample* samples) { return unpack(payload, len, samples, 0, true); }

}  // namespace vandrel
