#include "serial/PortNames.h"

int ComPortNumber(std::string_view portName)
{
    if (portName.size() < 4 || portName.size() > 6)
        return 0;
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    if (upper(portName[0]) != 'C' || upper(portName[1]) != 'O' || upper(portName[2]) != 'M')
        return 0;
    // The number as the system writes it: no leading zero, no sign.
    if (portName[3] < '1' || portName[3] > '9')
        return 0;
    int number = 0;
    for (char c : portName.substr(3)) {
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + (c - '0');
    }
    return number <= kMaxComPortNumber ? number : 0;
}

std::string ComPortName(int number) { return "COM" + std::to_string(number); }
