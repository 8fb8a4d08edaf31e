#pragma once
// Program-wide state of the start-up shell. Like every program-wide record it
// is empty when the program loads and lives for the whole run.

#include <string>

// The command line asked for developer mode: the confirmation window comes
// before the wizard. Cleared again when no complete last selection exists.
extern bool DeveloperMode;

// Start-up loads "lastsel.dat" (plain and developer mode); false when the
// command line carried a selection.
extern bool UseLastSelection;

// The current directory at start-up, kept whole: home of "lastsel.dat" and of
// the flash loader file.
extern std::string StartDirectory;

// Puts every program-wide record back into the state it has when the program
// loads, so that one process can go through start-up more than once.
void ResetProgramState();
