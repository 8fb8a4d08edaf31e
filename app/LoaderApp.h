#pragma once
// The application object. Its whole life is one start-up routine: every
// window it shows is modal and runs inside StartUp, and when StartUp returns
// the program ends.

#include "base/UserInterface.h"
#include "serial/ModemProtocol.h"

#include <string>
#include <string_view>

class DeviceSource;
class RegistryAccess;

class CLoaderApp {
public:
    explicit CLoaderApp(StartupUi& ui) : m_ui(ui) {}

    // Classifies the command line, loads the last selection unless the
    // command line gave one, reads the settings file (ending the program
    // without it), runs the confirmation window first in developer mode,
    // then the wizard, and stores the selection. Always false: there is no
    // message loop to enter afterwards.
    bool StartUp(std::string_view argumentText);

    StartupUi& Ui() { return m_ui; }

    // The modem handshake at 57600 baud on one port: 1 when a supported
    // modem answered all of it, with its identification text set; 0 when
    // not, or when the port cannot be used (identification untouched).
    // The port is open only during the call. limits: the time each answer
    // is given, the line's own unless a test drives a far end of its own.
    // (The probe and the scan are those of ports/ModemScan.h.)
    static int ProbeModem(std::string_view portName, std::string& identification,
                          const modem_protocol::LineTimeLimits& limits = {});

    // The identification in an answer to ATI with echo: the echoed "ATI" and
    // its CR and the line end after it (6 bytes), the text, two line ends (4
    // bytes) and "OK". Without the echo the cut comes out empty.
    static std::string CutIdentification(std::string_view reply);

    // Lists the ports into PortTable and probes every row under the search
    // notice, marking those where a modem answered. 1 when at least one
    // did; 0 after telling the person that none did. The ports come from
    // the system's device registry: udev and the port directory on Linux,
    // the system registry on Windows. limits: as for ProbeModem.
    static int ScanForModems(ScanUi& ui);
#ifndef _WIN32
    static int ScanForModems(ScanUi& ui, DeviceSource& devices, const modem_protocol::LineTimeLimits& limits = {});
#endif
    static int ScanForModems(ScanUi& ui, RegistryAccess& registry, const modem_protocol::LineTimeLimits& limits = {});

private:
    StartupUi& m_ui;
};
