// Feeds arbitrary bytes, in pieces whose sizes the input chooses, to the
// server's frame extraction and to the client's reassembly, and parses every
// delivered request as the protocol would.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/protocol_client.h"
#include "server/frame_slot.h"
#include "server/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first byte sets the piece size, as the network would split the stream.
    const std::size_t piece = 1 + data[0] * 97u;
    data += 1;
    size -= 1;

    sint::FrameSlot slot;
    sint::FrameReader reader;
    bool closed = false;
    for (std::size_t at = 0; at < size && !closed; at += piece) {
        const std::size_t count = std::min(piece, size - at);
        reader.append(data + at, count);
        while (auto frame = reader.take()) sint::recognise_reply(frame->payload);

        std::size_t offset = 0;
        while (offset < count && !closed) {
            const std::size_t taken = std::min(slot.room(), count - offset);
            if (!slot.append(data + at + offset, taken)) std::abort();
            offset += taken;
            const auto status =
                slot.extract([](const char* payload, std::size_t length, std::uint16_t) {
                    if (length > sint::kMaxPayload || payload[length] != '\0') std::abort();
                    const std::string_view text(payload, length);
                    if (auto request = sint::parse_request(sint::decode_control_bytes(text))) {
                        sint::read_number(request->text);
                        sint::numbered_file_name(request->file_name, 5);
                    }
                    return true;
                });
            if (status == sint::FrameSlot::Status::Oversized) closed = true;
            // A full buffer must always make room for more bytes.
            if (slot.room() == 0) std::abort();
        }
    }
    return 0;
}
