#include "ports/ModemScan.h"

#include "base/UserInterface.h"
#include "ports/PortTable.h"
#include "ports/platform/DeviceSource.h"
#include "ports/platform/Registry.h"
#include "resources/StringTable.h"
#include "serial/PortDiagnosis.h"

#include <thread>
#include <vector>

namespace {

// A grey row whose port another program holds, or that this user may not
// open, says so at its end ("in use by minicom (pid 4242)", "no permission:
// group dialout"): the person can do something about those. Other rows stay
// as they are.
void SayWhyNoModem(PortEntry& row)
{
    if (row.portName.empty())
        return;
    const std::string why = DiagnosePort(row.portName).brief;
    if (why.rfind("in use", 0) == 0 || why.rfind("no permission", 0) == 0)
        row.displayText += " (" + why + ")";
}

// Probes the rows at the same time, each on a thread of its own, marking
// those where a modem answered; an empty row is skipped (it fails at once).
// The notice names every row meanwhile.
void ProbeRowsAtOnce(ScanUi& ui, PortEntry* rows, std::size_t count, const modem_protocol::LineTimeLimits& limits)
{
    std::string names;
    for (std::size_t i = 0; i < count; ++i)
        names += " " + rows[i].portName;
    ui.SetSearchNoticeText(names);
    std::vector<std::thread> probes;
    for (std::size_t i = 0; i < count; ++i) {
        rows[i].identification.clear();
        if (rows[i].portName.empty())
            continue;
        probes.emplace_back([&row = rows[i], &limits] {
            if (modem_scan::ProbeModem(row.portName, row.identification, limits) == 1)
                row.modemFound = 1;
        });
    }
    for (std::thread& probe : probes)
        probe.join();
}

// Probes every listed row at the same time; the rows that could not be
// tried are marked in table order once all have answered or given up.
bool ProbeAllAtOnce(ScanUi& ui, const modem_protocol::LineTimeLimits& limits)
{
    ProbeRowsAtOnce(ui, PortTable, MAX_PORTS, limits);

    bool found = false;
    for (PortEntry& row : PortTable) {
        if (row.modemFound)
            found = true;
        else
            SayWhyNoModem(row);
    }
    return found;
}

// Probes every row of the freshly listed PortTable under the search notice.
int ProbeListedPorts(ScanUi& ui, const modem_protocol::LineTimeLimits& limits)
{
    ui.ShowSearchNotice();
    ui.SetSearchNoticeText("");

    bool found = false;
    if (ui.ProbesAllAtOnce()) {
        found = ProbeAllAtOnce(ui, limits);
    } else {
        // Every row is probed, empty ones included (they fail at once), and
        // every modem that answers is marked, not only the first.
        for (PortEntry& row : PortTable) {
            std::string name = row.portName;
            ui.SetSearchNoticeText(ui.SearchNoticeText() + " " + name);
            row.identification.clear();
            if (modem_scan::ProbeModem(name, row.identification, limits) == 1) {
                row.modemFound = 1;
                found = true;
            } else {
                SayWhyNoModem(row);
            }
        }
    }
    ui.CloseSearchNotice();

    if (found)
        return 1;
    ui.ShowMessage(kApplicationName, LoadResString(IDS_NO_PORT_AVAILABLE), MsgIcon::Warning);
    return 0;
}

}  // namespace

std::vector<PortEntry> modem_scan::ScanAllPorts(ScanUi& ui, const modem_protocol::LineTimeLimits& limits)
{
#ifdef _WIN32
    std::vector<PortEntry> ports = ListAllPorts(SystemRegistry());
#else
    std::unique_ptr<DeviceSource> devices = SystemDeviceSource();
    std::vector<PortEntry> ports = ListAllPorts(*devices);
#endif
    ui.ShowSearchNotice();
    ProbeRowsAtOnce(ui, ports.data(), ports.size(), limits);
    ui.CloseSearchNotice();
    return ports;
}

int modem_scan::ScanForModems(ScanUi& ui)
{
#ifdef _WIN32
    return ScanForModems(ui, SystemRegistry());
#else
    std::unique_ptr<DeviceSource> devices = SystemDeviceSource();
    return ScanForModems(ui, *devices);
#endif
}

#ifndef _WIN32
int modem_scan::ScanForModems(ScanUi& ui, DeviceSource& devices, const modem_protocol::LineTimeLimits& limits)
{
    EnumComPorts(devices);
    return ProbeListedPorts(ui, limits);
}
#endif

int modem_scan::ScanForModems(ScanUi& ui, RegistryAccess& registry, const modem_protocol::LineTimeLimits& limits)
{
    EnumComPorts(registry);
    return ProbeListedPorts(ui, limits);
}
