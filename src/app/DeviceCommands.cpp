#include "app/DeviceCommands.h"

#include "app/ChangesWindow.h"
#include "app/CompareWindow.h"
#include "app/DialogPlacement.h"
#include "app/Dotaz.h"
#include "app/ExchangeTexts.h"
#include "app/FileCommands.h"
#include "app/HistorySharing.h"
#include "app/HistoryWindow.h"
#include "app/Hlaseni.h"
#include "app/KAVR10.h"
#include "app/MessageBoxes.h"
#include "app/SerPort.h"
#include "app/Zobraz.h"
#include "device/ExchangeService.h"
#include "device/SerialTransport.h"
#include "device/UsbLink.h"
#include "device/WriteCheck.h"
#include "history/DeviceHistory.h"
#include "lang/LanguageTexts.h"
#include "platform/ProgramConfig.h"
#include "serial/AfComPort.h"
#include "settings/FirmwareOptions.h"
#include "settings/MemoryRecord.h"
#include "settings/ParameterListing.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsDiff.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTabWidget>

namespace
{

QString withoutColon(QString text)
{
    text = text.simplified();
    while (text.endsWith(QLatin1Char(':')) || text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

} // namespace

DeviceCommands::DeviceCommands(TForm1 &form1) : QObject(&form1), m_form1(form1)
{
    TForm6 *dialog = m_form1.companions().Form6;
    TForm5 *ports = m_form1.companions().Form5;
    ExchangeService &exchange = service();
    m_serial = std::make_unique<SerialTransport>(*dialog->AfComPort1);
    exchange.setSerialTransport(m_serial.get());
    dialog->follow(exchange);
    connect(&exchange, &ExchangeService::indicatorChanged, this, &DeviceCommands::colourIndicator);
    connect(&exchange, &ExchangeService::noticeRequested, this,
            [this, dialog](ExchangeNotice notice, const QByteArray &received) {
                MessageBoxes::showMessage(dialog->isVisible() ? static_cast<QWidget *>(dialog) : &m_form1,
                                          ExchangeTexts::noticeText(notice, received));
            });

    connect(ports, &TForm5::usbChoiceChanged, this, [this](bool checked) {
        ExchangeService &exchange = service();
        exchange.setUsbSelected(checked);
        if (!checked)
            exchange.closeCable();
        else if (!exchange.usb().UsbOpen)
            exchange.openCable();
    });

    m_form1.runVersionQuery = [this] { runVersionQuery(); };
    connect(&m_form1, &TForm1::readRequested, this, &DeviceCommands::read);
    connect(&m_form1, &TForm1::writeRequested, this, &DeviceCommands::write);
    connect(&m_form1, &TForm1::compareRequested, this, &DeviceCommands::compare);
    connect(&m_form1, &TForm1::historyRequested, this, &DeviceCommands::history);
    connect(&m_form1, &TForm1::serviceTimerPanelClicked, this,
            [this] { counterAction(QStringLiteral("rezim")); });
    connect(&m_form1, &TForm1::powerOnPanelClicked, this, [this] { counterAction(QStringLiteral("citac")); });
}

DeviceCommands::~DeviceCommands()
{
    m_form1.runVersionQuery = nullptr;
    service().setSerialTransport(nullptr);
}

ExchangeService &DeviceCommands::service()
{
    return m_form1.exchange();
}

void DeviceCommands::colourIndicator(ExchangeIndicator state)
{
    QLabel *indicator = m_form1.Label166;
    QPalette pal = indicator->palette();
    pal.setColor(QPalette::Window, ExchangeTexts::indicatorColour(state));
    indicator->setAutoFillBackground(true);
    indicator->setPalette(pal);
}

void DeviceCommands::openTraceOnce()
{
    if (m_traceLookedUp)
        return;
    m_traceLookedUp = true;
    const QString folder = m_form1.refreshProgramFolder();
    const QString trace = ProgramConfig::read(ProgramConfig::path(folder)).trace;
    // A trace that cannot be opened is passed over: it must never stand in
    // the way of an exchange.
    if (!trace.isEmpty() && m_trace.open(QDir(folder).absoluteFilePath(trace)))
        service().setTrace(&m_trace);
}

void DeviceCommands::prepare()
{
    openTraceOnce();
    ExchangeService &exchange = service();
    exchange.setUsbSelected(m_form1.usbSelected());
    // The history and the verified write as Config.ini says at this moment
    // (set by hand); the history goes into the program folder.
    const QString folder = m_form1.refreshProgramFolder();
    const ProgramConfig::Values config = ProgramConfig::read(ProgramConfig::path(folder));
    m_verify = config.verifyWrite != 0;
    m_confirmChanges = config.confirmChanges != 0;
    m_history = config.history != 0
                    ? std::make_unique<DeviceHistory>(
                          folder, DeviceHistory::Options{config.technician, config.mail, config.remote})
                    : nullptr;
    exchange.setHistory(m_history.get());
    // "Written and verified" belongs to the write that said it.
    m_form1.setStatusNote(QString());
}

void DeviceCommands::runVersionQuery()
{
    ExchangeService &exchange = service();
    if (exchange.busy())
        return; // stays pending for a later tick
    prepare();
    m_form1.VersionQueryRequested = false;
    exchange.versionQuery(m_form1);
}

void DeviceCommands::read()
{
    if (service().busy())
        return;
    prepare();
    m_form1.VersionQueryRequested = false;
    service().read(m_form1);
    shareWhatWasKept();
}

void DeviceCommands::shareWhatWasKept()
{
    const ExchangeService::Outcome &outcome = service().outcome();
    if (!outcome.historyPath.isEmpty() || !outcome.backupPath.isEmpty())
        m_form1.Sharing->request(m_form1.refreshProgramFolder());
}

void DeviceCommands::showRefusal()
{
    const std::optional<WriteCheck::Refusal> &bad = service().refusal();
    if (!bad)
        return;
    QString name = bad->key;
    if (const char *label = ParameterTable::labelOf(bad->control))
        if (auto *l = m_form1.findChild<QLabel *>(QLatin1String(label)))
            name = withoutColon(l->text());
    MessageBoxes::showMessage(&m_form1,
                              LanguageTexts::text(Text::WriteRefused).arg(name, bad->text, bad->allowed));
    if (auto *field = m_form1.findChild<QLineEdit *>(bad->control)) {
        for (QWidget *w = field->parentWidget(); w; w = w->parentWidget())
            if (m_form1.PageControl1->indexOf(w) >= 0)
                m_form1.PageControl1->setCurrentWidget(w);
        field->setFocus();
    }
}

bool DeviceCommands::confirmCounters(const DeviceCodec::DeviceCounters &device)
{
    // A counter the answer did not carry is not offered.
    const bool hoursDiffer = !device.serviceHours.isEmpty() && device.serviceHours != m_form1.Edit14->text();
    const bool powerOnDiffers =
        !device.powerOnCount.isEmpty() && device.powerOnCount != m_form1.Edit157->text();
    if (!hoursDiffer && !powerOnDiffers)
        return true;
    TForm9 *dialog = m_form1.companions().Form9;
    dialog->prepare(
        {m_form1.Edit14->text(), m_form1.Edit157->text(), device.serviceHours, device.powerOnCount});
    if (dialog->exec() != QDialog::Accepted)
        return false;
    if (hoursDiffer)
        m_form1.Edit14->setText(dialog->chosenHours());
    if (powerOnDiffers)
        m_form1.Edit157->setText(dialog->chosenPowerOnCount());
    return true;
}

bool DeviceCommands::confirmChanges(const SettingsRecord &inDevice, const SettingsRecord &toWrite)
{
    ChangesWindow window(&m_form1);
    DialogPlacement::centreAtEveryShowing(&window);
    window.prepare(inDevice, toWrite);
    return window.exec() == QDialog::Accepted;
}

void DeviceCommands::write()
{
    if (service().busy())
        return;
    prepare();
    // The write's version query answers a pending one too.
    m_form1.VersionQueryRequested = false;
    ExchangeService::WriteSteps steps;
    steps.confirm = [this](const DeviceCodec::DeviceCounters &device, SettingsRecord &) {
        return confirmCounters(device);
    };
    steps.verify = m_verify;
    // The list comes from the read before a verified write; without that
    // read there is nothing to list it from.
    if (m_confirmChanges && m_verify)
        steps.confirmChanges = [this](const SettingsRecord &inDevice, const SettingsRecord &toWrite) {
            return confirmChanges(inDevice, toWrite);
        };
    // The old settings could not be kept: the technician decides, No first.
    steps.writeWithoutBackup = [this](const QString &error) {
        return MessageBoxes::askYesNo(&m_form1,
                                      LanguageTexts::text(Text::WriteWithoutBackupQuestion).arg(error),
                                      LanguageTexts::text(Text::WriteWithoutBackup), false);
    };
    const ExchangeResult result = service().write(m_form1, steps);
    m_form1.VersionQueryRequested = false;
    // Before the messages: the share runs while the technician reads them.
    shareWhatWasKept();
    switch (result) {
    case ExchangeResult::Refused:
        showRefusal();
        break;
    case ExchangeResult::Cancelled:
        // A confirmation closed with Esc or its close box, a write without a
        // backup declined, or the list of changes cancelled, ends the write
        // before any byte of the block: say so, or it passes for a write.
        MessageBoxes::showMessage(&m_form1, LanguageTexts::text(Text::WriteCancelled));
        break;
    case ExchangeResult::Done:
        if (!service().outcome().readBack.isEmpty())
            m_form1.setStatusNote(LanguageTexts::text(Text::WrittenAndVerified));
        break;
    case ExchangeResult::Mismatch:
        showMismatch();
        break;
    case ExchangeResult::Unverified:
        MessageBoxes::showMessage(&m_form1, LanguageTexts::text(Text::WriteUnverified));
        break;
    default:
        break; // the exchange has said what went wrong
    }
}

void DeviceCommands::showMismatch()
{
    const ExchangeService::Outcome &outcome = service().outcome();
    QString text = LanguageTexts::text(Text::StoredOtherwise);
    for (const auto &[written, read] :
         ParameterListing::differing(*service().sentRecord(), *service().readBackRecord(), true))
        text += QLatin1Char('\n') +
                LanguageTexts::text(Text::WrittenAndReadBack).arg(written.label, written.value, read.value);
    // Bytes no parameter explains are listed by position: the list is never empty.
    for (const int k : outcome.unlistedBytes)
        text += QLatin1Char('\n') + LanguageTexts::text(Text::BlockByteDiffers)
                                        .arg(k)
                                        .arg(ExchangeService::hexByte(outcome.sentBlock.at(k - 1)),
                                             ExchangeService::hexByte(outcome.readBack.at(k - 1)));
    text += QStringLiteral("\n\n") +
            (outcome.backupPath.isEmpty()
                 ? LanguageTexts::text(Text::NoBackupKept)
                 : LanguageTexts::text(Text::BackupKeptIn).arg(QDir::toNativeSeparators(outcome.backupPath)) +
                       QLatin1Char('\n') + LanguageTexts::text(Text::WriteAgainFromBackup));
    MessageBoxes::showWarning(&m_form1, text);
}

void DeviceCommands::compare()
{
    if (service().busy())
        return;
    prepare();
    m_form1.VersionQueryRequested = false;
    // Read into a record of its own: nothing of the window changes.
    MemoryRecord device;
    const ExchangeResult read = service().read(device);
    shareWhatWasKept();
    if (read != ExchangeResult::Done)
        return; // the exchange has said what went wrong
    CompareWindow window(&m_form1);
    DialogPlacement::centreAtEveryShowing(&window);
    if (window.prepare(m_form1, device, CompareWindow::Source::Communicator) == 0) {
        MessageBoxes::showMessage(&m_form1, LanguageTexts::text(Text::SameAsCommunicator));
        return;
    }
    // Taken, the communicator's values are in the window as after a Read,
    // the options its firmware does not offer held and disabled.
    if (window.exec() == QDialog::Accepted) {
        SettingsDiff::copy(device, m_form1);
        FirmwareOptions::apply(device.deviceValue(DeviceValue::FirmwareVersion), m_form1);
    }
}

void DeviceCommands::history()
{
    const QString folder = m_form1.refreshProgramFolder();
    DeviceHistory kept(folder, DeviceHistory::optionsOf(folder));
    HistoryWindow window(&m_form1);
    DialogPlacement::centreAtEveryShowing(&window);
    window.fill(kept);
    HistorySharing &sharing = *m_form1.Sharing;
    window.setShareState(sharing.text());
    connect(&sharing, &HistorySharing::stateChanged, &window,
            [&window, &sharing] { window.setShareState(sharing.text()); });
    // A site set is an entry of its own, shared as every other.
    connect(&window, &HistoryWindow::siteKept, this, [this, folder] { m_form1.Sharing->request(folder); });
    if (window.exec() != QDialog::Accepted || !window.chosen())
        return;
    const QString path = window.chosen()->path;
    if (window.action() == HistoryWindow::Action::Open) {
        m_form1.Files->openPath(path);
        m_form1.refreshHistoryBar();
        return;
    }
    MemoryRecord file;
    if (const Result<void> loaded = SettingsFile::load(path, file); !loaded) {
        MessageBoxes::showMessage(&m_form1, loaded.failure().reason);
        return;
    }
    CompareWindow compare(&m_form1);
    DialogPlacement::centreAtEveryShowing(&compare);
    if (compare.prepare(m_form1, file, CompareWindow::Source::File) == 0) {
        MessageBoxes::showMessage(&m_form1, LanguageTexts::text(Text::SameAsFile));
        return;
    }
    // Taken, the file's values are in the window as an Open would put them;
    // the current file stays.
    if (compare.exec() == QDialog::Accepted)
        if (const Result<void> loaded = SettingsFile::load(path, m_form1); !loaded)
            MessageBoxes::showMessage(&m_form1, loaded.failure().reason);
}

void DeviceCommands::counterAction(const QString &target)
{
    m_form1.ActionTarget = target;
    switch (m_form1.companions().Form7->choose()) {
    case TForm7::Action::ReadFromDevice:
        m_form1.VersionQueryRequested = true;
        break;
    case TForm7::Action::ClearCounter:
        // Only the window changes; the next write clears the communicator's.
        if (target == QLatin1String("rezim"))
            m_form1.Edit14->setText(QStringLiteral("0"));
        else if (target == QLatin1String("citac"))
            m_form1.Edit157->setText(QStringLiteral("0"));
        break;
    case TForm7::Action::Cancel:
        break;
    }
}
