#include "app/CommandLineOptions.h"
#include "app/Glyphs.h"
#include "app/KAVR10.h"
#include "app/ProgramWindows.h"
#include "app/MessageBoxes.h"
#include "history/DeviceHistory.h"
#include "platform/SingleInstance.h"

#include "sim/SimulatedD2xxSetup.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

#include <unistd.h>

int main(int argc, char *argv[])
{
    if (const auto status = CommandLineOptions::handle(argc, argv))
        return *status;
    // The lock records the program's name and a later start checks it against
    // the running process, so it must be the executable's own name here.
    QCoreApplication::setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).fileName());
    // Another copy running: leave at once, without a window or a message.
    SingleInstance instance;
    if (!instance.acquire())
        return 0;

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tessaro")); // the taskbar text
    if (!instance.problem().isEmpty()) {
        // No language is loaded yet: the program's own Czech, then English.
        const QString text =
            QStringLiteral("Zámek programu %1 nelze použít. Program poběží, ale nezabrání spuštění "
                           "další kopie.\n\nThe program's lock %1 cannot be used: %2. The program runs, "
                           "but does not keep another copy from starting.")
                .arg(instance.lockPath(), instance.problem());
        std::fprintf(stderr, "tessaro: %s\n", qUtf8Printable(text));
        MessageBoxes::showMessage(nullptr, text);
    }

    // A demonstration or a training without the hardware: the USB cable is
    // simulated, with a simulated communicator at its far end.
    SimulatedUsb::installIfRequested();

    int code = 0;
    {
        ProgramWindows windows;
        const QStringList args = QCoreApplication::arguments();
        if (args.size() > 1)
            windows.Form1->setCommandLineArgument(args.at(1));
        windows.Form1->show();
        code = app.exec();
    }
    // A share called off at the close may still wait inside libgit2 on its
    // own thread: the process ends without tearing down what that thread uses.
    if (DeviceHistory::shareStillRunning()) {
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(code);
    }
    return code;
}
