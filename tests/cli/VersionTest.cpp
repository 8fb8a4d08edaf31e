// Every program of the Linux build answers --version with its name and the
// project's version, on standard output, and ends there.

#include "base/Version.h"
#include "tests/support/Process.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(VersionTest, EveryProgramNamesItselfAndTheProjectsVersion)
{
    for (const char* program : {"flashloader-cli", "modemsim", "flash-bench", "flash-soak", "flashloader"}) {
        SCOPED_TRACE(program);
        // In an empty folder without a display: the answer needs neither
        // settings nor a desktop, and nothing is written.
        ScopedTempDir dir;
        ProcessResult result = RunProcess(BuiltProgram(program), {"--version"}, dir.Path(), {"DISPLAY="});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, std::string(program) + " " + ProgramVersion() + "\n");
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(ListDirectory(dir.Path()).empty());
    }
}

// An answer that cannot be written whole (a full disk) is no success: a
// script must not take an empty or cut version or list for the real one.
TEST(VersionTest, AnAnswerThatCouldNotBeWrittenFails)
{
    const struct {
        const char* program;
        std::vector<std::string> args;
    } cases[] = {
        {"flashloader-cli", {"--version"}}, {"flashloader-cli", {"--help"}}, {"flashloader-cli", {"selection"}},
        {"modemsim", {"--version"}},        {"flash-bench", {"--version"}},  {"flash-soak", {"--help"}},
        {"flashloader", {"--version"}},     {"flashloader", {"--help"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.args.front());
        ScopedTempDir dir;
        std::vector<std::string> args = {"-c", "exec \"$0\" \"$@\" >/dev/full", BuiltProgram(c.program)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ProcessResult result = RunProcess("/bin/sh", args, dir.Path(), {"DISPLAY="});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find(std::string(c.program) + ": the output could not be written"), std::string::npos)
            << result.err;
    }
}

}  // namespace
