#pragma once
// Runs one of the project's programs as a child process and collects what
// it printed.

#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs program with args in dir (the current directory when empty), with
// extra "NAME=value" settings added to the environment, and waits for it.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& dir = {}, const std::vector<std::string>& env = {},
                         const std::string& input = {});

// The path of a program built by the project.
std::string BuiltProgram(const std::string& name);
