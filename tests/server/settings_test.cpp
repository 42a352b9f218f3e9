#include <gtest/gtest.h>

#include "core/log.h"
#include "core/profile_file.h"
#include "server/server_settings.h"
#include "tests/support/temp_dir.h"

namespace sint {
namespace {

using sint::test::TempDir;

const char* kFullIni =
    "ini_mikro = m.ini\r\n"
    "ini_makro=k.ini\r\n"
    "ini_gfp = g.ini \r\n"
    "dct_dir = slovarji\\\r\n"
    "stat_dir = stat\r\n"
    "log_dir = logs/\r\n"
    "port = 0x2000\r\n"
    "dovoli_nesifrirane_slovarje = true\r\n"
    "sumniki_z_narekovaji = yes\r\n"
    "vzorci_v_pomnilniku = TRUE \r\n"
    "dovoli_uporabniske_slovarje = true\r\n"
    "SMS_delovanje = true\r\n"
    "veckratni_zagon = true\r\n"
    "pisi_dnevnik = FALSE\r\n";

class SettingsTest : public ::testing::Test {
protected:
    void read(std::string_view ini) {
        settings_.config_path = dir_.write("sint.ini", ini);
        clear_error();
        profile_ = read_sint_ini(settings_);
    }
    void TearDown() override {
        set_log_disabled(true);
        set_log_path("sint.log");
    }
    TempDir dir_;
    ServerSettings settings_;
    std::unique_ptr<ProfileFile> profile_;
};

TEST_F(SettingsTest, ReadsEveryKey) {
    read(kFullIni);
    ASSERT_TRUE(profile_->is_loaded());
    EXPECT_FALSE(error_flag()) << last_error();
    EXPECT_EQ(settings_.mikro_profile, "m.ini");
    EXPECT_EQ(settings_.makro_profile, "k.ini");
    EXPECT_EQ(settings_.gfp_profile, "g.ini");
    EXPECT_EQ(settings_.dictionary_dir, "slovarji/");
    EXPECT_EQ(settings_.statistics_dir, "stat/");
    EXPECT_EQ(settings_.log_dir, "logs/");
    EXPECT_EQ(settings_.port, 0x2000);
    EXPECT_FALSE(settings_.dictionaries_scrambled);
    EXPECT_TRUE(settings_.sibilants_with_quotes);  // any value but "false"
    EXPECT_TRUE(settings_.samples_in_memory);      // trimmed and lower-cased
    EXPECT_FALSE(settings_.fast_start);
    EXPECT_TRUE(settings_.sms_mode);
    EXPECT_FALSE(settings_.single_instance);
    EXPECT_TRUE(settings_.log_disabled);
    EXPECT_EQ(log_path(), "logs/sint.log");
}

TEST_F(SettingsTest, MissingFileAndMissingPathKey) {
    settings_.config_path = dir_.file("absent.ini");
    clear_error();
    profile_ = read_sint_ini(settings_);
    EXPECT_EQ(last_error(), "Ni inicializacijske datoteke (SINT.INI)");

    // Without ini_gfp reading stops there: later paths, the port and the flags
    // keep their initial values.
    read("ini_mikro=m\nini_makro=k\ndct_dir=d\nport=5\npisi_dnevnik=true\n");
    EXPECT_EQ(last_error(), "Napaka: Sint_locat (ini_gfp)");
    EXPECT_EQ(settings_.makro_profile, "k");
    EXPECT_EQ(settings_.dictionary_dir, "");
    EXPECT_EQ(settings_.port, 0);
    EXPECT_TRUE(settings_.log_disabled);
}

TEST_F(SettingsTest, MissingPortUsesTheDefault) {
    read("ini_mikro=m\nini_makro=k\nini_gfp=g\ndct_dir=d\\\nstat_dir=s/\nlog_dir=\n");
    EXPECT_EQ(last_error(), "Napaka: Port ni podan. Privzeta vrdnost 10150\n");
    EXPECT_EQ(settings_.port, kDefaultPort);
    EXPECT_EQ(settings_.dictionary_dir, "d/");  // one final separator, either way written
    EXPECT_EQ(settings_.statistics_dir, "s/");
    EXPECT_EQ(settings_.log_dir, "");  // empty stays the current folder, not "/"
}

TEST_F(SettingsTest, YesNoValues) {
    const std::string head =
        "ini_mikro=m\nini_makro=k\nini_gfp=g\ndct_dir=d\nstat_dir=s\n"
        "log_dir=" +
        dir_.path().string() + "\nport=1\n";
    read(head + "pisi_dnevnik = TRUE \n");
    EXPECT_FALSE(settings_.log_disabled);
    EXPECT_FALSE(log_disabled());

    ServerSettings fresh;
    settings_.log_disabled = true;
    read(head + "pisi_dnevnik = yes\nSMS_delovanje=\nsumniki_z_narekovaji = False\n");
    EXPECT_TRUE(settings_.log_disabled);  // "yes" leaves it as it was
    EXPECT_EQ(settings_.sms_mode, fresh.sms_mode);
    EXPECT_FALSE(settings_.sibilants_with_quotes);
}

TEST(CommandLine, Options) {
    struct Case {
        std::vector<std::string> args;
        std::int32_t lifespan;
        bool fast_start, in_memory, background, seven_bit, create, read_test;
    } cases[] = {
        {{}, 600, true, false, true, false, false, false},
        {{"-lifespan", "10"}, 10, true, false, true, false, false, false},
        {{"-lifespan", "0", "-konzola"}, 600, true, false, false, false, false, false},
        {{"-lifespan", "-konzola"}, 600, true, false, false, false, false, false},
        {{"-konzola", "-lifespan"}, 600, true, false, false, false, false, false},
        {{"-lifespan", "25abc"}, 25, true, false, true, false, false, false},
        {{"-pocasi", "-hitro"}, 600, true, false, true, false, false, false},
        {{"-hitro", "-pocasi", "-ram"}, 600, false, true, true, false, false, false},
        {{"-testbranja", "-disk"}, 600, true, true, true, false, false, true},
        {{"-konzola", "-vozadju", "-yuascii"}, 600, true, false, true, true, false, false},
        {{"-KONZOLA", "-ascii7", "-ustvaripodatke"}, 600, true, false, true, true, true, false},
    };
    for (const Case& c : cases) {
        ServerSettings s;
        parse_command_line(s, c.args);
        std::string name;
        for (const auto& a : c.args) name += a + " ";
        EXPECT_EQ(s.lifespan, c.lifespan) << name;
        EXPECT_EQ(s.fast_start, c.fast_start) << name;
        EXPECT_EQ(s.samples_in_memory, c.in_memory) << name;
        EXPECT_EQ(s.background, c.background) << name;
        EXPECT_EQ(s.seven_bit_input, c.seven_bit) << name;
        EXPECT_EQ(s.create_data, c.create) << name;
        EXPECT_EQ(s.read_test, c.read_test) << name;
    }
}

}  // namespace
}  // namespace sint
