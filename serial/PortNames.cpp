#include "serial/PortNames.h"

int ComPortNumber(std::string_view portName)
{
    if (portName.size() != 4)
        return 0;
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    if (upper(portName[0]) != 'C' || upper(portName[1]) != 'O' || upper(portName[2]) != 'M')
        return 0;
    if (portName[3] < '1' || portName[3] > '9')
        return 0;
    return portName[3] - '0';
}

std::string ComPortName(int number) { return "COM" + std::to_string(number); }
