// flash-bench: flashes a generated image through the simulated modem, paced
// at a real line rate, and reports how close the stop-and-wait download
// comes to what the line allows, how fast each next line follows an
// acknowledgement, and how much processor time the loader takes.
//
//   flash-bench [--kib 256] [--baud 115200] [--record-bytes 32] [--ports 1]
//
// With --ports N, N simulated modems are flashed at the same time, as on a
// bench, after one of them alone for comparison.

#include "base/ProcessSetup.h"
#include "base/Version.h"
#include "bench/QuietReporter.h"
#include "flash/FlashSession.h"
#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/TestFiles.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// N modems at once, after one alone: the aggregate throughput against N
// times the line, the slowest port against the one alone, and the loader's
// processor time.
int RunMany(int ports, int baud, double latencyTimerMs, const std::string& image, std::size_t dataBytes,
            ScopedTempDir& dir)
{
    std::vector<std::unique_ptr<ModemSimProcess>> sims;
    for (int i = 0; i <= ports; ++i) {  // the last one is flashed alone first
        sims.push_back(std::make_unique<ModemSimProcess>());
        if (!sims.back()->Start({"--pace", std::to_string(baud), "--flash-out",
                                 dir.File("flashed" + std::to_string(i) + ".hex"), "--latency-timer-ms",
                                 std::to_string(latencyTimerMs)})) {
            std::fprintf(stderr, "flash-bench: modemsim did not start\n");
            return 1;
        }
    }
    std::atomic<std::uint64_t> bytes{0};
    std::atomic<bool> counting{false};
    SerialLink::SetTrace([&](TraceDirection, const char*, std::size_t count) {
        if (counting)
            bytes += count;
    });

    // One port: check, then flash; its time, or a negative one on failure.
    auto flash = [&](int index, bool count) {
        QuietReporter reporter;
        FlashSession session(reporter,
                             {sims[static_cast<std::size_t>(index)]->DevicePath(), baud, dir.File("MODEM.HEX"), ""});
        if (session.CheckAtOpening() != FlashSession::CheckResult::Ready)
            return -1.0;
        if (count)
            counting = true;
        auto start = Clock::now();
        bool ok = session.OnPerformLoading();
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return ok ? seconds : -1.0;
    };

    counting = true;
    double alone = flash(ports, false);
    counting = false;
    const double lineAlone = static_cast<double>(bytes.load()) * 10.0 / baud;
    bytes = 0;

    std::vector<double> times(static_cast<std::size_t>(ports), -1.0);
    std::vector<std::thread> threads;
    double cpuBefore = CpuSeconds();
    auto start = Clock::now();
    for (int i = 0; i < ports; ++i)
        threads.emplace_back([&, i] { times[static_cast<std::size_t>(i)] = flash(i, true); });
    for (std::thread& thread : threads)
        thread.join();
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    double cpu = CpuSeconds() - cpuBefore;
    counting = false;
    SerialLink::SetTrace(nullptr);

    bool ok = alone > 0;
    for (int i = 0; i <= ports; ++i) {
        sims[static_cast<std::size_t>(i)]->Stop();
        ok = ok && HexMemory(ReadFileBytes(dir.File("flashed" + std::to_string(i) + ".hex"))) == HexMemory(image);
    }
    double slowest = *std::max_element(times.begin(), times.end());
    if (!ok || *std::min_element(times.begin(), times.end()) < 0) {
        std::fprintf(stderr, "flash-bench: a flash failed or does not match the image\n");
        return 1;
    }
    const double lineAll = static_cast<double>(bytes.load()) * 10.0 / baud;  // N lines' worth, one after the other
    std::printf("ports:              %d at %d baud, %zu bytes of Intel HEX each\n", ports, baud, image.size());
    std::printf("one port alone:     %.2f s (the line alone needs %.2f s, %.1f %%)\n", alone, lineAlone,
                100.0 * lineAlone / alone);
    std::printf("all at once:        %.2f s; slowest port %.2f s, %.1f %% of one port alone\n", wall, slowest,
                100.0 * slowest / alone);
    std::printf("aggregate:          %.0f bytes/s of file, %.0f bytes/s of data, %.1f %% of %d times the line\n",
                static_cast<double>(image.size()) * ports / wall, static_cast<double>(dataBytes) * ports / wall,
                100.0 * lineAll / ports / wall, ports);
    std::printf("processor time:     %.2f s, %.2f %% of one core\n", cpu, 100.0 * cpu / wall);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned kib = 256;
    int baud = 115200;
    unsigned recordBytes = 32;
    double latencyTimerMs = 0;
    int ports = 1;
    CLI::App app{"Flashes a generated image through modemsim paced at a line rate and reports the figures."};
    app.set_version_flag("--version", std::string("flash-bench ") + ProgramVersion());
    app.add_option("--kib", kib, "Image size in KiB")->capture_default_str();
    app.add_option("--baud", baud, "Line rate of the simulated modem")->capture_default_str();
    app.add_option("--record-bytes", recordBytes, "Data bytes per record")
        ->check(CLI::Range(1, 57))
        ->capture_default_str();
    app.add_option("--latency-timer-ms", latencyTimerMs,
                   "The modem's replies held as by a USB adapter's latency timer of this many ms (16 on common chips "
                   "without low latency)")
        ->check(CLI::Range(0.0, 1000.0))
        ->capture_default_str();
    app.add_option("--ports", ports, "Simulated modems flashed at the same time")
        ->check(CLI::Range(1, 64))
        ->capture_default_str();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? StatusAfterOutput(0, "flash-bench") : status;
    }

    ScopedTempDir dir;
    ImageSpec spec;
    spec.dataBytes = static_cast<std::size_t>(kib) * 1024;
    spec.recordBytes = recordBytes;
    spec.base = 0x10000;
    std::string image = MakeImage(spec);
    WriteFileBytes(dir.File("MODEM.HEX"), image);
    if (ports > 1)
        return RunMany(ports, baud, latencyTimerMs, image, spec.dataBytes, dir);

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
    std::printf("image:              %u KiB of data, %u bytes per record, %zu bytes of Intel HEX\n", kib, recordBytes,
                image.size());
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
