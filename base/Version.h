#pragma once
// The version of this build, one for every program of the project: it comes
// from the build's project version, so that the programs, their resources,
// the packages and the installer cannot disagree.

// "5.0.0"
const char* ProgramVersion();

// The name under which the programs are installed and listed.
inline constexpr char kProductDisplayName[] = "Modem Flash Loader";
