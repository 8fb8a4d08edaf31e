#pragma once
// A port held open by the test, as another program would hold it, for the
// length of the object.

#include "serial/SerialLink.h"

#include <string>

class HeldPort {
public:
    explicit HeldPort(const std::string& device)
    {
        LineSettings settings;
        settings.BaudRate = 57600;
        m_link.OpenPort(device, settings, m_port);
    }
    ~HeldPort() { m_link.ClosePort(m_port); }
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;

    bool Held() const { return m_port != kInvalidPort; }

private:
    SerialLink m_link;
    PortHandle m_port = kInvalidPort;
};
