// kavr-sim: a KAVR communicator on a terminal line, for trying and testing
// the program without a device. Runs until SIGINT or SIGTERM.

#include "sim/KavrSimCommandLine.h"
#include "sim/KavrSimulator.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace
{

// Publishes `target` as the symlink `link`, replacing an older symlink but
// never a regular file or directory someone else put there.
bool publishLink(const QString &link, const QString &target, QString *error)
{
    const QFileInfo existing(link);
    if (existing.exists() || existing.isSymLink()) {
        if (!existing.isSymLink()) {
            *error = QStringLiteral("%1 exists and is not a symlink; not replacing it").arg(link);
            return false;
        }
    }
    const QByteArray tmp = (link + QStringLiteral(".%1.tmp").arg(::getpid())).toLocal8Bit();
    ::unlink(tmp.constData());
    if (::symlink(target.toLocal8Bit().constData(), tmp.constData()) != 0 ||
        ::rename(tmp.constData(), link.toLocal8Bit().constData()) != 0) {
        *error = QStringLiteral("%1: %2").arg(link, QString::fromLocal8Bit(std::strerror(errno)));
        ::unlink(tmp.constData());
        return false;
    }
    return true;
}

// Removes the link only while it still points at our line: a second
// simulator may have taken the name over in the meantime.
void withdrawLink(const QString &link, const QString &target)
{
    const QFileInfo info(link);
    if (info.isSymLink() && info.symLinkTarget() == QFileInfo(target).absoluteFilePath())
        ::unlink(link.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char *argv[])
{
    // Signals are taken synchronously below; block them before any thread
    // starts so none of them lands on the runner thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kavr-sim"));

    KavrSimCommandLine cl;
    QString error;
    if (!cl.parse(app.arguments().mid(1), &error)) {
        std::fprintf(stderr, "kavr-sim: %s\nTry kavr-sim --help.\n", qPrintable(error));
        return 2;
    }
    if (cl.helpRequested) {
        std::fputs(qPrintable(cl.helpText), stdout);
        return 0;
    }

    KavrSimulator sim(cl.options);
    const bool started =
        cl.devicePath.isEmpty() ? sim.startOnPty(&error) : sim.attachTo(cl.devicePath, &error);
    if (!started) {
        std::fprintf(stderr, "kavr-sim: %s\n", qPrintable(error));
        return 1;
    }
    const QString line = sim.linePath();
    if (!cl.linkPath.isEmpty() && !publishLink(cl.linkPath, line, &error)) {
        std::fprintf(stderr, "kavr-sim: %s\n", qPrintable(error));
        return 1;
    }
    // One line on stdout: the path the program should open.
    std::printf("%s\n", qPrintable(cl.linkPath.isEmpty() ? line : cl.linkPath));
    std::fflush(stdout);
    std::fprintf(stderr, "kavr-sim: communicator on %s; firmware %d, serial %d\n", qPrintable(line),
                 int(cl.options.state.firmware), int(cl.options.state.serialNumber));

    for (;;) {
        const timespec tick{0, 100 * 1000 * 1000};
        const int sig = sigtimedwait(&stopSignals, nullptr, &tick);
        if (sig > 0)
            break;
        if (!sim.isRunning()) {
            std::fprintf(stderr, "kavr-sim: the line has ended\n");
            break;
        }
    }
    sim.stop();
    if (!cl.linkPath.isEmpty())
        withdrawLink(cl.linkPath, line);
    std::fprintf(stderr, "kavr-sim: %lld bytes received, %lld sent, %d block(s) written\n",
                 sim.bytesReceived(), sim.bytesSent(), sim.writesCompleted());
    return 0;
}
