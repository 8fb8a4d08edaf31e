#pragma once
// Temporary directories and small file helpers for tests that work on real
// files.

#include <string>
#include <string_view>
#include <vector>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScopedTempDir {
public:
    ScopedTempDir();
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(std::string_view name) const;

private:
    std::string m_path;
};

// Makes dir the current directory for the object's life.
class ScopedChdir {
public:
    explicit ScopedChdir(const std::string& dir);
    ~ScopedChdir();
    ScopedChdir(const ScopedChdir&) = delete;
    ScopedChdir& operator=(const ScopedChdir&) = delete;

private:
    std::string m_previous;
};

bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, std::string_view bytes);
std::vector<std::string> ListDirectory(const std::string& dir);
