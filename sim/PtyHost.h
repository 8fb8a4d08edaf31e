#pragma once
// The pseudo-terminal the simulated modem sits on, its entry in the port
// directory, and its COM port in a Wine prefix.
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

    // Makes link, a COM port of a Wine prefix (its dosdevices/comN), a
    // symbolic link to the device, so that Windows programs under Wine open
    // the modem as COMn. A link of that name is replaced whatever it leads
    // to: Wine makes com1 and up itself for the machine's serial devices.
    bool LinkWinePort(const std::string& link, std::string& error);

    // Removes the Wine link, but only while it still leads to this device.
    void UnlinkWinePort();

    const std::string& WineLinkPath() const { return m_wineLink; }

private:
    int m_master = -1;
    int m_terminal = -1;
    std::string m_device;
    std::string m_entry;
    std::string m_wineLink;
};
