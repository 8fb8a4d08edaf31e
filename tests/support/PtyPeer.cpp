#include "tests/support/PtyPeer.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer(bool raw)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        throw std::runtime_error("cannot create a pseudo-terminal");
    m_slavePath = ::ptsname(m_master);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    // Keep a handle on the terminal end so that the port closing does not
    // hang the master up.
    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        throw std::runtime_error("cannot open the terminal end");
    if (raw) {
        termios tio{};
        ::tcgetattr(m_slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }
}

PtyPeer::~PtyPeer()
{
    StopResponding();
    ::close(m_slave);
    ::close(m_master);
}

void PtyPeer::Write(std::string_view bytes)
{
    // The master end is non-blocking: a port that stopped reading must not
    // hold the peer for ever. What cannot go out within two seconds, or once
    // the peer is told to stop, is dropped.
    auto start = std::chrono::steady_clock::now();
    while (!bytes.empty()) {
        ssize_t n = ::write(m_master, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            throw std::runtime_error("write to the pseudo-terminal failed");
        if (m_stop || ElapsedMs(start) > 2000)
            return;
        pollfd pfd{m_master, POLLOUT, 0};
        ::poll(&pfd, 1, 20);
    }
}

std::string PtyPeer::ReadFor(int ms) { return ReadUntil({}, ms); }

std::string PtyPeer::ReadUntil(std::string_view text, int timeoutMs)
{
    std::string got;
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (!text.empty() && got.find(text) != std::string::npos)
            return got;
        long long left = timeoutMs - ElapsedMs(start);
        if (left <= 0)
            return got;
        pollfd pfd{m_master, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left)) <= 0 || !(pfd.revents & POLLIN))
            continue;
        char buffer[4096];
        ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
    }
}

void PtyPeer::Respond(std::function<std::string(const std::string&)> answer)
{
    StopResponding();
    m_responder = std::thread([this, answer = std::move(answer)] {
        std::string line;
        while (!m_stop) {
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0 || !(pfd.revents & POLLIN))
                continue;
            char buffer[256];
            ssize_t n = ::read(m_master, buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) {
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_received += buffer[i];
                }
                line += buffer[i];
                if (buffer[i] == '\r') {
                    std::string reply = answer(line);
                    line.clear();
                    if (!reply.empty())
                        Write(reply);
                }
            }
        }
    });
}

void PtyPeer::StopResponding()
{
    m_stop = true;
    if (m_responder.joinable())
        m_responder.join();
    m_stop = false;
}

std::string PtyPeer::Received()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}
