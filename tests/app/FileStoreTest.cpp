// Reading and storing the program's files where other users, FIFOs and
// links may be waiting: nothing blocks, nothing is written through a link
// that someone else planted, and every refusal says what the path is.

#include "base/Paths.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

TEST(ReadRegularFileTest, SaysWhatAPathIsInsteadOfAFileAndNeverWaits)
{
    ScopedTempDir dir;
    WriteFileBytes(dir.File("file"), "0123456789");
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0700), 0);
    const struct {
        std::string path;
        std::size_t max;
        FileContents::Result result;
        std::string what;
        std::string bytes;
    } cases[] = {
        {dir.File("file"), 64, FileContents::Ok, "", "0123456789"},
        {dir.File("file"), 4, FileContents::TooLarge, "", "0123"},
        {dir.File("fifo"), 64, FileContents::NotAFile, "a FIFO", ""},  // no writer: open() would wait
        {dir.File("folder"), 64, FileContents::NotAFile, "a directory", ""},
        {"/dev/null", 64, FileContents::NotAFile, "a device", ""},
        {dir.File("missing"), 64, FileContents::OpenFailed, "No such file or directory", ""},
        {dir.File("file/below"), 64, FileContents::OpenFailed, "Not a directory", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        FileContents contents = ReadRegularFile(c.path, c.max);
        EXPECT_EQ(contents.result, c.result);
        EXPECT_EQ(contents.what, c.what);
        EXPECT_EQ(contents.bytes, c.bytes);
        EXPECT_EQ(contents.absent, c.result == FileContents::OpenFailed);  // nothing is there
    }
}

TEST(StoreTest, RefusesWhatIsNoFileBeforeTheModemIsTouched)
{
    ScopedTempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0700), 0);
    const struct {
        std::string path;
        std::string why;
    } cases[] = {
        {dir.File("fifo"), dir.File("fifo") + " is a FIFO, not a file"},
        {dir.File("folder"), dir.File("folder") + " is a directory, not a file"},
        {dir.File("missing/report.json"), "No file can be made in " + dir.File("missing") + ": No such file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string why, stored;
        EXPECT_FALSE(CanWriteFileAtomically(c.path, why));
        EXPECT_EQ(why.rfind(c.why, 0), 0u) << why;
        EXPECT_FALSE(WriteFileAtomically(c.path, "x", 1, &stored));
        EXPECT_EQ(stored, why);
    }
    std::string why;
    EXPECT_TRUE(CanWriteFileAtomically(dir.File("report.json"), why)) << why;
    EXPECT_EQ(ListDirectory(dir.Path()).size(), 2u);  // the trial file is gone again
}

// A link in a sticky folder that everybody may write (/tmp) is followed
// only where the kernel's protected-symlinks rule would follow it.
TEST(StoreTest, FollowsOnlyTheLinksThatTheSystemItselfWould)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to make links and folders of the user nobody";
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ScopedTempDir dir;
    WriteFileBytes(dir.File("precious"), "root's own");
    ASSERT_EQ(::chmod(dir.File("precious").c_str(), 0600), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);

    const struct {
        const char* name;
        mode_t folderMode;
        bool folderIsNobodys;
        bool linkIsNobodys;
        bool followed;
    } cases[] = {
        {"another user's link in a shared sticky folder", 01777, false, true, false},
        {"our own link there", 01777, false, false, true},
        {"the link of the sticky folder's owner", 01777, true, true, true},
        {"another user's link in a folder without the sticky bit", 0777, false, true, true},
        {"another user's link in a sticky folder only its owner may write", 01755, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(dir.File("precious"), "root's own");
        const std::string shared = dir.File("shared");
        ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
        ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);
        if (c.folderIsNobodys) {
            ASSERT_EQ(::chown(shared.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        }
        const std::string link = shared + "/flash-report.json";
        ASSERT_EQ(::symlink(dir.File("precious").c_str(), link.c_str()), 0);
        if (c.linkIsNobodys) {
            ASSERT_EQ(::lchown(link.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        }

        std::string why;
        EXPECT_EQ(WriteFileAtomically(link, "report", 6, &why), c.followed) << why;
        EXPECT_EQ(ReadFileBytes(dir.File("precious")), c.followed ? "report" : "root's own");
        if (!c.followed) {
            EXPECT_NE(why.find(link + " is a symbolic link that another user"), std::string::npos) << why;
            struct stat info {};
            EXPECT_EQ(::lstat(link.c_str(), &info), 0);
            EXPECT_TRUE(S_ISLNK(info.st_mode));  // left as it was
            std::string asked;
            EXPECT_FALSE(CanWriteFileAtomically(link, asked));
            EXPECT_EQ(asked, why);
        }
        ::unlink(link.c_str());
        ::rmdir(shared.c_str());
    }
}

}  // namespace

namespace {

// Benches that share one log append at the same time: every record is
// there whole, none split by another's, whatever their sizes. Records are
// larger than a pipe's atomic size and than stdio's buffer.
TEST(AppendWholeTest, RecordsAppendedByManyProcessesAtOnceStayWhole)
{
    ScopedTempDir dir;
    const std::string log = dir.File("units.jsonl");
    constexpr int kWriters = 6, kRecords = 150;
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int r = 0; r < kRecords; ++r) {
                const std::string record = std::to_string(w) + ":" + std::string(3000 + 997 * (r % 7), 'a' + w) + "\n";
                std::string why;
                ok = AppendWhole(log, record, why) && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        writers.push_back(pid);
    }
    for (pid_t pid : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::istringstream lines(ReadFileBytes(log));
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        ASSERT_GE(line.size(), 2u);
        const char writer = line[0];
        EXPECT_EQ(line[1], ':');
        EXPECT_EQ(line.find_first_not_of(static_cast<char>('a' + (writer - '0')), 2), std::string::npos)
            << "a record mixed with another at line " << count;
    }
    EXPECT_EQ(count, kWriters * kRecords);

    // What is no file is refused without waiting; a record is never half made.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    std::string why;
    EXPECT_FALSE(AppendWhole(dir.File("fifo"), "x\n", why));
    EXPECT_EQ(why, dir.File("fifo") + " is a FIFO, not a file that records can be appended to.");
    EXPECT_FALSE(AppendWhole("/dev/null", "x\n", why));
    EXPECT_TRUE(AppendWhole(dir.File("new.jsonl"), "", why, true));
    EXPECT_TRUE(FileExists(dir.File("new.jsonl")));
}

}  // namespace
