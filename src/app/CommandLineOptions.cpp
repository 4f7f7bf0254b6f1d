#include "app/CommandLineOptions.h"

#include "platform/ProgramVersion.h"

#include <cstdio>
#include <cstring>

namespace CommandLineOptions
{

QString versionText()
{
    return QStringLiteral("Tessaro ") + ProgramVersion::text() + QLatin1Char('\n');
}

QString helpText()
{
    return QStringLiteral(
        "Usage: tessaro [FILE.kvr]\n"
        "       tessaro --help | --version\n"
        "\n"
        "Reads, edits and writes the settings of the KAVR lift emergency communicator\n"
        "over a serial port or the KAVR USB cable, and keeps them in .kvr files.\n"
        "\n"
        "  FILE.kvr    settings file to open at start-up\n"
        "  -h, --help  show this help and exit\n"
        "  --version   show the program version and exit\n"
        "\n"
        "Config.ini, the language files (*.lng), help, sounds and pictures are looked up\n"
        "in the current directory. The installed tessaro command runs the program in\n"
        "$XDG_DATA_HOME/tessaro (by default ~/.local/share/tessaro).\n"
        "\n"
        "Environment:\n"
        "  TESSARO_USB_SIMULATOR=1  a simulated USB cable with a communicator at its end\n");
}

std::optional<int> handle(int argc, char *argv[])
{
    if (argc < 2)
        return std::nullopt;
    const char *option = argv[1];
    QString text;
    if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0)
        text = helpText();
    else if (std::strcmp(option, "--version") == 0)
        text = versionText();
    else
        return std::nullopt;
    const QByteArray bytes = text.toLocal8Bit();
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    return std::fflush(stdout) == 0 && written ? 0 : 1;
}

} // namespace CommandLineOptions
