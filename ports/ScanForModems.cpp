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

// Probes every listed row at the same time, each on a thread of its own;
// the rows are marked in table order once all have answered or given up.
bool ProbeAllAtOnce(ScanUi& ui, const modem_protocol::LineTimeLimits& limits)
{
    std::string names;
    for (const PortEntry& row : PortTable)
        names += " " + row.portName;
    ui.SetSearchNoticeText(names);

    std::string identifications[MAX_PORTS];
    int answered[MAX_PORTS] = {};
    std::vector<std::thread> probes;
    for (int i = 0; i < MAX_PORTS; ++i) {
        if (PortTable[i].portName.empty())
            continue;  // an empty row fails at once
        probes.emplace_back([i, &identifications, &answered, &limits, name = PortTable[i].portName] {
            answered[i] = modem_scan::ProbeModem(name, identifications[i], limits);
        });
    }
    for (std::thread& probe : probes)
        probe.join();

    bool found = false;
    for (int i = 0; i < MAX_PORTS; ++i) {
        PortTable[i].identification.clear();
        if (answered[i] == 1) {
            PortTable[i].identification = identifications[i];
            PortTable[i].modemFound = 1;
            found = true;
        } else {
            SayWhyNoModem(PortTable[i]);
        }
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
    std::string names;
    for (const PortEntry& port : ports)
        names += " " + port.portName;
    ui.SetSearchNoticeText(names);
    std::vector<std::thread> probes;
    for (PortEntry& port : ports)
        probes.emplace_back(
            [&port, &limits] { port.modemFound = modem_scan::ProbeModem(port.portName, port.identification, limits); });
    for (std::thread& probe : probes)
        probe.join();
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
