// history: the settings kept from the communicators.

#include "cli/CliHandlers.h"
#include "cli/CliRun.h"
#include "cli/TerminalText.h"

#include "history/DeviceHistory.h"

#include <QDir>
#include <QTextStream>

#include <algorithm>

namespace CliHandlers
{

// Every entry of the history in the program folder: serial number, date and
// time, what happened, the technician, the firmware, the file (with
// "(changed)" when it was changed by hand since it was kept).
int history(CliRun &run)
{
    DeviceHistory history(QDir::currentPath(), DeviceHistory::optionsOf(QDir::currentPath()));
    const Result<QList<DeviceHistory::Entry>> listed = history.list(run.args.serial);
    if (!listed)
        return run.fail(ExitBadFile, listed.failure().text());
    qsizetype technicianWidth = 0;
    for (const DeviceHistory::Entry &e : listed.value())
        technicianWidth = std::max(technicianWidth, e.technician.size());
    for (const DeviceHistory::Entry &e : listed.value()) {
        QString stamp = e.stamp;
        stamp[13] = u':';
        stamp[16] = u':';
        run.out << e.serialNumber << "  " << stamp << "  "
                << DeviceHistory::eventName(e.event).leftJustified(12) << "  "
                << TerminalText::printable(e.technician).leftJustified(technicianWidth) << "  "
                << TerminalText::printable(e.firmware.isEmpty() ? QStringLiteral("-") : e.firmware)
                       .leftJustified(8)
                << "  " << e.path;
        if (e.state == DeviceHistory::FileState::Changed)
            run.out << "  (changed)";
        else if (e.state == DeviceHistory::FileState::Missing)
            run.out << "  (missing)";
        run.out << '\n';
    }
    return ExitOk;
}

// Shares the history with Config.ini's remote now: 0 when the remote holds
// every entry, 9 with the remote and the reason when it does not.
int historySync(CliRun &run)
{
    const QString folder = QDir::currentPath();
    DeviceHistory history(folder, DeviceHistory::optionsOf(folder));
    const Result<void> shared = history.share();
    if (!shared)
        return run.fail(ExitNotShared, QStringLiteral("history not shared: %1").arg(shared.failure().text()));
    run.out << "Shared with " << history.options().remote << '\n';
    return ExitOk;
}

} // namespace CliHandlers
