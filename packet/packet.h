// The packet file: a plain sequence of 128-byte packets, no file header.
//
// Each packet is a 9-byte header (ID, year, seconds into the year of the first
// sample) and a 119-byte payload: a 24-bit packet number, an optional version
// byte 3 with a 16-bit mV value, the start marker 0xFC, one sample of five
// absolute 16-bit values and then further samples of five one-byte field
// codes each, one second apart, until 0xFD stands where a sample would begin.
// All multi-byte fields are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "coding/stream_codes.h"
#include "packet/packet_records.h"

namespace vandrel {

constexpr std::size_t packet_size = 128;
constexpr std::size_t packet_header_size = 9;
constexpr std::size_t payload_size = packet_size - packet_header_size;  // 119
// The unpacker looks for a further sample only below this payload offset.
constexpr std::size_t payload_sample_limit = payload_size - 9;  // 110
// Room the caller provides; a payload fills at most 21.
constexpr std::size_t max_samples = 50;

constexpr uint8_t payload_version_3 = 3;  // payload carries an mV value

struct packet_header {
    uint32_t ID = 0;
    int64_t start_time = 0;  // seconds since 1970 UTC of the first sample
    int year = 0;            // 1970 + header byte 4
    uint32_t year_secs = 0;  // seconds into the year of the first sample
    int64_t jan1_time = 0;   // seconds since 1970 of 1 January of the year used
    int dated_year = 0;      // the year used: year moved on by whole four-year steps
};

struct sample {
    uint32_t packet = 0;  // the 24-bit packet number of the payload
    uint16_t mbar = 0;
    uint16_t temp = 0;
    uint16_t cond = 0;
    uint16_t f = 0;
    uint16_t logl = 0;
    uint16_t mV = 0;
};

// Decides whether a packet holds data. On true, ID, year and year_secs are
// set. Refused: year byte 0x00 or 0xFF, ID EE EE EE EE, year seconds 0; why
// (when given) then tells which.
bool parse_packet_header(const uint8_t* blk, packet_header& msg, packet_skip* why = nullptr);

// Applies one field code to value, reading at most `available` bytes from
// code. Returns the bytes used (1, or 3 for the 0xFA escape), or 0 when the
// code needs more bytes than are available (the value is then unchanged).
uint8_t decode_field(uint16_t* value, const uint8_t* code, std::size_t available);

// Expands a payload into samples[0..n-1] and returns n, or 0 when the start
// marker is missing (reported on standard output). Never reads outside
// payload[0..len-1]: a further sample that would need a byte beyond the
// payload is incomplete and is neither applied nor counted. With trace set,
// each step is printed on standard output.
int unpack_samples(const uint8_t* payload, int len, sample* samples, int trace);

// The same without a word on standard output (a missing marker gives 0),
// for a reading that only counts what a first one reports.
int count_samples(const uint8_t* payload, int len, sample* samples);

}  // namespace vandrel
