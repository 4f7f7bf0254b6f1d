// Full Read and Write exchanges against the communicator simulator paced at
// 2400 baud, over a pseudo-terminal (serial port component) and over the
// simulated USB cable, each wall time set against the time its bytes need on
// the line.
//
//   bench_exchange [runs] [turnaround-ms]
#include "app/MainWindowState.h"
#include "device/ComPortLink.h"
#include "device/ExchangeEngine.h"
#include "device/ExchangeRunner.h"
#include "device/UsbLink.h"
#include "platform/PrivateProfile.h"
#include "serial/AfComPort.h"
#include "settings/MemoryRecord.h"

#include "KavrSimulator.h"
#include "SimulatedD2xx.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace
{

constexpr double ByteMs = 10.0 * 1000.0 / 2400.0; // 10 bit times
int TurnaroundMs = 5;

struct Rig {
    MainWindowState window;
    MemoryRecord record;
    std::unique_ptr<KavrSimulator> sim;
    std::shared_ptr<SimulatedD2xx> cable;
    std::unique_ptr<UsbLink> usb;
    std::unique_ptr<TAfComPort> port;
    std::unique_ptr<ExchangeEngine> engine;
    std::unique_ptr<ComPortLink> link;
    bool failed = false;

    void run()
    {
        ExchangeRunner runner(*engine);
        runner.setMessageHandler([this](const QString &t) {
            std::fprintf(stderr, "message: %s\n", qPrintable(t));
            failed = true;
        });
        runner.run();
    }
    double read()
    {
        QElapsedTimer t;
        t.start();
        if (engine->usbSelected())
            usb->open();
        engine->ExchangeAborted = false;
        window.VersionQueryRequested = true;
        engine->prepareVersionQuery();
        run();
        engine->prepareRead();
        run();
        return t.nsecsElapsed() / 1e6;
    }
    double write()
    {
        QElapsedTimer t;
        t.start();
        if (engine->usbSelected())
            usb->open();
        engine->prepareWriteVersionQuery();
        run();
        window.WriteVersionQuery = false;
        window.VersionQueryRequested = false;
        if (!engine->ExchangeAborted) {
            engine->prepareWrite();
            run();
        }
        return t.nsecsElapsed() / 1e6;
    }
};

KavrSimOptions simOptions(int ftdiLatency)
{
    KavrSimOptions o;
    o.line.turnaroundMs = TurnaroundMs;
    o.line.ftdiLatencyMs = ftdiLatency;
    return o;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    if (argc > 2)
        TurnaroundMs = std::max(0, atoi(argv[2]));

    // Read: "V", 10 bytes back, "R" "P", 128 bytes back; two answers.
    const double readLine = (1 + 10 + 2 + 128) * ByteMs;
    // Write: the 128 data bytes each answered by one handshake byte.
    const double writeLine = 2 * 128 * ByteMs;
    const double writeWhole = (1 + 10 + 2 + 2 * 128) * ByteMs;

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    std::printf("runs per case: %d; byte time %.3f ms; simulator turnaround %d ms; serial tick 10 ms, USB "
                "tick 5 ms\n",
                runs, ByteMs, TurnaroundMs);
    std::printf(
        "write line time of its 128 handshaken bytes: %.1f ms (whole write incl. version query: %.1f ms)\n",
        writeLine, writeWhole);

    int failures = 0;
    for (const bool usbCase : {false, true}) {
        Rig rig;
        rig.sim = std::make_unique<KavrSimulator>(simOptions(usbCase ? 2 : 0));
        rig.usb = std::make_unique<UsbLink>();
        if (usbCase) {
            auto line = rig.sim->startOnCable();
            rig.cable = std::make_shared<SimulatedD2xx>();
            rig.cable->attachLine(line);
            rig.usb = std::make_unique<UsbLink>(rig.cable);
        } else {
            QString error;
            if (!rig.sim->startOnPty(&error)) {
                std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
                return 1;
            }
            PrivateProfile::writeString(dir.filePath("Config.ini"), "Ports", "COM1", rig.sim->linePath());
        }
        rig.engine = std::make_unique<ExchangeEngine>(rig.window, rig.record, *rig.usb);
        rig.engine->setUsbSelected(usbCase);
        if (!usbCase) {
            rig.port = std::make_unique<TAfComPort>();
            rig.port->setObjectName("AfComPort1");
            rig.port->SetBaudRate(br2400);
            rig.port->SetDTR(false);
            rig.port->SetEventThreadPriority(tpHighest);
            rig.port->SetComNumber(1);
            rig.link = std::make_unique<ComPortLink>(*rig.port, *rig.engine);
        }
        std::vector<double> reads, writes;
        for (int i = 0; i < runs; ++i) {
            reads.push_back(rig.read());
            writes.push_back(rig.write());
        }
        const char *name = usbCase ? "usb" : "serial";
        report(name, "read", reads, readLine, 2 * TurnaroundMs);
        // Each handshake waits for the device's turnaround, and the next
        // byte for the next poll tick.
        report(name, "write", writes, writeLine, 128 * TurnaroundMs);
        // One data byte per poll tick at most: the best a write can do is
        // the whole number of ticks each handshake cycle spans.
        const int tick = usbCase ? ExchangeEngine::UsbInterval : 10;
        const double cycle = 2 * ByteMs + TurnaroundMs;
        const double ticked = 128 * tick * std::ceil(cycle / tick) + (1 + 10 + 2) * ByteMs + TurnaroundMs;
        std::printf(
            "%-7s write  against one byte per %d ms tick (%.0f ticks a handshake): %7.1f ms  ratio %.3f\n",
            name, tick, std::ceil(cycle / tick), ticked, median(writes) / ticked);
        if (rig.failed || rig.sim->writesCompleted() != runs) {
            std::fprintf(stderr, "%s: an exchange failed (%d writes completed)\n", name,
                         rig.sim->writesCompleted());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
