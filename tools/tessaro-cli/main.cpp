// tessaro-cli: read, write and inspect KAVR settings from a shell or script.

#include "TessaroCli.h"

#include "SimulatedD2xxSetup.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // As in the program: TESSARO_USB_SIMULATOR=1 puts a simulated
    // communicator at the end of the USB cable.
    SimulatedUsb::installIfRequested();
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return TessaroCli::run(args, out, err, ::isatty(STDERR_FILENO) == 1);
}
