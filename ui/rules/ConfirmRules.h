#pragma once
// What the confirmation window shows in each state of its run, which fields
// it highlights and which icon goes with a status, apart from drawing them:
// the rules both front ends follow.

#include "flash/FlashReporter.h"

#include <cstdint>
#include <vector>

enum class BeepKind { Ok, IconHand };

// Ready: the check is done and the run can start or the inputs be changed.
// Running: only the progress is live; Close is shown but not usable.
// Succeeded, Failed: only Close is usable.
enum class RunState { Ready, Running, Succeeded, Failed };

// The buttons and the progress bar in a state of the run.
struct ConfirmLook {
    bool performShown, performEnabled;
    bool changeShown, changeEnabled;
    bool closeShown, closeEnabled;
    bool progressShown, progressEnabled;
    // Close becomes the default button and takes the focus (the run ended).
    bool closeTakesFocus;
};
ConfirmLook LookOfConfirm(RunState state);

// The controls drawn black on yellow for the mismatch flags of the check.
std::vector<int> HighlightedFields(std::uint16_t mismatches);
bool IsHighlighted(int controlId, std::uint16_t mismatches);

// The icon resource of a status.
const char* StatusIcon(StatusKind kind);

// Whether Esc or a close request from the window system may end the window
// (as Change Inputs): only while Change Inputs is offered.
bool MayCloseAsChangeInputs(RunState state);
