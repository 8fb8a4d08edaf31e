// A port, named by a COM entry or by its path, that leads to something other
// than a terminal device.

#include "serial/PortDiagnosis.h"
#include "serial/PortNames.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

namespace sp = serial_platform;

class PortKindTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("FLASHLOADER_PORTS", ports.Path().c_str(), 1); }
    void TearDown() override { ::unsetenv("FLASHLOADER_PORTS"); }
    ScopedTempDir dir, ports;
};

// Named by a COM entry or by path, a file that is no terminal is said to be
// what it is, before any terminal call goes to it.
TEST_F(PortKindTest, APortThatIsNoSerialPortIsSaidToBeWhatItIs)
{
    std::string file = dir.File("file"), fifo = dir.File("fifo"), socketPath = dir.File("socket");
    WriteFileBytes(file, "");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::symlink(fifo.c_str(), ports.File("COM3").c_str()), 0);

    const struct {
        std::string port, said;
    } cases[] = {
        {file, file + " is not a serial port: it is a regular file."},
        {fifo, fifo + " is not a serial port: it is a FIFO."},
        {"COM3", "COM3 (" + fifo + ") is not a serial port: it is a FIFO."},
        {dir.Path(), dir.Path() + " is not a serial port: it is a directory."},
        {socketPath, socketPath + " is not a serial port: it is a socket."},
        {"/dev/null", "/dev/null is not a serial port: it is a device that is not a terminal."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribePortProblem(c.port), c.said);
        sp::PortHandle handle = sp::kInvalidPort;
        EXPECT_EQ(sp::OpenDevice(ResolvePortDevice(c.port), handle), sp::OpenResult::NotASerialPort) << c.port;
        EXPECT_EQ(handle, sp::kInvalidPort) << c.port;
    }
    ::close(listener);
}

}  // namespace
