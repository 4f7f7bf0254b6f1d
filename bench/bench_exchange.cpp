// Full Read and Write exchanges against the communicator simulator paced at
// 2400 baud, over a pseudo-terminal (serial port component) and over the
// simulated USB cable, each wall time set against the time the bytes of the
// timed exchanges need on the line (and that plus the simulator's turnaround
// before each answer).
//
//   bench_exchange [--write-on-tick] [runs] [turnaround-ms]
#include "command_timing.h"
#include "device/SerialTransport.h"
#include "device/UsbTransport.h"
#include "platform/D2xx.h"
#include "platform/PrivateProfile.h"
#include "serial/AfComPort.h"
#include "settings/MemoryRecord.h"

#include "sim/KavrSimulator.h"
#include "sim/SimulatedD2xx.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{

constexpr double ByteMs = 10.0 * 1000.0 / 2400.0; // 10 bit times
int TurnaroundMs = 5;

void printUsage()
{
    std::printf("usage: bench_exchange [--write-on-tick] [runs] [turnaround-ms]\n"
                "Times the Read command (version query, then the block), the Write command (version\n"
                "query, then the block with its handshakes) and the verified Write (the block read before\n"
                "and read back after it) against the communicator simulator, over a\n"
                "pseudo-terminal and over the simulated USB cable, and sets each median against the line\n"
                "time of the bytes the timed exchanges move, alone and with the simulator's turnaround\n"
                "before each answer.\n"
                "  runs             exchanges of each kind per transport (default 5)\n"
                "  turnaround-ms    the simulator's pause before each answer (default 5)\n"
                "  --write-on-tick  pace the write one byte per poll tick ([Setup] WriteOnTick=1)\n");
}

struct Rig {
    MemoryRecord record;
    std::unique_ptr<KavrSimulator> sim;
    std::shared_ptr<SimulatedD2xx> cable;
    std::unique_ptr<TAfComPort> port;
    std::unique_ptr<SerialTransport> serial;
    std::unique_ptr<ExchangeService> service;
    ~Rig()
    {
        if (service)
            service->setSerialTransport(nullptr);
        D2xx::setBackend(nullptr);
    }
};

KavrSimOptions simOptions(int ftdiLatency)
{
    KavrSimOptions o;
    o.line.turnaroundMs = TurnaroundMs;
    o.line.ftdiLatencyMs = ftdiLatency;
    return o;
}

void report(const char *transport, const char *what, const std::vector<double> &times, double lineMs,
            double allowanceMs)
{
    const double m = median(times);
    std::printf("%-7s %-6s median %8.1f ms  min %8.1f  max %8.1f | line %7.1f ms  ratio %.3f | "
                "line+turnaround %7.1f ms  ratio %.3f\n",
                transport, what, m, *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()), lineMs, m / lineMs, lineMs + allowanceMs,
                m / (lineMs + allowanceMs));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bool writeOnTick = false;
    std::vector<int> numbers;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            printUsage();
            return 0;
        }
        if (!std::strcmp(argv[i], "--write-on-tick")) {
            writeOnTick = true;
            continue;
        }
        char *end = nullptr;
        const long v = std::strtol(argv[i], &end, 10);
        if (!*argv[i] || *end || v < 0 || v > 100000 || numbers.size() == 2) {
            std::fprintf(stderr, "bench_exchange: unexpected argument '%s'\n", argv[i]);
            printUsage();
            return 2;
        }
        numbers.push_back(int(v));
    }
    const int runs = numbers.size() > 0 ? std::max(1, numbers[0]) : 5;
    if (numbers.size() > 1)
        TurnaroundMs = numbers[1];

    // Read: "V", 10 bytes back, "R" "P", 128 bytes back; two answers.
    const double readLine = (1 + 10 + 2 + 128) * ByteMs;
    // Write: its version query ("V", 10 bytes back), "W" "P", then the 128
    // data bytes each answered by one handshake byte: 129 answers.
    const double writeLine = (1 + 10 + 2 + 2 * 128) * ByteMs;

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    std::printf("runs per case: %d; byte time %.3f ms; simulator turnaround %d ms; serial tick 10 ms, USB "
                "tick 5 ms; write paced %s\n",
                runs, ByteMs, TurnaroundMs, writeOnTick ? "one byte per tick" : "by the handshakes");
    std::printf("line time: read %.1f ms (141 bytes), write %.1f ms (269 bytes incl. its version query)\n",
                readLine, writeLine);

    int failures = 0;
    for (const bool usbCase : {false, true}) {
        Rig rig;
        rig.service = std::make_unique<ExchangeService>();
        ExchangeOptions options;
        options.WriteOnTick = writeOnTick;
        rig.service->setOptions(options);
        rig.sim = std::make_unique<KavrSimulator>(simOptions(usbCase ? 2 : 0));
        if (usbCase) {
            auto line = rig.sim->startOnCable();
            rig.cable = std::make_shared<SimulatedD2xx>();
            rig.cable->attachLine(line);
            D2xx::setBackend(rig.cable);
        } else {
            QString error;
            if (!rig.sim->startOnPty(&error)) {
                std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
                return 1;
            }
            PrivateProfile::writeString(dir.filePath("Config.ini"), "Ports", "COM1", rig.sim->linePath());
        }
        rig.service->setUsbSelected(usbCase);
        if (!usbCase) {
            rig.port = std::make_unique<TAfComPort>();
            SerialTransport::setUpPort(*rig.port);
            rig.port->SetComNumber(1);
            rig.serial = std::make_unique<SerialTransport>(*rig.port);
            rig.service->setSerialTransport(rig.serial.get());
        }
        CommandTiming commands(*rig.service, rig.record);
        std::vector<double> reads, writes, verified;
        for (int i = 0; i < runs; ++i) {
            reads.push_back(commands.read());
            writes.push_back(commands.write());
            verified.push_back(commands.write(true));
        }
        const char *name = usbCase ? "usb" : "serial";
        report(name, "read", reads, readLine, 2 * TurnaroundMs);
        // The version query's answer and each of the 128 handshakes wait for
        // the device's turnaround.
        report(name, "write", writes, writeLine, 129 * TurnaroundMs);
        // The verified write reads the block before and after it: two more
        // "R" "P" and 128-byte answers, each after a turnaround.
        report(name, "verify", verified, writeLine + 2 * (2 + 128) * ByteMs, 131 * TurnaroundMs);
        if (writeOnTick) {
            // One data byte per poll tick at most: the best such a write can
            // do is the whole number of ticks each handshake cycle spans.
            const int tick = usbCase ? UsbTransport::PollMs : 10;
            const double cycle = 2 * ByteMs + TurnaroundMs;
            const double ticked = 128 * tick * std::ceil(cycle / tick) + (1 + 10 + 2) * ByteMs + TurnaroundMs;
            std::printf(
                "%-7s write  against one byte per %d ms tick (%.0f ticks a handshake): %7.1f ms  ratio "
                "%.3f\n",
                name, tick, std::ceil(cycle / tick), ticked, median(writes) / ticked);
        }
        if (commands.failed || rig.sim->writesCompleted() != 2 * runs) {
            std::fprintf(stderr, "%s: an exchange failed (%d writes completed)\n", name,
                         rig.sim->writesCompleted());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
