#include "ui/rules/ConfirmRules.h"

#include "flash/ModemInfo.h"
#include "resources/DialogTemplates.h"

#include <algorithm>

ConfirmLook LookOfConfirm(RunState state)
{
    switch (state) {
    case RunState::Ready:
        return {true, true, true, true, false, false, false, false, false};
    case RunState::Running:
        // Close is there from the start, greyed until the run ends.
        return {false, false, false, false, true, false, true, true, false};
    case RunState::Succeeded:
        return {false, false, false, false, true, true, true, true, true};
    case RunState::Failed:
        // The bar goes: its position would tell of progress that the
        // failure took back.
        return {false, false, false, false, true, true, false, false, true};
    }
    return {};
}

std::vector<int> HighlightedFields(std::uint16_t mismatches)
{
    std::vector<int> fields;
    if (mismatches & MismatchSectorSize)
        fields.insert(fields.end(), {IDC_CONFIRM_MODEM_SECTOR_SIZE, IDC_CONFIRM_FILE_SECTOR_SIZE});
    if (mismatches & MismatchChecksum)
        fields.insert(fields.end(), {IDC_CONFIRM_MODEM_CHECKSUM, IDC_CONFIRM_FILE_CHECKSUM});
    if (mismatches & MismatchType)
        fields.insert(fields.end(), {IDC_CONFIRM_MODEM_TYPE, IDC_CONFIRM_FILE_TYPE});
    return fields;
}

bool IsHighlighted(int controlId, std::uint16_t mismatches)
{
    std::vector<int> fields = HighlightedFields(mismatches);
    return std::find(fields.begin(), fields.end(), controlId) != fields.end();
}

const char* StatusIcon(StatusKind kind)
{
    switch (kind) {
    case StatusKind::Stop:
        return kIconStop;
    case StatusKind::Question:
        return kIconQuestion;
    case StatusKind::Info:
        break;
    }
    return kIconInformation;
}

bool MayCloseAsChangeInputs(RunState state) { return state == RunState::Ready; }
