#pragma once
// The port table's used rows as "name | display text", for comparing a
// listing with what a test expects.

#include "ports/PortTable.h"

#include <string>
#include <vector>

inline std::vector<std::string> PortRows()
{
    std::vector<std::string> rows;
    for (const PortEntry& row : PortTable)
        if (!row.portName.empty())
            rows.push_back(row.portName + " | " + row.displayText);
    return rows;
}
