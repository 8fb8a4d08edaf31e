#pragma once
// The settings file as the platform's profile reader sees it, for the one
// read at start-up: opened and read whole, asked for values, closed.
//
// On Windows the reader is the system's profile-string reader, which finds a
// file given by a bare name in the Windows directory: the file is copied
// there under a working name for the time of the reading and deleted again.
// Elsewhere the bytes are kept and read by ProfileReader, which follows the
// same rules.

#include <cstddef>
#include <string>

#ifndef _WIN32
#include "app/ProfileReader.h"
#endif

class SettingsFile {
public:
    SettingsFile() = default;
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;
    ~SettingsFile() { Close(); }

    // Opens the file by its bare name, so in the current directory, and reads
    // it whole. False when it cannot be opened (a folder, a FIFO or a
    // device of that name cannot; opening never waits) or read in full;
    // nothing else is touched then.
    bool Open(const char* name);

    // The value of section/key cut to holderSize - 1 bytes; defaultValue when
    // the file, the section or the key is missing.
    std::string GetString(const char* section, const char* key, const char* defaultValue, std::size_t holderSize) const;

    // Done reading; on Windows the working copy goes.
    void Close();

    // After a failed Open: what the name is when it is there but no file
    // ("a FIFO", "a directory", "a device"); empty otherwise.
    const std::string& NotAFile() const { return m_notAFile; }

private:
    std::string m_notAFile;
#ifdef _WIN32
    std::string m_readFrom;     // the name the profile reader is given
    std::string m_workingCopy;  // the copy to delete; empty when none was made
#else
    ProfileReader m_profile;
#endif
};

// Larger than any settings file; such a file is not read.
inline constexpr std::size_t kMaxSettingsFileBytes = 1u << 30;

// The working copy's name in the Windows directory.
inline constexpr char kSettingsWorkingCopyName[] = "~tarnix.ini";
