// sint-dbinfo run as a voice author runs it, on a synthetic voice.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/voice_fixture.h"

namespace sint {
namespace {

class DbInfoTest : public test::VoiceTest {
protected:
    // Runs the tool with `args`; returns its exit status and sets `out`.
    int run(const std::string& args, std::string& out) {
        const std::string output = dir_.file("out.txt");
        const std::string command = std::string(SINT_PROGRAM_DIR) + "/sint-dbinfo --dir " +
                                    dir_.path().string() + " " + args + " >" + output + " 2>&1";
        const int status = std::system(command.c_str());
        out = test::TempDir::read(output);
        return WEXITSTATUS(status);
    }
};

TEST_F(DbInfoTest, ListsAlophonesAndMissingDiphones) {
    add_recording(test::mama_recording());
    std::string out;
    ASSERT_EQ(run("--list " + list_file() + " --missing '_ m a: m O _'", out), 0) << out;
    EXPECT_NE(out.find("6 alophones"), std::string::npos) << out;
    EXPECT_NE(out.find("\nm\t2\t22\t177\t177\t177\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\na:\t1\t30\t200\t200\t200\n"), std::string::npos) << out;
    EXPECT_NE(out.find("missing diphones: 2\nm O\nO _\n"), std::string::npos) << out;

    // The packed file gives the same table.
    {
        TTableSint db(options());
        ASSERT_EQ(db.build(list_file(), 1, 0), 0);
        ASSERT_TRUE(db.save_tables());
    }
    std::string packed;
    ASSERT_EQ(run("--packed", packed), 0) << packed;
    EXPECT_EQ(packed.substr(0, packed.find("missing")), out.substr(0, out.find("missing")));
}

TEST_F(DbInfoTest, FailuresExitNonZeroWithOneLine) {
    std::string out;
    EXPECT_EQ(run("--packed", out), 1);
    EXPECT_NE(out.find("sint-dbinfo: cannot load"), std::string::npos) << out;
    add_recording(test::mama_recording());
    EXPECT_EQ(run("--list " + list_file() + " --missing 'm x'", out), 1);
    EXPECT_NE(out.find("sint-dbinfo: \"x\" is no phone symbol"), std::string::npos) << out;
    EXPECT_EQ(run("--bogus", out), 1);
    EXPECT_EQ(run("--help", out), 0);
    EXPECT_NE(out.find("usage: sint-dbinfo"), std::string::npos);
}

}  // namespace
}  // namespace sint
