// Delay from a byte written by the far side of a pseudo-terminal to the
// port's OnDataRecived on the main thread, and the CPU an open, idle port
// costs. Usage: bench_serial_latency [samples] [idle-seconds]
#include "platform/PrivateProfile.h"
#include "serial/AfComPort.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t i = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[i];
}

// The same far side against a bare thread blocked in poll() on the slave:
// what the kernel and the scheduler alone cost on this machine right now.
std::vector<double> bareWakeDelays(int samples)
{
    std::vector<double> delays;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0)
        return delays;
    const int slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    std::atomic<int64_t> sentAt{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        char buffer[64];
        while (!stop.load()) {
            pollfd p{slave, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            const int64_t now = nowNs();
            while (read(slave, buffer, sizeof buffer) > 0) {
            }
            const int64_t sent = sentAt.exchange(0);
            if (sent != 0)
                delays.push_back(double(now - sent) / 1e6);
            if (int(delays.size()) >= samples)
                stop = true;
        }
    });
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pause(1000, 5000);
    while (!stop.load()) {
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        if (sentAt.load() != 0)
            continue;
        sentAt.store(nowNs());
        const char byte = 'V';
        if (write(master, &byte, 1) != 1)
            break;
    }
    reader.join();
    close(slave);
    close(master);
    return delays;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int samples = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    PrivateProfile::writeString(folder.path() + "/Config.ini", "Ports", "COM3", QString::fromLocal8Bit(name));

    TAfComPort port;
    port.setObjectName("AfComPort1");
    port.SetBaudRate(br2400);
    port.SetDTR(false);
    port.SetEventThreadPriority(tpHighest);
    port.SetComNumber(3);
    port.Loaded();
    port.Open();

    // ---- latency ----------------------------------------------------------
    const std::vector<double> bare = bareWakeDelays(samples);
    if (!bare.empty())
        std::printf("bare poll() wake-up over %zu bytes: median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                    bare.size(), percentile(bare, 0.5), percentile(bare, 0.99),
                    *std::max_element(bare.begin(), bare.end()));
    std::vector<double> delays;
    delays.reserve(size_t(samples));
    std::atomic<int64_t> sentAt{0}; // nanoseconds of the byte in flight, 0 when none
    std::atomic<bool> stop{false};
    port.OnDataRecived = [&](QObject *, int count) {
        const int64_t now = nowNs();
        if (count <= 0)
            return;
        port.ReadString();
        const int64_t sent = sentAt.exchange(0);
        if (sent == 0)
            return;
        delays.push_back(double(now - sent) / 1e6);
        if (int(delays.size()) >= samples)
            app.quit();
    };
    std::thread farSide([&] {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> pause(1000, 5000);
        while (!stop.load()) {
            std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
            if (sentAt.load() != 0)
                continue; // the last byte has not arrived yet
            sentAt.store(nowNs());
            const char byte = 'V';
            if (write(master, &byte, 1) != 1)
                break;
        }
    });
    QTimer::singleShot(120000, &app, &QApplication::quit); // never wait for ever
    app.exec();
    stop = true;
    farSide.join();
    port.OnDataRecived = nullptr;
    port.ReadString();

    if (delays.empty()) {
        std::fprintf(stderr, "no data arrived\n");
        return 1;
    }
    const double median = percentile(delays, 0.5);
    const double p99 = percentile(delays, 0.99);
    std::printf(
        "latency over %zu bytes: median %.3f ms, p99 %.3f ms, max %.3f ms (goal: median < 2, p99 < 10) %s\n",
        delays.size(), median, p99, *std::max_element(delays.begin(), delays.end()),
        median < 2 && p99 < 10 ? "met" : "MISSED");

    // ---- idle CPU ---------------------------------------------------------
    const double cpuBefore = cpuSeconds();
    const auto wallBefore = Clock::now();
    QTimer::singleShot(idleSeconds * 1000, &app, &QApplication::quit);
    app.exec();
    const double cpu = cpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    std::printf("idle open port over %.1f s: %.3f s CPU = %.3f %% of one core (goal < 0.5 %%) %s\n", wall,
                cpu, 100.0 * cpu / wall, 100.0 * cpu / wall < 0.5 ? "met" : "MISSED");

    port.Close();
    close(master);
    return 0;
}
