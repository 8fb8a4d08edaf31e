#pragma once
// The far end of a real pseudo-terminal, played by the test: the code under
// test opens SlavePath() as its port, and the test reads what it sent and
// writes what the "modem" answers, byte for byte.

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class PtyPeer {
public:
    // raw: set the terminal raw before the port is opened, as a modem
    // simulator does; false leaves the system's cooked defaults.
    explicit PtyPeer(bool raw = true);
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_master; }
    int SlaveFd() const { return m_slave; }

    void Write(std::string_view bytes);
    // Everything that arrives within ms milliseconds.
    std::string ReadFor(int ms);
    // Reads until the text has arrived or timeoutMs passed; returns all read.
    std::string ReadUntil(std::string_view text, int timeoutMs);

    // Answers commands in the background: every CR-terminated command is
    // recorded and handed to answer, whose result is written back.
    void Respond(std::function<std::string(const std::string& command)> answer);
    void StopResponding();
    // The bytes received while responding, in order.
    std::string Received();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::thread m_responder;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::string m_received;
};

// Milliseconds since start.
inline long long ElapsedMs(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}
