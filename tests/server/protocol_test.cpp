// The request protocol without sockets: decoding, splitting, numbers, wave
// file names, the letter names, the client list, and the commands against a
// fake synthesiser.
#include "server/protocol.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/frame.h"
#include "core/protocol_client.h"
#include "core/status.h"
#include "server/client_list.h"
#include "server/letter_names.h"
#include "server/server_settings.h"
#include "server/shell.h"
#include "server/tcp_server.h"
#include "tests/support/fake_synthesis.h"

namespace sint {
namespace {

TEST(ProtocolParsing, ControlBytesAreDecodedOnce) {
    EXPECT_EQ(decode_control_bytes("a\x05"
                                   "b\x06"
                                   "c\x08"
                                   "d\x04"
                                   "e"),
              "a\nb\rc\td\x08"
              "e");
    // 0x04 becomes 0x08, which is not turned into a TAB in turn.
    EXPECT_EQ(parse_request(decode_control_bytes("X\x04Y\tf\tt"))->command, "X\bY");
    EXPECT_EQ(parse_request(decode_control_bytes("CMD\x08"
                                                 "f\x08"
                                                 "t"))
                  ->text,
              "t");
}

TEST(ProtocolParsing, RequestsAreSplitAtTheFirstTwoTabs) {
    struct Case {
        const char* request;
        bool valid;
        const char* command;
        const char* file;
        const char* text;
    };
    const Case cases[] = {
        {"STREAM\t\tDober dan.", true, "STREAM", "sint.wav", "Dober dan."},
        {" \x01TEST \t  a.wav\r\t x\ty ", true, "TEST", "a.wav", " x\ty "},
        {"\t\t", true, "", "sint.wav", ""},
        {"CMD\t\xE8.wav\t", true, "CMD", "\xE8.wav", ""},
        {"STREAM\tDober dan.", false, "", "", ""},
        {"no tabs at all", false, "", "", ""},
        {"", false, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request);
        const auto request = parse_request(c.request);
        ASSERT_EQ(request.has_value(), c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(request->command, c.command);
        EXPECT_EQ(request->file_name, c.file);
        EXPECT_EQ(request->text, c.text);
    }
}

TEST(ProtocolParsing, NumbersReadLikeTheClientsWriteThem) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"5", 5},
        {"  -7x", -7},
        {"+12", 12},
        {"N5", -5},
        {"n30", -30},
        {"N", 0},
        {"abc", 0},
        {"", 0},
        {" N5", 0},
        {"99999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
        {"N99999999999", INT32_MIN + 0},
        {"250", 250},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(read_number(text), value) << text;
}

TEST(ProtocolParsing, WaveFileNamesCycleThroughSixNumbers) {
    const std::tuple<const char*, std::int32_t, const char*> cases[] = {
        {"sint.wav", 1, "sint_0001.wav"},     {"sint.wav", 5, "sint_0005.wav"},
        {"sint.wav", 6, "sint_0000.wav"},     {"sint.wav", 7, "sint_0001.wav"},
        {"a.b.wav", 2, "a.b_0002.wav"},       {"noext", 3, "noext_0003"},
        {"dir.x/file", 4, "dir.x/file_0004"}, {"out/x.wav", 12, "out/x_0000.wav"},
    };
    for (const auto& [name, counter, expected] : cases)
        EXPECT_EQ(numbered_file_name(name, counter), expected) << name << " " << counter;
}

TEST(ProtocolParsing, WaveFilesStayInsideTheProgramFolder) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("sint_wave_" + std::to_string(getpid()));
    fs::create_directories(folder / "sub");
    std::error_code ignored;
    fs::create_directory_symlink("/", folder / "root", ignored);
    const std::string base = folder.string() + "/";

    EXPECT_EQ(wave_file_path(base, "sint_0001.wav"), base + "sint_0001.wav");
    EXPECT_EQ(wave_file_path(base, "sub/a.wav"), base + "sub/a.wav");
    EXPECT_EQ(wave_file_path(base, "sub\\a.wav"), base + "sub/a.wav");
    EXPECT_EQ(wave_file_path(base, "./b.wav"), base + "./b.wav");
    for (const char* refused : {"/tmp/x.wav", "../x.wav", "sub/../../x.wav", "..\\x.wav",
                                "C:\\x.wav", "c:x.wav", "root/tmp/x.wav", "", ".."})
        EXPECT_EQ(wave_file_path(base, refused), std::nullopt) << refused;
    // A sint.ini key may allow absolute names, never a climb with "..".
    EXPECT_EQ(wave_file_path(base, "/tmp/x.wav", true), "/tmp/x.wav");
    EXPECT_EQ(wave_file_path(base, "/tmp/../x.wav", true), std::nullopt);
    EXPECT_EQ(wave_file_path(base, "../x.wav", true), std::nullopt);
    fs::remove_all(folder);
}

TEST(LetterNames, SingleCharactersAreNamed) {
    const std::pair<unsigned char, const char*> cases[] = {
        {'x', "iks"},
        {'X', "iks"},
        {'*', "zvEzdi:tsa"},
        {'a', "a"},
        {0xE8, "tS@"},
        {0xC8, "tS@"},
        {0xE6, "mE:hki tS@"},
        {0xC6, "mE:hki tS@"},
        {0xF0, "dZ@"},
        {0xD0, "dZ@"},
        {0x9A, "S@"},
        {0x8A, "S@"},
        {0x9E, "Z@"},
        {0x8E, "Z@"},
        {'0', "ni:tS"},
        {'9', "dEve:t"},
        {'\\', "le:va pOSe:Unitsa"},
        {'|', "naUpi:tSnitsa"},
        {'"', "narEkOva:I"},
        {'{', "zavi:ti OklEpa:I"},
        {'?', "Wpra:SaI"},
        {'#', "lo:Itra"},
        {0xFC, "."},
        {0, "."},
        {0xFF, "."},
        {'\t', "."},
    };
    const SymbolNames names(std::string(SINT_SOURCE_DIR) + "/voice/simboli.ini");
    for (const auto& [c, transcription] : cases) {
        EXPECT_EQ(letter_transcription(&names, c), transcription) << int(c);
        EXPECT_EQ(letter_transcription(nullptr, c), ".") << int(c);
    }
}

TEST(ClientList, RecordsFollowTheConnections) {
    Tclient_buffer list;
    EXPECT_TRUE(list.is_empty());
    list.add(7);
    list.add(7);
    list.add(9);
    EXPECT_EQ(list.count(), 2u);
    std::int32_t value = 0;
    ASSERT_EQ(list.get_articulation(7, value), 0);
    EXPECT_EQ(value, 94);
    ASSERT_EQ(list.get_window_width(9, value), 0);
    EXPECT_EQ(value, 90);
    EXPECT_EQ(list.set_volume(9, 40), 0);
    EXPECT_EQ(list.settings(9)->volume, 40);
    EXPECT_EQ(list.settings(7)->volume, 100);
    EXPECT_EQ(list.set_tempo(8, 1), -1);
    EXPECT_EQ(list.get_pitch(8, value), -1);
    EXPECT_EQ(list.remove(7), 0);
    EXPECT_EQ(list.remove(7), kNotPossible);
    EXPECT_EQ(list.settings(9)->volume, 40);
    for (int socket = 100; socket < 350; ++socket) list.add(socket);
    EXPECT_EQ(list.count(), 251u);
    EXPECT_EQ(list.remove(9), 0);
    for (int socket = 100; socket < 350; ++socket) list.remove(socket);
    EXPECT_TRUE(list.is_empty());
}

// The protocol over a recording sender, without the network.
class ProtocolCommands : public ::testing::Test {
protected:
    struct Sent {
        int socket;
        std::vector<std::uint8_t> payload;
        std::uint16_t kind;
    };

    void SetUp() override { clients.add(kSocket); }

    void request(const std::string& text) {
        std::string payload = text;
        payload.push_back('\0');
        protocol.handle(kSocket, payload,
                        [this](int socket, const std::vector<std::uint8_t>& p, std::uint16_t kind) {
                            sent.push_back({socket, p, kind});
                            return true;
                        });
    }
    Reply last_reply() const { return recognise_reply(sent.back().payload); }

    static constexpr int kSocket = 5;
    test::FakeSynthesis synthesis;
    Tclient_buffer clients;
    ShellState shell;
    ServerSettings settings;
    Protocol protocol{synthesis, clients, shell, settings, "/tmp/sint-program"};
    std::vector<Sent> sent;
};

TEST_F(ProtocolCommands, TestAnswersWithKindOne) {
    request("TEST\t\t");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].kind, kFrameKindTest);
    EXPECT_EQ(sent[0].payload, (std::vector<std::uint8_t>{'S', 'I', 'N', 'T', '_', 'O', 'K', 0}));
    synthesis.is_ready = false;
    request("TEST\t\t");
    EXPECT_EQ(last_reply().type, ReplyType::NotReady);
    // Nothing else is done while the synthesiser is not ready.
    request("STREAM\t\tDober dan.");
    request("GFP\t\tDober dan.");
    EXPECT_EQ(sent.size(), 2u);
}

TEST_F(ProtocolCommands, SettingsAreClampedAndKeptPerConnection) {
    const std::tuple<const char*, std::int32_t ClientSettings::*, std::int32_t> cases[] = {
        {"VOLUME\t\tN5", &ClientSettings::volume, 1},
        {"VOLUME\t\t250", &ClientSettings::volume, 100},
        {"VOLUME\t\t37", &ClientSettings::volume, 37},
        {"TEMPO\t\t-30", &ClientSettings::tempo, -10},
        {"TEMPO\t\t30", &ClientSettings::tempo, 10},
        {"TEMPO\t\tn3", &ClientSettings::tempo, -3},
        {"SPEED\t\t1000", &ClientSettings::speed, 600},
        {"SPEED\t\t5", &ClientSettings::speed, 30},
        {"SPEED\t\tabc", &ClientSettings::speed, 30},
        {"SPEED\t\t250", &ClientSettings::speed, 250},
        {"PITCH\t\t-80", &ClientSettings::pitch, -80},
        {"ARTICULATION\t\t500", &ClientSettings::articulation, 500},
        {"WWIDTH\t\t7", &ClientSettings::window_width, 7},
    };
    for (const auto& [text, field, value] : cases) {
        request(text);
        EXPECT_EQ(clients.settings(kSocket).value().*field, value) << text;
    }
    EXPECT_TRUE(sent.empty());
    // The facade gets the connection's values at the next synthesis.
    request("STREAM\t\tx");
    EXPECT_EQ(synthesis.calls("tempo"), std::vector<std::string>{"tempo:-3"});
    EXPECT_EQ(synthesis.calls("speed"), std::vector<std::string>{"speed:250"});
    EXPECT_EQ(synthesis.calls("pitch"), std::vector<std::string>{"pitch:-80"});
    EXPECT_EQ(synthesis.calls("articulation"), std::vector<std::string>{"articulation:500"});
    EXPECT_EQ(synthesis.calls("wwidth"), std::vector<std::string>{"wwidth:7"});
}

TEST_F(ProtocolCommands, ShellRequestsAndSevenBitInput) {
    request("YU\t\t");
    EXPECT_TRUE(settings.seven_bit_input);
    request("NORMAL\t\t");
    EXPECT_FALSE(settings.seven_bit_input);
    request("REINIT\t\t other.ini ");
    std::string list;
    ASSERT_TRUE(shell.take_reload(list));
    EXPECT_EQ(list, "/tmp/sint-program/other.ini");
    for (const char* quiet : {"NOP\t\t", "PAUSE\t\t", "RESUME\t\t"}) request(quiet);
    EXPECT_TRUE(sent.empty());
    request("STOP\t\t");
    EXPECT_EQ(last_reply().type, ReplyType::End);
    EXPECT_FALSE(shell.stop_requested());
    request("TERMINATE\t\t");
    EXPECT_EQ(last_reply().type, ReplyType::End);
    EXPECT_TRUE(shell.stop_requested());
    EXPECT_TRUE(synthesis.calls("prosody").empty());
}

TEST_F(ProtocolCommands, ReinitListsFollowTheRuleOfWaveFiles) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"sub/list.ini", false, "/tmp/sint-program/sub/list.ini"},
        {"../list.ini", false, nullptr},
        {"/etc/list.ini", false, nullptr},
        {"/etc/list.ini", true, "/etc/list.ini"},
        {"/etc/../list.ini", true, nullptr},
        {"", false, nullptr},
    };
    for (const auto& [path, allowed, expected] : cases) {
        settings.absolute_paths_allowed = allowed;
        request(std::string("REINIT\t\t") + path);
        std::string list;
        EXPECT_EQ(shell.take_reload(list), expected != nullptr) << path;
        if (expected) {
            EXPECT_EQ(list, expected);
        }
    }
}

TEST_F(ProtocolCommands, CommandsAreCaseSensitive) {
    request("test\t\tabc");  // not TEST: a wave file request
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(synthesis.calls("file").size(), 1u);
}

TEST_F(ProtocolCommands, ControlCodesCarryLineBreaksIntoTheText) {
    request(
        "STREAM\t\tena\x05"
        "dva\x06"
        "tri\x08"
        "stiri");
    EXPECT_EQ(synthesis.calls("convert"), std::vector<std::string>{"convert:ena\ndva\rtri\tstiri"});
}

TEST_F(ProtocolCommands, GfpAnswersTheFirstSentenceLength) {
    request("GFP\t\tDober dan. Kako si?");
    ASSERT_EQ(sent.size(), 1u);
    const Reply reply = last_reply();
    EXPECT_EQ(reply.type, ReplyType::SentenceEnd);
    EXPECT_EQ(reply.value, 10);
    EXPECT_EQ(sent[0].kind, kFrameKindPlain);
    request("GFP\t\tbrez konca");
    EXPECT_EQ(last_reply().value, -1);
    EXPECT_TRUE(synthesis.calls("prosody").empty());
}

TEST_F(ProtocolCommands, SingleCharactersUseTheLetterNames) {
    request("STREAM\t\t x\r\n");
    request("STREAM\t\t*");
    request("STREAM\t\t\x8A");
    EXPECT_EQ(synthesis.calls("prosody"),
              (std::vector<std::string>{"prosody:iks", "prosody:zvEzdi:tsa", "prosody:S@"}));
    EXPECT_TRUE(synthesis.calls("convert").empty());
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(recognise_reply(sent[0].payload).samples.size(), 3u * 10);
}

TEST_F(ProtocolCommands, VolumeScalesStreamedSamplesTowardZero) {
    request("VOLUME\t\t33");
    request("STREAM\t\tab");
    const Reply reply = last_reply();
    ASSERT_EQ(reply.type, ReplyType::Audio);
    ASSERT_EQ(reply.samples.size(), 20u);
    EXPECT_EQ(reply.samples[0], -330);  // -1000 * 33 / 100
    EXPECT_EQ(synthesis.calls("memory"), std::vector<std::string>{"memory:33"});
    request("VOLUME\t\t100");
    request("STREAM\t\tab");
    EXPECT_EQ(last_reply().samples[0], -1000);
}

TEST(ReplySamples, AreLittleEndianAndScaledTowardZero) {
    struct Case {
        std::int32_t volume;
        std::int16_t sample, expected;
    };
    const Case cases[] = {
        {33, -1, 0},          {33, 4, 1},      {50, -199, -99},
        {99, -32768, -32440}, {1, 32767, 327}, {100, -32768, -32768},
        {100, 12345, 12345},  {0, 777, 777},   {250, -5, -5},
        {99, 258, 255},
    };
    // Each case at several positions of a reply longer than one vector step.
    for (const Case& c : cases) {
        std::vector<std::int16_t> samples(37, 0);
        for (std::size_t at = 0; at < samples.size(); at += 6) samples[at] = c.sample;
        std::vector<std::uint8_t> out(2 * samples.size() + 1, 0xEE);
        write_reply_samples(samples, c.volume, out.data());
        for (std::size_t at = 0; at < samples.size(); ++at) {
            const auto value = static_cast<std::int16_t>(out[2 * at] | out[2 * at + 1] << 8);
            ASSERT_EQ(value, at % 6 == 0 ? c.expected : 0)
                << c.sample << " at volume " << c.volume << ", sample " << at;
        }
        EXPECT_EQ(out.back(), 0xEE) << "written past the end";
    }
}

TEST_F(ProtocolCommands, WaveFilesAreNumberedAndRefusedOutsideTheFolder) {
    for (int i = 0; i < 7; ++i) request("SINT\t\tDober dan.");
    request("\t\tDober dan.");
    request("SINT\tout.wav\tDober dan.");
    const std::string f = "/tmp/sint-program/";
    const std::string format = ":100:2,16000,1,3";
    EXPECT_EQ(synthesis.calls("file"),
              (std::vector<std::string>{
                  "file:" + f + "sint_0001.wav" + format, "file:" + f + "sint_0002.wav" + format,
                  "file:" + f + "sint_0003.wav" + format, "file:" + f + "sint_0004.wav" + format,
                  "file:" + f + "sint_0005.wav" + format, "file:" + f + "sint_0000.wav" + format,
                  "file:" + f + "sint_0001.wav" + format, "file:" + f + "sint_0002.wav" + format,
                  "file:" + f + "out_0003.wav" + format}));
    synthesis.clear();
    request("SINT\t../evil.wav\tDober dan.");
    request("SINT\t/tmp/evil.wav\tDober dan.");
    EXPECT_TRUE(synthesis.calls("file").empty());
    EXPECT_TRUE(synthesis.calls("prosody").empty());
    EXPECT_TRUE(sent.empty());
}

TEST_F(ProtocolCommands, StaleAudioIsNeverRepeated) {
    request("STREAM\t\tprvi stavek");
    synthesis.clear();
    // An empty text converts to nothing: an empty audio reply, not the last sentence.
    request("STREAM\t\t");
    EXPECT_TRUE(synthesis.calls("prosody").empty());
    EXPECT_EQ(last_reply().type, ReplyType::Audio);
    EXPECT_TRUE(last_reply().samples.empty());
    synthesis.fail_prosody = true;
    request("STREAM\t\tdrugi stavek");
    EXPECT_TRUE(synthesis.calls("memory").empty());
    EXPECT_TRUE(last_reply().samples.empty());
    request("SINT\t\tdrugi stavek");
    EXPECT_TRUE(synthesis.calls("file").empty());
}

TEST_F(ProtocolCommands, PayloadsWithoutNulOrWithEveryByteValue) {
    protocol.handle(kSocket, "TEST\t\t",
                    [this](int s, const std::vector<std::uint8_t>& p, std::uint16_t k) {
                        sent.push_back({s, p, k});
                        return true;
                    });
    EXPECT_EQ(sent.size(), 1u);
    std::string all;
    for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
    request("STREAM\t\t" + all);
    request(all);
    EXPECT_EQ(sent.size(), 2u);
}

TEST_F(ProtocolCommands, ARestrictedServerRefusesFilesAndControl) {
    protocol.restrict_control(true);
    request("TERMINATE\t\t");
    EXPECT_EQ(last_reply().type, ReplyType::NotReady);  // not "SINT_E_": nothing ends
    EXPECT_FALSE(shell.stop_requested());
    request("REINIT\t\tother.ini");
    std::string list;
    EXPECT_FALSE(shell.take_reload(list));
    request("SINT\tx.wav\tDober dan.");
    EXPECT_TRUE(synthesis.calls("file").empty());
    // Speech, sentence ends, settings and STOP still work.
    request("STREAM\t\tDober dan.");
    EXPECT_EQ(last_reply().type, ReplyType::Audio);
    request("GFP\t\tDober dan.");
    EXPECT_EQ(last_reply().type, ReplyType::SentenceEnd);
    request("STOP\t\t");
    EXPECT_EQ(last_reply().type, ReplyType::End);
}

TEST(ProtocolParsing, OnlyLoopbackAddressesAreLocal) {
    const std::pair<const char*, bool> cases[] = {
        {"127.0.0.1", true},    {"127.1.2.3", true},   {"0.0.0.0", false}, {"10.0.0.1", false},
        {"192.168.1.5", false}, {"localhost", false},  {"", false},        {"127.0.0", false},
        {"127.0.0.256", false}, {"127.0.0.1x", false},
    };
    for (const auto& [address, loopback] : cases)
        EXPECT_EQ(is_loopback_address(address), loopback) << address;
}

}  // namespace
}  // namespace sint
