#include "tests/support/TestFiles.h"

#include "base/Paths.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

ScopedTempDir::ScopedTempDir()
{
#ifdef _WIN32
    // No mkdtemp: a random name, taken only when nobody has it yet.
    std::random_device seed;
    std::mt19937 random(seed());
    std::string pattern;
    for (int attempt = 0;; ++attempt) {
        pattern = (fs::temp_directory_path() / ("fltest-" + std::to_string(random() % 1000000000u))).string();
        if (fs::create_directory(pattern))
            break;
        if (attempt == 100)
            throw std::runtime_error("no temporary directory");
    }
#else
    std::string pattern = (fs::temp_directory_path() / "fltest-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
#endif
    m_path = fs::canonical(pattern).string();
}

ScopedTempDir::~ScopedTempDir()
{
    std::error_code ignored;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(m_path, ignored);
}

std::string ScopedTempDir::File(std::string_view name) const { return JoinPath(m_path, name); }

ScopedChdir::ScopedChdir(const std::string& dir) : m_previous(fs::current_path().string()) { fs::current_path(dir); }

ScopedChdir::~ScopedChdir()
{
    std::error_code ignored;
    fs::current_path(m_previous, ignored);
}

bool FileExists(const std::string& path)
{
    std::error_code ignored;
    return fs::exists(path, ignored);
}

// Through stdio, which reports a failed read as a short one: a stream
// buffer throws instead, and a file of /proc whose process ends while it is
// read (the tests look through them for Wine's processes) fails its read
// with ESRCH.
std::string ReadFileBytes(const std::string& path)
{
    std::string bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return bytes;
    char buffer[65536];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, count);
    std::fclose(file);
    return bytes;
}

void WriteFileBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> ListDirectory(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    return names;
}
