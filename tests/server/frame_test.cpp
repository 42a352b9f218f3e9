// Frames on both sides: the server's extraction from a slot buffer and the
// client's reassembly, reply recognition and request texts.
#include "core/frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/protocol_client.h"
#include "server/frame_slot.h"

namespace sint {
namespace {

std::string frame_bytes(std::string_view payload, std::uint16_t kind = 1) {
    const auto frame = encode_frame(payload, kind);
    return std::string(frame.begin(), frame.end());
}

std::string header_announcing(std::uint32_t length) {
    std::string header = frame_bytes("");
    header[4] = static_cast<char>(length);
    header[5] = static_cast<char>(length >> 8);
    header[6] = static_cast<char>(length >> 16);
    header[7] = static_cast<char>(length >> 24);
    return header;
}

// Feeds bytes into a slot in pieces and collects the delivered payloads.
struct SlotFeeder {
    FrameSlot slot;
    std::vector<std::string> payloads;
    std::vector<std::uint16_t> kinds;
    FrameSlot::Status status = FrameSlot::Status::Waiting;

    void feed(std::string_view bytes, std::size_t piece) {
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            const std::string_view part = bytes.substr(at, piece);
            ASSERT_TRUE(slot.append(part.data(), part.size()));
            status =
                slot.extract([this](const char* payload, std::size_t length, std::uint16_t kind) {
                    EXPECT_EQ(payload[length], '\0');
                    payloads.emplace_back(payload, length);
                    kinds.push_back(kind);
                    return true;
                });
            if (status == FrameSlot::Status::Oversized) return;
        }
    }
};

TEST(FrameSlot, FramesAreDeliveredWholeHoweverTheyAreSplit) {
    const std::string stream = frame_bytes(std::string("TEST\t\t\0", 7), 1) +
                               frame_bytes("STREAM\t\tx", 0) + frame_bytes("", 7);
    for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
        SCOPED_TRACE(piece);
        SlotFeeder feeder;
        feeder.feed(stream, piece);
        ASSERT_EQ(feeder.payloads.size(), 3u);
        EXPECT_EQ(feeder.payloads[0], std::string("TEST\t\t\0", 7));
        EXPECT_EQ(feeder.payloads[1], "STREAM\t\tx");
        EXPECT_EQ(feeder.payloads[2], "");
        EXPECT_EQ(feeder.kinds, (std::vector<std::uint16_t>{1, 0, 7}));
        EXPECT_EQ(feeder.slot.fill(), 0u);
    }
}

TEST(FrameSlot, JunkBeforeTheMagicIsDropped) {
    SlotFeeder feeder;
    feeder.feed("Z!M junk Z!MZ!" + frame_bytes("abc") + "Z!", 1000);
    EXPECT_EQ(feeder.payloads, std::vector<std::string>{"abc"});
    EXPECT_EQ(feeder.slot.fill(), 2u);
}

TEST(FrameSlot, AStreamWithoutMagicKeepsItsLastElevenBytes) {
    SlotFeeder feeder;
    feeder.feed(std::string(5000, 'q') + "Z!M", 700);
    EXPECT_EQ(feeder.slot.fill(), 11u);
    // The magic that was cut off is completed by the next bytes.
    feeder.feed(frame_bytes("hello").substr(3), 1);
    EXPECT_EQ(feeder.payloads, std::vector<std::string>{"hello"});
}

TEST(FrameSlot, TheLargestFrameFitsAndALargerOneIsRefused) {
    const std::string largest(kMaxPayload, 'a');
    SlotFeeder fits;
    fits.feed(frame_bytes(largest), 65536);
    ASSERT_EQ(fits.payloads.size(), 1u);
    EXPECT_EQ(fits.payloads[0].size(), kMaxPayload);

    for (std::uint32_t length : {std::uint32_t(kMaxPayload + 1), 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        SlotFeeder refused;
        refused.feed("junk" + header_announcing(length) + "abc", 1000);
        EXPECT_EQ(refused.status, FrameSlot::Status::Oversized) << length;
        EXPECT_TRUE(refused.payloads.empty());
    }
}

TEST(FrameSlot, NothingIsKeptBeyondTheBuffer) {
    FrameSlot slot;
    std::string block(kSlotBufferSize, 'x');
    EXPECT_TRUE(slot.append(block.data(), block.size()));
    EXPECT_FALSE(slot.append("y", 1));
    EXPECT_EQ(slot.room(), 0u);
    slot.extract([](const char*, std::size_t, std::uint16_t) { return true; });
    EXPECT_EQ(slot.fill(), 11u);
}

TEST(FrameSlot, TheHandlerCanStopTheExtraction) {
    FrameSlot slot;
    const std::string two = frame_bytes("a") + frame_bytes("b");
    slot.append(two.data(), two.size());
    int calls = 0;
    EXPECT_EQ(slot.extract([&](const char*, std::size_t, std::uint16_t) { return ++calls > 5; }),
              FrameSlot::Status::Stopped);
    EXPECT_EQ(calls, 1);
}

TEST(FrameReader, ReassemblesOneFramePerTake) {
    const std::string stream = "xx" + frame_bytes("SINT_OK", 1) + frame_bytes("second", 0);
    for (std::size_t piece : {std::size_t(1), std::size_t(5), stream.size()}) {
        FrameReader reader;
        std::vector<std::string> got;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            const std::string part = stream.substr(at, piece);
            reader.append(part.data(), part.size());
            while (auto frame = reader.take())
                got.emplace_back(frame->payload.begin(), frame->payload.end());
        }
        EXPECT_EQ(got, (std::vector<std::string>{"SINT_OK", "second"})) << piece;
        EXPECT_EQ(reader.buffered(), 0u);
    }
}

TEST(FrameReader, ABufferWithoutMagicKeepsOnlyAPossibleMagicStart) {
    FrameReader reader;
    const std::string junk = std::string(100, 'j') + "Z!M";
    reader.append(junk.data(), junk.size());
    EXPECT_FALSE(reader.take());
    EXPECT_EQ(reader.buffered(), 3u);
    const std::string rest = frame_bytes("ok").substr(3);
    reader.append(rest.data(), rest.size());
    const auto frame = reader.take();
    ASSERT_TRUE(frame);
    EXPECT_EQ(std::string(frame->payload.begin(), frame->payload.end()), "ok");
}

TEST(Replies, AreRecognisedByTheirCode) {
    auto bytes = [](std::string_view s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    EXPECT_EQ(recognise_reply(bytes(std::string("SINT_OK\0", 8))).type, ReplyType::Ok);
    EXPECT_EQ(recognise_reply(bytes(std::string("SINT_NO\0", 8))).type, ReplyType::NotReady);
    EXPECT_EQ(recognise_reply(bytes(std::string("SINT_E_\0", 8))).type, ReplyType::End);
    EXPECT_EQ(recognise_reply(bytes("SINT_MS")).type, ReplyType::Other);
    EXPECT_EQ(recognise_reply(bytes("SINT")).type, ReplyType::Other);
    const Reply end =
        recognise_reply(bytes(std::string("SINT_EP\0"
                                          "123\0",
                                          12)));
    EXPECT_EQ(end.type, ReplyType::SentenceEnd);
    EXPECT_EQ(end.value, 123);
    EXPECT_EQ(recognise_reply(bytes(std::string("SINT_EP\0"
                                                "-201\0",
                                                13)))
                  .value,
              -201);
    const Reply audio = recognise_reply(bytes(std::string("SINT_S_\0\x01\x00\xff\xff\x34", 13)));
    EXPECT_EQ(audio.type, ReplyType::Audio);
    EXPECT_EQ(audio.samples, (std::vector<std::int16_t>{1, -1}));  // an odd byte is dropped
}

TEST(Requests, AreFormattedAndCutToTheLimit) {
    EXPECT_EQ(command_request("TEST"), "TEST\t\t");
    EXPECT_EQ(command_request("TEMPO", -3), "TEMPO\t\t-3");
    EXPECT_EQ(stream_request("abc"), "STREAM\t\tabc");
    const std::string long_text(30000, 'a');
    EXPECT_EQ(stream_request(long_text).size(), kRequestTextMax);
    EXPECT_EQ(gfp_request(long_text).size(), kRequestTextMax);
    EXPECT_EQ(wave_file_request("a.wav", long_text).size(), kRequestTextMax);
    EXPECT_EQ(wave_file_request("a.wav", "b"), "SINT\ta.wav\tb");
}

}  // namespace
}  // namespace sint
