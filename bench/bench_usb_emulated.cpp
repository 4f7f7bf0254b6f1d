// Read and Write commands over the real cable backend (libftdi1) and an
// emulated FT232R with the communicator's device model behind it, with the
// latency timer at the program's 2 ms and at the chip's default 16 ms. Each
// command's wall time is set against the time its bytes need on the
// 2400-baud line.
//
//   bench_usb_emulated [runs]
#include "command_timing.h"
#include "device/UsbTransport.h"
#include "platform/D2xxLibFtdi.h"
#include "settings/MemoryRecord.h"

#include "EmulatedFtdi.h"
#include "sim/KavrDeviceModel.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace
{

constexpr double ByteMs = 10.0 * 1000.0 / 2400.0; // 10 bit times
constexpr int TurnaroundMs = 5;

class Communicator : public EmulatedFtdi::FarEnd
{
  public:
    KavrDeviceModel model;
    std::string receive(std::uint8_t byte, std::chrono::steady_clock::time_point) override
    {
        return model.feed(byte).toStdString();
    }
    int turnaroundMs() const override { return TurnaroundMs; }
};

struct Rig {
    MemoryRecord record;
    ExchangeService service;
    CommandTiming commands{service, record};

    Rig()
    {
        D2xx::setBackend(std::make_shared<LibFtdiD2xx>());
        service.setUsbSelected(true);
    }
    ~Rig() { D2xx::setBackend(nullptr); }
};

bool emulatedUsbLoaded()
{
    Dl_info info{};
    void *init = dlsym(RTLD_DEFAULT, "libusb_init");
    return init && dladdr(init, &info) && info.dli_fname &&
           std::string(info.dli_fname).find("/usbemu/") != std::string::npos;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::printf("usage: %s [runs]\n", argv[0]);
        return 0;
    }
    if (!emulatedUsbLoaded()) {
        std::fprintf(stderr, "not running against the emulated USB library\n");
        return 1;
    }
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    // Read: "V", 10 bytes back, "R" "P", 128 bytes back.
    const double readLine = (1 + 10 + 2 + 128) * ByteMs;
    const double readTurnaround = 2 * TurnaroundMs;
    // Write: "V", 10 bytes back, "W" "P", 128 bytes each answered by "D" or "Z".
    const double writeLine = (1 + 10 + 2 + 2 * 128) * ByteMs;
    const double writeTurnaround = (1 + 128) * TurnaroundMs;
    std::printf("runs per case: %d; byte time %.3f ms; device turnaround %d ms; USB poll tick %d ms\n", runs,
                ByteMs, TurnaroundMs, UsbTransport::PollMs);
    std::printf("line time: read %.1f ms, write %.1f ms (version queries included)\n", readLine, writeLine);

    int failures = 0;
    for (const int latency : {2, 16}) {
        const int id = EmulatedFtdi::plug({});
        auto device = std::make_shared<Communicator>();
        EmulatedFtdi::setFarEnd(id, device);
        // 2 ms is what the program asks for; 16 ms is the chip left at its
        // power-up value, as if the program never set it.
        EmulatedFtdi::fixLatency(id, latency);
        Rig rig;
        std::vector<double> reads, writes, verified;
        for (int i = 0; i < runs; ++i) {
            reads.push_back(rig.commands.read());
            writes.push_back(rig.commands.write());
            verified.push_back(rig.commands.write(true));
        }
        // The verified write reads the block before and after it.
        const double verifyLine = writeLine + 2 * (2 + 128) * ByteMs;
        for (const auto &[what, times, line, turnaround] :
             {std::tuple{"read", reads, readLine, readTurnaround},
              std::tuple{"write", writes, writeLine, writeTurnaround},
              std::tuple{"verify", verified, verifyLine, writeTurnaround + 2 * TurnaroundMs}}) {
            const double m = median(times);
            std::printf(
                "latency %2d ms %-6s median %7.1f ms  min %7.1f  max %7.1f | line %7.1f ms  ratio %.2f | "
                "line+turnaround %7.1f ms  ratio %.2f\n",
                latency, what, m, *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()), line, m / line, line + turnaround,
                m / (line + turnaround));
        }
        if (rig.commands.failed || device->model.writesCompleted() != 2 * runs) {
            std::fprintf(stderr, "latency %d ms: an exchange failed (%d writes completed)\n", latency,
                         device->model.writesCompleted());
            ++failures;
        }
        EmulatedFtdi::removeAll();
    }
    return failures ? 1 : 0;
}
