#include "app/DeviceCommands.h"

#include "app/AddressOpener.h"
#include "app/AfPortControls.h"
#include "app/Dotaz.h"
#include "app/HelpWindow.h"
#include "app/Hlaseni.h"
#include "app/KAVR10.h"
#include "app/MessageBoxes.h"
#include "app/Oprog.h"
#include "app/SerPort.h"
#include "app/Tony.h"
#include "app/Zobraz.h"
#include "device/ExchangeService.h"
#include "device/SerialTransport.h"
#include "device/UsbLink.h"
#include "device/WriteCheck.h"
#include "lang/LanguageTexts.h"
#include "lang/ProgramConfig.h"
#include "platform/ShellOpen.h"
#include "platform/SoundOutput.h"
#include "serial/AfComPort.h"
#include "settings/ParameterTable.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTabWidget>
#include <algorithm>

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
    connect(&exchange, &ExchangeService::messageRequested, this, [this, dialog](const QString &text) {
        MessageBoxes::showMessage(dialog->isVisible() ? static_cast<QWidget *>(dialog) : &m_form1, text);
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
    connect(&m_form1, &TForm1::helpRequested, this, &DeviceCommands::help);
    connect(&m_form1, &TForm1::newsRequested, this, &DeviceCommands::news);
    connect(&m_form1, &TForm1::aboutRequested, this, &DeviceCommands::about);
    connect(&m_form1, &TForm1::toneSamplesRequested, this, &DeviceCommands::toneSamples);
    connect(&m_form1, &TForm1::portChoiceRequested, this, &DeviceCommands::portChoice);
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

void DeviceCommands::colourIndicator(const QColor &colour)
{
    QLabel *indicator = m_form1.Label166;
    QPalette pal = indicator->palette();
    pal.setColor(QPalette::Window, colour);
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
    service().setUsbSelected(m_form1.usbSelected());
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
    MessageBoxes::showMessage(
        &m_form1, LanguageTexts::text(QStringLiteral("MESSAGE"), 61).arg(name, bad->text, bad->allowed));
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

void DeviceCommands::write()
{
    if (service().busy())
        return;
    prepare();
    // The write's version query answers a pending one too.
    m_form1.VersionQueryRequested = false;
    const ExchangeResult result =
        service().write(m_form1, [this](const DeviceCodec::DeviceCounters &device, SettingsRecord &) {
            return confirmCounters(device);
        });
    m_form1.VersionQueryRequested = false;
    if (result == ExchangeResult::Refused)
        showRefusal();
    // A confirmation closed with Esc or its close box ends the write before
    // any byte of the block: say so, or it passes for a write.
    if (result == ExchangeResult::Cancelled)
        MessageBoxes::showMessage(&m_form1, LanguageTexts::text(QStringLiteral("MESSAGE"), 71));
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

void DeviceCommands::help()
{
    // Only a plain page of the program folder is shown; a name the language
    // gives that is none counts as a missing file.
    const QString file =
        ShellOpen::helpFile(m_form1.refreshProgramFolder(), LanguageTexts::text(QStringLiteral("OTHER"), 37));
    if (file.isEmpty()) {
        MessageBoxes::showMessage(&m_form1, LanguageTexts::text(QStringLiteral("OTHER"), 38));
        return;
    }
    // The program's own window: it needs no browser.
    if (!m_help)
        m_help = new HelpWindow(&m_form1);
    m_help->showFile(file);
}

void DeviceCommands::news()
{
    // A text that is no web address opens nothing.
    AddressOpener::open(&m_form1, ShellOpen::webAddress(LanguageTexts::text(QStringLiteral("OTHER"), 53)));
}

void DeviceCommands::about()
{
    m_form1.companions().Form2->exec();
}

void DeviceCommands::toneSamples()
{
    if (!SoundOutput::available()) {
        MessageBoxes::showMessage(&m_form1, LanguageTexts::text(QStringLiteral("MESSAGE"), 15));
        return;
    }
    m_form1.companions().Form3->exec();
}

void DeviceCommands::portChoice()
{
    TForm5 *dialog = m_form1.companions().Form5;
    TAfPortRadioGroup *ports = dialog->AfPortRadioGroup1;
    ports->SetSelectedPort(static_cast<uint16_t>(std::clamp(m_form1.comNumber(), 0, 0xFFFF)));
    dialog->exec();
    // The dialog has no OK button: the port clicked last is taken however
    // the dialog was closed.
    m_form1.setComNumber(ports->SelectedPort());
}
