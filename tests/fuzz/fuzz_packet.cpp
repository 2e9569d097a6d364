// Fuzz target: the header test and the unpacker on one packet.
//
// Input: the 128 bytes of a packet (a shorter input is padded with zeros,
// bytes past 128 other than the next one are ignored), then one optional
// control byte: bit 0 switches the trace on, the other seven bits cut that
// many bytes off the end of the payload handed to the unpacker (at most all
// of it), to hold it to its promise of never reading past `len`. Header and
// payload are copied into heap blocks of exactly their size, so that
// AddressSanitizer sees a read of one byte too many.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "packet/packet.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Room the fixed part of a payload takes before the first relative sample:
// number, version, mV, marker and five absolute values.
constexpr int fixed_payload_bytes = 17;
// A full payload yields at most this many samples.
constexpr int max_samples_per_payload = 21;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    vandrel::fuzz::silence_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace vandrel;
    uint8_t packet[packet_size] = {};
    std::memcpy(packet, data, size < packet_size ? size : packet_size);
    const uint8_t control = size > packet_size ? data[packet_size] : 0;
    const int trace = control & 1;
    const std::size_t cut = control >> 1;
    const std::size_t len = cut >= payload_size ? 0 : payload_size - cut;

    std::unique_ptr<uint8_t[]> header(new uint8_t[packet_header_size]);
    std::memcpy(header.get(), packet, packet_header_size);
    packet_header msg;
    if (parse_packet_header(header.get(), msg)) {
        FUZZ_CHECK(msg.year > 1970 && msg.year < 1970 + 255);
        FUZZ_CHECK(msg.year_secs != 0);
    }

    std::unique_ptr<uint8_t[]> payload(new uint8_t[len]);
    if (len > 0) std::memcpy(payload.get(), packet + packet_header_size, len);
    std::unique_ptr<sample[]> samples(new sample[max_samples]);
    const int n = unpack_samples(payload.get(), static_cast<int>(len), samples.get(), trace);
    FUZZ_CHECK(n >= 0 && n <= max_samples_per_payload);
    if (static_cast<int>(len) < fixed_payload_bytes) FUZZ_CHECK(n == 0);
    return 0;
}
