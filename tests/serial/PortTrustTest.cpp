// Only a port directory that is the user's alone names ports: a COM name
// that another user could have redirected leads nowhere, and says why.

#include "app/LoaderApp.h"
#include "serial/PortDiagnosis.h"
#include "serial/PortNames.h"
#include "tests/support/ScriptedModem.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PortTrustTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("FLASHLOADER_PORTS", ports.c_str(), 1); }
    void TearDown() override { ::unsetenv("FLASHLOADER_PORTS"); }

    struct Case {
        mode_t mode;
        uid_t directoryOwner, entryOwner;
        std::string refusal;  // "<dir>" stands for the directory; empty: COM2 reaches the modem
    };
    // COM2 leads to a modem that would answer: it must be reached exactly
    // when nothing is refused.
    void Check(const Case& c)
    {
        std::filesystem::remove_all(ports);
        ASSERT_EQ(::mkdir(ports.c_str(), 0700), 0);
        ScriptedModem modem(FullModem("KT-56 Bench"));
        ASSERT_EQ(::symlink(modem.Path().c_str(), (ports + "/COM2").c_str()), 0);
        ASSERT_EQ(::lchown((ports + "/COM2").c_str(), c.entryOwner, static_cast<gid_t>(-1)), 0);
        ASSERT_EQ(::chown(ports.c_str(), c.directoryOwner, static_cast<gid_t>(-1)), 0);
        ASSERT_EQ(::chmod(ports.c_str(), c.mode), 0);
        std::string refusal = c.refusal;
        for (std::size_t at; (at = refusal.find("<dir>")) != std::string::npos;)
            refusal.replace(at, 5, ports);
        SCOPED_TRACE(refusal);

        EXPECT_EQ(PortNameRefusal("COM2"), refusal);
        EXPECT_EQ(ResolvePortDevice("COM2"), refusal.empty() ? ports + "/COM2" : "");
        EXPECT_EQ(DescribePortProblem("COM2"), refusal);
        std::string identification;
        EXPECT_EQ(CLoaderApp::ProbeModem("COM2", identification), refusal.empty() ? 1 : 0);
        EXPECT_EQ(modem.Received().empty(), !refusal.empty());
        // A directory that others may write does not say that COM5 has no
        // entry either.
        bool directoryRefused = refusal.rfind("The port directory", 0) == 0;
        EXPECT_EQ(ResolvePortDevice("COM5"), directoryRefused ? "" : "/dev/ttyS4");
    }

    ScopedTempDir dir;
    std::string ports = dir.File("ports");
    const uid_t self = ::geteuid();
};

const std::string kOthersMayWrite = "The port directory <dir> may be written by other users, so its COM names cannot "
                                    "be trusted: make it yours alone with \"chmod go-w <dir>\".";

TEST_F(PortTrustTest, ADirectoryOthersMayWriteNamesNoPort)
{
    const Case cases[] = {
        {0700, self, self, ""},
        {0755, self, self, ""},
        {0777, self, self, kOthersMayWrite},
        {0770, self, self, kOthersMayWrite},
        {01777, self, self, ""},  // sticky: nobody else may rename or remove the user's entries
    };
    for (const Case& c : cases)
        Check(c);
}

// Whoever may change a folder above could put a directory of their own in
// the port directory's place.
TEST_F(PortTrustTest, AFolderAboveThatOthersMayWriteNamesNoPort)
{
    ASSERT_EQ(::mkdir(ports.c_str(), 0700), 0);
    const struct {
        mode_t mode;
        bool refused;
    } cases[] = {{0777, true}, {0775, true}, {01777, false}, {0755, false}};
    for (const auto& c : cases) {
        ASSERT_EQ(::chmod(dir.Path().c_str(), c.mode), 0);
        const std::string refusal = PortNameRefusal("COM2");
        EXPECT_EQ(refusal, c.refused ? "The folder " + dir.Path() + " above the port directory " + ports +
                                           " may be written by other users, so its COM names cannot be trusted: set "
                                           "FLASHLOADER_PORTS to a directory in folders only you and root may change."
                                     : "");
        EXPECT_EQ(ResolvePortDevice("COM2").empty(), c.refused);
    }
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0700), 0);
}

TEST_F(PortTrustTest, EntriesAndDirectoriesOfAnotherUserNameNoPort)
{
    if (self != 0)
        GTEST_SKIP() << "needs root, to give the directory and its entries to the user nobody";
    const std::string foreignEntry =
        "COM2 in <dir> belongs to another user (uid 65534): remove it (rm <dir>/COM2) so the scan can name the port again.";
    const Case cases[] = {
        {01777, 0, 65534, foreignEntry},
        {0755, 0, 65534, foreignEntry},
        {0755, 65534, 0,
         "The port directory <dir> belongs to another user (uid 65534), so its COM names cannot be trusted: make it "
         "yours with \"sudo chown $USER <dir>\" or set FLASHLOADER_PORTS to a directory of your own."},
    };
    for (const Case& c : cases)
        Check(c);
}

}  // namespace
