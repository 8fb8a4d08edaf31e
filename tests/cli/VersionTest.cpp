// Every program of the Linux build answers --version with its name and the
// project's version, on standard output, and ends there.

#include "base/Version.h"
#include "tests/support/Process.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

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

}  // namespace
