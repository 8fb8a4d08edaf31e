#pragma once
// The pseudo-terminal the simulated modem sits on, and its entry in the
// port directory.
//
// The modem side is the master end. The terminal end is what a client opens
// as its serial device; the host keeps a descriptor of it open for its whole
// life, so that a client closing the device neither hangs up the master nor
// loses the line settings, and a client that opens it later finds it raw.

#include <string>

class PtyHost {
public:
    PtyHost() = default;
    ~PtyHost();
    PtyHost(const PtyHost&) = delete;
    PtyHost& operator=(const PtyHost&) = delete;

    // Creates the pseudo-terminal: master non-blocking, terminal end raw.
    bool Open(std::string& error);

    int MasterFd() const { return m_master; }
    // The terminal end's device, /dev/pts/N.
    const std::string& DevicePath() const { return m_device; }

    enum class Registration { Done, Taken, Failed };

    // Makes the port directory entry COMn a symbolic link to the device. An
    // entry that leads to something existing is taken unless replace is
    // set; a dangling one is a leftover and gets replaced.
    Registration Register(int portNumber, bool replace, std::string& error);

    // Removes the entry, but only while it still leads to this device: a
    // later simulator may have taken the name over.
    void Unregister();

    const std::string& EntryPath() const { return m_entry; }

private:
    int m_master = -1;
    int m_terminal = -1;
    std::string m_device;
    std::string m_entry;
};
