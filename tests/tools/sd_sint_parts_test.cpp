// The parts of sd_sint that need no process: its configuration, the audio
// event's escaping, and what keys and characters are spoken as.
#include <gtest/gtest.h>

#include <string>

#include "tools/sd_sint/key_names.h"
#include "tools/sd_sint/module_config.h"
#include "tools/sd_sint/module_output.h"

namespace sint {
namespace {

TEST(SdSintConfig, KeysSetTheirFieldsAndBadLinesAreListed) {
    const ModuleConfig config = parse_module_config(
        "# sint.conf\n"
        "SintServer \"/opt/sint/sintsrv\"\n"
        "SintPort 10151\r\n"
        "SintLifespan 50\n"
        "SintRate -20\nSintPitch 30\nSintVolume 40\n"
        "SintLogFile \"/tmp/sd sint.log\"\n"
        "SintPort 70000\nSintRate fast\nSintNonsense 1\n"
        "SintMaxSpeed 4.5\nSintMaxSpeed 9\n");
    EXPECT_EQ(config.server_path, "/opt/sint/sintsrv");
    EXPECT_EQ(config.port, 10151);
    EXPECT_EQ(config.lifespan, 50);
    EXPECT_EQ(config.voice.rate, -20);
    EXPECT_EQ(config.voice.pitch, 30);
    EXPECT_EQ(config.voice.volume, 40);
    EXPECT_EQ(config.log_file, "/tmp/sd sint.log");
    EXPECT_EQ(config.voice.max_speed, 4.5);
    EXPECT_EQ(config.problems,
              (std::vector<std::string>{"line 9: SintPort takes a port number",
                                        "line 10: SintRate takes a number from -100 to 100",
                                        "line 11: unknown key SintNonsense",
                                        "line 13: SintMaxSpeed takes a speed factor from 1 to 6"}));
    EXPECT_EQ(read_module_config("/nonexistent/sint.conf").problems.size(), 1u);
}

TEST(SdSintConfig, VoicesNeedANameOfTheirOwnAndAFolder) {
    const ModuleConfig config = parse_module_config(
        "SintVoice \"ana\" \"/srv/voices/ana\"\n"
        "SintVoice  \"bor\"\t\"/srv/my voices/bor/\"\n"
        "SintVoice \"ana\" \"/elsewhere\"\n"   // a name taken
        "SintVoice \"sint\" \"/elsewhere\"\n"  // the default voice's name
        "SintVoice \"two words\" \"/x\"\n"
        "SintVoice \"cene\"\n"
        "SintVoice cene /x\n");
    ASSERT_EQ(config.voices.size(), 2u);
    EXPECT_EQ(config.voices[0].name, "ana");
    EXPECT_EQ(config.voices[0].folder, "/srv/voices/ana");
    EXPECT_EQ(config.voices[1].folder, "/srv/my voices/bor/");
    EXPECT_EQ(config.problems.size(), 5u);
}

TEST(SdSintOutput, AudioBytesAreEscaped) {
    // 0x0A and 0x7D are sent as 0x7D and the byte with bit 5 inverted.
    const std::int16_t samples[] = {0x0A7D, 0x0141, static_cast<std::int16_t>(0x7D0A)};
    const std::string event = audio_event(samples);
    const std::string head =
        "705-bits=16\n705-num_channels=1\n705-sample_rate=16000\n705-num_samples=3\n"
        "705-big_endian=0\n705-AUDIO";
    ASSERT_EQ(event.substr(0, head.size()), head);
    EXPECT_EQ(event.substr(head.size()), std::string("\0\x7D\x5D\x7D\x2A\x41\x01\x7D\x2A\x7D\x5D"
                                                     "\n705 AUDIO\n",
                                                     22));
}

TEST(SdSintKeys, KeysAndCharactersBecomeWordsOrLetters) {
    VoiceParams voice;
    voice.symbol_names =
        std::make_shared<const SymbolNames>(std::string(SINT_SOURCE_DIR) + "/voice/simboli.ini");
    const auto texts = [](const std::vector<PlanItem>& plan) {
        std::string out;
        for (const PlanItem& item : plan) out += (item.spell ? "'" : "") + item.text + ";";
        return out;
    };
    const std::pair<const char*, const char*> keys[] = {
        {"a", "'a;"},
        {"shift_a",
         "\x9a"
         "ift;'a;"},
        {"control_alt_delete", "kontrol;alt;bri\x9ai;"},
        {"_", "'_;"},
        {"underscore", "'_;"},
        {"shift__",
         "\x9a"
         "ift;'_;"},
        {"f12", "ef 12;"},
        {"kp-enter", "\x9atevil\xe8nica;enter;"},
        {"space", "presledek;"},
        {"xyz", "xyz;"},
    };
    for (const auto& [key, expected] : keys)
        EXPECT_EQ(texts(key_plan(key, voice)), expected) << key;
    EXPECT_EQ(texts(character_plan("\xc5\xa1", voice)), "'\x9a;");  // š
    EXPECT_EQ(texts(character_plan("space", voice)), "presledek;");
    EXPECT_TRUE(character_plan("", voice).empty());
    EXPECT_EQ(icon_beep(voice).size(), static_cast<std::size_t>(kIconBeepMs * 16));
}

}  // namespace
}  // namespace sint
