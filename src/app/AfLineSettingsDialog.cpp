#include "app/AfLineSettingsDialog.h"

#include "serial/AfComPort.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QVBoxLayout>

#include <iterator>

TAfLineSettingsDialog::TAfLineSettingsDialog(const QString &portName, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AfLineSettingsDialog"));
    setWindowTitle(portName + QStringLiteral(" - Line settings"));

    BaudRateBox = new QComboBox(this);
    BaudRateBox->setObjectName(QStringLiteral("BaudRateBox"));
    BaudRateBox->setEditable(true);
    BaudRateBox->setInsertPolicy(QComboBox::NoInsert);
    BaudRateBox->setValidator(new QIntValidator(1, 4000000, BaudRateBox));
    for (const uint32_t rate : AfBaudRates)
        BaudRateBox->addItem(QString::number(rate));

    DataBitsBox = new QComboBox(this);
    DataBitsBox->setObjectName(QStringLiteral("DataBitsBox"));
    for (int bits = 4; bits <= 8; ++bits)
        DataBitsBox->addItem(QString::number(bits));

    ParityBox = new QComboBox(this);
    ParityBox->setObjectName(QStringLiteral("ParityBox"));
    ParityBox->addItems({QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even"),
                         QStringLiteral("Mark"), QStringLiteral("Space")});

    StopBitsBox = new QComboBox(this);
    StopBitsBox->setObjectName(QStringLiteral("StopBitsBox"));
    StopBitsBox->addItems({QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")});

    FlowControlBox = new QComboBox(this);
    FlowControlBox->setObjectName(QStringLiteral("FlowControlBox"));
    FlowControlBox->addItems({QStringLiteral("None"), QStringLiteral("XON/XOFF"), QStringLiteral("RTS/CTS"),
                              QStringLiteral("DTR/DSR")});

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Bits per second:"), BaudRateBox);
    form->addRow(QStringLiteral("&Data bits:"), DataBitsBox);
    form->addRow(QStringLiteral("&Parity:"), ParityBox);
    form->addRow(QStringLiteral("&Stop bits:"), StopBitsBox);
    form->addRow(QStringLiteral("&Flow control:"), FlowControlBox);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    SetLineSettings(m_record);
}

void TAfLineSettingsDialog::SetLineSettings(const TerminalLineSettings &record)
{
    m_record = record;
    const int rate = BaudRateBox->findText(QString::number(record.BaudRate));
    if (rate >= 0)
        BaudRateBox->setCurrentIndex(rate);
    else
        BaudRateBox->setEditText(QString::number(record.BaudRate));
    DataBitsBox->setCurrentIndex(record.ByteSize >= 4 && record.ByteSize <= 8 ? record.ByteSize - 4 : 4);
    ParityBox->setCurrentIndex(record.Parity <= 4 ? record.Parity : 0);
    StopBitsBox->setCurrentIndex(record.StopBits <= 2 ? record.StopBits : 0);
    FlowControlBox->setCurrentIndex(AfFlowControlOf(record.Flags));
}

TerminalLineSettings TAfLineSettingsDialog::LineSettings() const
{
    TerminalLineSettings r = m_record;
    bool ok = false;
    const uint rate = BaudRateBox->currentText().trimmed().toUInt(&ok);
    if (ok && rate > 0)
        r.BaudRate = rate;
    r.ByteSize = static_cast<uint8_t>(4 + DataBitsBox->currentIndex());
    r.Parity = static_cast<uint8_t>(ParityBox->currentIndex());
    r.StopBits = static_cast<uint8_t>(StopBitsBox->currentIndex());
    const int flow = FlowControlBox->currentIndex();
    r.Flags =
        (r.Flags & ~AfAllFlowBits) | AfFlowBits[flow >= 0 && flow < int(std::size(AfFlowBits)) ? flow : 0];
    return r;
}

void TAfLineSettingsDialog::installForPorts()
{
    TAfCustomComPort::SetConfigDialog([](const QString &portName, TerminalLineSettings &settings) {
        TAfLineSettingsDialog dialog(portName, QApplication::activeWindow());
        dialog.SetLineSettings(settings);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        settings = dialog.LineSettings();
        return true;
    });
}
