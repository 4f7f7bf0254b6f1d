// tessaro-cli: read, write and inspect KAVR settings from a shell or script.

#include "cli/TessaroCli.h"
#include "history/DeviceHistory.h"

#include "sim/SimulatedD2xxSetup.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace
{
// Results and errors go out through the tool's own streams (what the serial
// layer would show goes there too); Qt's internal chatter (platform plugin
// notes, painter warnings) would only clutter a script's output.
void quietQt(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}
} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(quietQt);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // Only the printout draws; it needs fonts but never a window or a display.
    const bool drawing = TessaroCli::draws(args);
    if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = drawing ? std::make_unique<QGuiApplication>(argc, argv)
                                                    : std::make_unique<QCoreApplication>(argc, argv);
    // As in the program: TESSARO_USB_SIMULATOR=1 puts a simulated
    // communicator at the end of the USB cable.
    SimulatedUsb::installIfRequested();
    QTextStream out(stdout);
    QTextStream err(stderr);
    args = QCoreApplication::arguments();
    args.removeFirst();
    const int code = TessaroCli::run(args, out, err, ::isatty(STDERR_FILENO) == 1);
    // A share given up on may still wait inside libgit2 on its own thread:
    // the process ends without tearing down what that thread uses.
    if (DeviceHistory::shareStillRunning()) {
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(code);
    }
    return code;
}
