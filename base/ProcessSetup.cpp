#include "base/ProcessSetup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

int StatusAfterOutput(int status, const char* program)
{
    // The library's two buffers over the one descriptor: the C++ stream
    // first, as it may write through the C one.
    errno = 0;
    std::cout.flush();
    const bool streamFailed = !std::cout.good();
    const bool fileFailed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    if (!streamFailed && !fileFailed)
        return status;
    const int reason = errno;
    std::fprintf(stderr, "%s: the output could not be written%s%s\n", program, reason != 0 ? ": " : "",
                 reason != 0 ? std::strerror(reason) : "");
    return status == 0 ? 1 : status;
}
