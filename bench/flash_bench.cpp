// flash-bench: flashes a generated image through the simulated modem, paced
// at a real line rate, and reports how close the stop-and-wait download
// comes to what the line allows, how fast each next line follows an
// acknowledgement, and how much processor time the loader takes.
//
//   flash-bench [--kib 256] [--baud 115200] [--record-bytes 32]

#include "bench/QuietReporter.h"
#include "flash/FlashSession.h"
#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/TestFiles.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv)
{
    unsigned kib = 256;
    int baud = 115200;
    unsigned recordBytes = 32;
    double latencyTimerMs = 0;
    CLI::App app{"Flashes a generated image through modemsim paced at a line rate and reports the figures."};
    app.add_option("--kib", kib, "Image size in KiB")->capture_default_str();
    app.add_option("--baud", baud, "Line rate of the simulated modem")->capture_default_str();
    app.add_option("--record-bytes", recordBytes, "Data bytes per record")->check(CLI::Range(1, 57))->capture_default_str();
    app.add_option("--latency-timer-ms", latencyTimerMs,
                   "The modem's replies held as by a USB adapter's latency timer of this many ms (16 on common chips "
                   "without low latency)")
        ->check(CLI::Range(0.0, 1000.0))
        ->capture_default_str();
    CLI11_PARSE(app, argc, argv);

    ScopedTempDir dir;
    ImageSpec spec;
    spec.dataBytes = static_cast<std::size_t>(kib) * 1024;
    spec.recordBytes = recordBytes;
    spec.base = 0x10000;
    std::string image = MakeImage(spec);
    WriteFileBytes(dir.File("MODEM.HEX"), image);

    ModemSimProcess sim;
    if (!sim.Start({"--pace", std::to_string(baud), "--flash-out", dir.File("flashed.hex"), "--latency-timer-ms",
                    std::to_string(latencyTimerMs)})) {
        std::fprintf(stderr, "flash-bench: modemsim did not start\n");
        return 1;
    }

    // Line turnaround: from the last byte read before a line goes out to the
    // first byte of that line.
    std::vector<double> turnaroundsMs;
    std::uint64_t bytesSent = 0;
    std::uint64_t bytesReceived = 0;
    Clock::time_point lastReceived{};
    bool running = false;
    SerialLink::SetTrace([&](TraceDirection direction, const char*, std::size_t count) {
        if (!running)
            return;
        auto now = Clock::now();
        if (direction == TraceDirection::Received) {
            bytesReceived += count;
            lastReceived = now;
        } else {
            bytesSent += count;
            if (lastReceived != Clock::time_point{})
                turnaroundsMs.push_back(std::chrono::duration<double, std::milli>(now - lastReceived).count());
            lastReceived = {};
        }
    });

    QuietReporter reporter;
    FlashSession session(reporter, {sim.DevicePath(), baud, dir.File("MODEM.HEX"), ""});
    if (session.CheckAtOpening() != FlashSession::CheckResult::Ready) {
        std::fprintf(stderr, "flash-bench: the check failed\n");
        return 1;
    }
    running = true;
    double cpuBefore = CpuSeconds();
    auto start = Clock::now();
    bool ok = session.OnPerformLoading();
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    double cpu = CpuSeconds() - cpuBefore;
    running = false;
    SerialLink::SetTrace(nullptr);
    sim.Stop();

    bool same = HexMemory(ReadFileBytes(dir.File("flashed.hex"))) == HexMemory(image);
    if (!ok || !same) {
        std::fprintf(stderr, "flash-bench: the flash %s\n", ok ? "does not match the image" : "failed");
        return 1;
    }

    std::sort(turnaroundsMs.begin(), turnaroundsMs.end());
    double median = turnaroundsMs.empty() ? 0 : turnaroundsMs[turnaroundsMs.size() / 2];
    double p99 = turnaroundsMs.empty() ? 0 : turnaroundsMs[turnaroundsMs.size() * 99 / 100];
    double lineLimit = static_cast<double>(bytesSent + bytesReceived) * 10.0 / baud;
    std::printf("image:              %u KiB of data, %u bytes per record, %zu bytes of Intel HEX\n", kib,
                recordBytes, image.size());
    std::printf("line:               %d baud, %llu bytes sent, %llu bytes received\n", baud,
                static_cast<unsigned long long>(bytesSent), static_cast<unsigned long long>(bytesReceived));
    std::printf("time:               %.2f s (the line alone needs %.2f s)\n", wall, lineLimit);
    std::printf("throughput:         %.0f bytes/s of file, %.0f bytes/s of data\n",
                static_cast<double>(image.size()) / wall, spec.dataBytes / wall);
    std::printf("share of line rate: %.1f %%\n", 100.0 * lineLimit / wall);
    std::printf("turnaround:         median %.3f ms, 99th percentile %.3f ms, over %zu lines\n", median, p99,
                turnaroundsMs.size());
    std::printf("processor time:     %.2f s, %.2f %% of the wall time\n", cpu, 100.0 * cpu / wall);
    return 0;
}
