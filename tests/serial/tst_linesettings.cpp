#include "platform/PortPaths.h"
#include "platform/TerminalDevice.h"
#include "platform/TerminalTermios.h"
#include "serial/AfComPort.h"
#include "serial/pty_helper.h"

#include "app/AfLineSettingsDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// Where ports live, how a record becomes termios, and how a record maps
// back onto the component's properties.
class LineSettingsTest : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { TAfLineSettingsDialog::installForPorts(); }
    void devicePaths_data();
    void devicePaths();
    void termiosFromRecord_data();
    void termiosFromRecord();
    void propertiesBuildRecord_data();
    void propertiesBuildRecord();
    void recordBackOntoProperties_data();
    void recordBackOntoProperties();
    void flowLimits();
    void configDialog_data();
    void configDialog();
};

void LineSettingsTest::devicePaths_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("configured"); // [Ports] entry, empty for none
    QTest::addColumn<QString>("expected");

    QTest::newRow("COM1") << 1 << ""
                          << "/dev/ttyS0";
    QTest::newRow("COM8") << 8 << ""
                          << "/dev/ttyS7";
    QTest::newRow("COM9") << 9 << ""
                          << "/dev/ttyUSB0";
    QTest::newRow("COM12") << 12 << ""
                           << "/dev/ttyUSB3";
    QTest::newRow("COM13") << 13 << ""
                           << "/dev/ttyACM0";
    QTest::newRow("COM16") << 16 << ""
                           << "/dev/ttyACM3";
    QTest::newRow("COM17 absent") << 17 << ""
                                  << "";
    QTest::newRow("COM0 never") << 0 << "/dev/pts/9"
                                << "";
    QTest::newRow("negative never") << -1 << "/dev/pts/9"
                                    << "";
    QTest::newRow("entry wins") << 1 << "/dev/pts/7"
                                << "/dev/pts/7";
    QTest::newRow("entry above 16") << 40 << "/tmp/port40"
                                    << "/tmp/port40";
}

void LineSettingsTest::devicePaths()
{
    QFETCH(int, number);
    QFETCH(QString, configured);
    QFETCH(QString, expected);
    PortsFolder folder;
    QVERIFY(folder.ok());
    // Another port's entry never leaks into this one.
    QVERIFY(folder.setPort(number + 1, QStringLiteral("/dev/pts/99")));
    if (!configured.isEmpty())
        QVERIFY(folder.setPort(number, configured));
    // The suite moves the built-in nodes out of /dev; the layout stays.
    const QString root = qEnvironmentVariable("TESSARO_DEVICE_ROOT");
    if (configured.isEmpty() && !expected.isEmpty())
        expected.prepend(root);
    QCOMPARE(PortPaths::devicePath(number), expected);
    QVERIFY(root.isEmpty() || !PortPaths::devicePath(number).startsWith(QStringLiteral("/dev/ttyS")));
}

void LineSettingsTest::termiosFromRecord_data()
{
    QTest::addColumn<uint32_t>("baud");
    QTest::addColumn<int>("byteSize");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<uint32_t>("flags");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("speed");
    QTest::addColumn<uint32_t>("customBaud");
    QTest::addColumn<int>("cflag"); // CSIZE, parity, stop and flow bits
    QTest::addColumn<int>("iflag"); // IXON, IXOFF, INPCK

    QTest::newRow("program") << 2400u << 8 << 0 << 0 << 0x1001u << true << int(B2400) << 0u << int(CS8) << 0;
    QTest::newRow("7 even two stop") << 9600u << 7 << 2 << 2 << 0x1u << true << int(B9600) << 0u
                                     << int(CS7 | PARENB | CSTOPB) << 0;
    QTest::newRow("odd with check") << 19200u << 8 << 1 << 0 << 0x3u << true << int(B19200) << 0u
                                    << int(CS8 | PARENB | PARODD) << int(INPCK);
    QTest::newRow("mark") << 1200u << 6 << 3 << 0 << 0x1u << true << int(B1200) << 0u
                          << int(CS6 | PARENB | PARODD | CMSPAR) << 0;
    QTest::newRow("space, 1.5 stop") << 300u << 5 << 4 << 1 << 0x1u << true << int(B300) << 0u
                                     << int(CS5 | PARENB | CMSPAR | CSTOPB) << 0;
    QTest::newRow("rts/cts") << 115200u << 8 << 0 << 0 << 0x2005u << true << int(B115200) << 0u
                             << int(CS8 | CRTSCTS) << 0;
    QTest::newRow("xon/xoff") << 4800u << 8 << 0 << 0 << 0x1301u << true << int(B4800) << 0u << int(CS8)
                              << int(IXON | IXOFF);
    QTest::newRow("14400 needs termios2")
        << 14400u << 8 << 0 << 0 << 0x1u << true << -1 << 14400u << int(CS8) << 0;
    QTest::newRow("four data bits") << 2400u << 4 << 0 << 0 << 0x1u << false << 0 << 0u << 0 << 0;
    QTest::newRow("parity code 5") << 2400u << 8 << 5 << 0 << 0x1u << false << 0 << 0u << 0 << 0;
    QTest::newRow("stop code 3") << 2400u << 8 << 0 << 3 << 0x1u << false << 0 << 0u << 0 << 0;
    QTest::newRow("rate 0") << 0u << 8 << 0 << 0 << 0x1u << false << 0 << 0u << 0 << 0;
}

void LineSettingsTest::termiosFromRecord()
{
    QFETCH(uint32_t, baud);
    QFETCH(int, byteSize);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    QFETCH(uint32_t, flags);
    QFETCH(bool, accepted);
    QFETCH(int, speed);
    QFETCH(uint32_t, customBaud);
    QFETCH(int, cflag);
    QFETCH(int, iflag);

    TerminalLineSettings record;
    record.BaudRate = baud;
    record.ByteSize = uint8_t(byteSize);
    record.Parity = uint8_t(parity);
    record.StopBits = uint8_t(stopBits);
    record.Flags = flags;
    record.XonChar = 17;
    record.XoffChar = 19;
    termios t{};
    // Start from a cooked terminal full of settings that must go away.
    t.c_lflag = ICANON | ECHO | ISIG;
    t.c_iflag = ICRNL | IXANY;
    t.c_cflag = CRTSCTS | PARENB;
    uint32_t custom = 99;
    QCOMPARE(TerminalTermios::build(record, t, &custom), accepted);
    if (!accepted)
        return;
    QCOMPARE(custom, customBaud);
    if (speed >= 0)
        QCOMPARE(int(cfgetospeed(&t)), speed);
    QCOMPARE(int(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS)), cflag);
    QCOMPARE(int(t.c_iflag & (IXON | IXOFF | IXANY | INPCK | ICRNL)), iflag);
    QCOMPARE(int(t.c_lflag & (ICANON | ECHO | ISIG)), 0);
    QVERIFY(t.c_cflag & CREAD);
    QVERIFY(t.c_cflag & CLOCAL);
    QCOMPARE(int(t.c_cc[VSTART]), 17);
    QCOMPARE(int(t.c_cc[VSTOP]), 19);
    QCOMPARE(int(t.c_cc[VMIN]), 0);
    QCOMPARE(int(t.c_cc[VTIME]), 0);
}

void LineSettingsTest::propertiesBuildRecord_data()
{
    QTest::addColumn<int>("flow");
    QTest::addColumn<bool>("dtr");
    QTest::addColumn<bool>("rts");
    QTest::addColumn<int>("options");
    QTest::addColumn<uint32_t>("flags");

    QTest::newRow("defaults") << int(fwNone) << true << true << 0 << 0x1011u;
    QTest::newRow("program") << int(fwNone) << false << true << 0 << 0x1001u;
    QTest::newRow("xon/xoff") << int(fwXOnXOff) << true << true << 0 << 0x1311u;
    QTest::newRow("rts/cts drops rts enable") << int(fwRtsCts) << true << true << 0 << 0x2015u;
    QTest::newRow("dtr/dsr drops dtr enable") << int(fwDtrDsr) << true << true << 0 << 0x1029u;
    QTest::newRow("all options") << int(fwNone) << false << false << 0x1F << 0xCC3u;
    QTest::newRow("parity check only")
        << int(fwNone) << false << false << int(AfComOption(coParityCheck)) << 0x3u;
}

void LineSettingsTest::propertiesBuildRecord()
{
    QFETCH(int, flow);
    QFETCH(bool, dtr);
    QFETCH(bool, rts);
    QFETCH(int, options);
    QFETCH(uint32_t, flags);
    TAfComPort port;
    port.SetDTR(dtr);
    port.SetRTS(rts);
    port.SetOptions(TAfComOptions(options));
    port.SetFlowControl(TAfFlowControl(flow)); // rebuilds
    QCOMPARE(port.DCB().Flags, flags);
    QCOMPARE(port.DCB().DCBlength, 28u);
    QCOMPARE(port.DCB().BaudRate, 115200u);
}

void LineSettingsTest::recordBackOntoProperties_data()
{
    QTest::addColumn<uint32_t>("baud");
    QTest::addColumn<int>("byteSize");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<uint32_t>("flags");
    QTest::addColumn<int>("expectBaud");
    QTest::addColumn<int>("expectUser");
    QTest::addColumn<int>("expectBits");
    QTest::addColumn<int>("expectParity");
    QTest::addColumn<int>("expectStop");
    QTest::addColumn<int>("expectFlow");
    QTest::addColumn<int>("expectOptions");

    QTest::newRow("table rate") << 2400u << 8 << 0 << 0 << 0x1001u << int(br2400) << 0 << int(db8)
                                << int(paNone) << int(sbOne) << int(fwNone) << 0;
    QTest::newRow("user rate") << 250000u << 7 << 2 << 2 << 0x1u << int(brUser) << 250000 << int(db7)
                               << int(paEven) << int(sbTwo) << int(fwNone) << 0;
    QTest::newRow("unknown formats fall back") << 9600u << 9 << 7 << 5 << 0x1u << int(br9600) << 0 << int(db8)
                                               << int(paNone) << int(sbOne) << int(fwNone) << 0;
    QTest::newRow("dtr/dsr beats the rest") << 9600u << 8 << 0 << 0 << 0x232Cu << int(br9600) << 0 << int(db8)
                                            << int(paNone) << int(sbOne) << int(fwDtrDsr) << 0;
    QTest::newRow("rts/cts") << 9600u << 8 << 0 << 0 << 0x2004u << int(br9600) << 0 << int(db8) << int(paNone)
                             << int(sbOne) << int(fwRtsCts) << 0;
    QTest::newRow("half xon/xoff is none") << 9600u << 8 << 0 << 0 << 0x100u << int(br9600) << 0 << int(db8)
                                           << int(paNone) << int(sbOne) << int(fwNone) << 0;
    QTest::newRow("options") << 9600u << 8 << 0 << 0 << 0xC42u << int(br9600) << 0 << int(db8) << int(paNone)
                             << int(sbOne) << int(fwNone)
                             << int(AfComOption(coParityCheck) | AfComOption(coDsrSensitivity) |
                                    AfComOption(coErrorChar) | AfComOption(coStripNull));
}

void LineSettingsTest::recordBackOntoProperties()
{
    QFETCH(uint32_t, baud);
    QFETCH(int, byteSize);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    QFETCH(uint32_t, flags);
    TerminalLineSettings record;
    record.BaudRate = baud;
    record.ByteSize = uint8_t(byteSize);
    record.Parity = uint8_t(parity);
    record.StopBits = uint8_t(stopBits);
    record.Flags = flags;
    record.XonChar = 'a';
    record.XoffChar = 'b';
    record.XonLim = 100;
    record.XoffLim = 300;

    TAfComPort port;
    port.AssignLineSettings(record);
    QTEST(int(port.BaudRate()), "expectBaud");
    QTEST(port.UserBaudRate(), "expectUser");
    QTEST(int(port.Databits()), "expectBits");
    QTEST(int(port.Parity()), "expectParity");
    QTEST(int(port.Stopbits()), "expectStop");
    QTEST(int(port.FlowControl()), "expectFlow");
    QTEST(int(port.Options()), "expectOptions");
    QCOMPARE(port.XOnChar(), 'a');
    QCOMPARE(port.XOffChar(), 'b');
    QCOMPARE(port.XOnLim(), 100);
    QCOMPARE(port.XOffLim(), 300);
    QCOMPARE(port.DCB().BaudRate, baud);

    port.setObjectName(QStringLiteral("AfComPort1"));
    record.DCBlength = 27;
    try {
        port.AssignLineSettings(record);
        QFAIL("a record of the wrong length was taken");
    } catch (const EAfComPortError &e) {
        QCOMPARE(e.Message(), QStringLiteral("Error setting parameters from DCB - AfComPort1 "));
    }
}

void LineSettingsTest::flowLimits()
{
    TAfComPort port;
    port.SetInBufSize(4098);
    port.SetFlowControl(fwRtsCts);
    QCOMPARE(port.XOnLim(), 1024);
    QCOMPARE(port.XOffLim(), 4098 - 1024);
    port.SetXOnLim(100);
    QCOMPARE(port.XOffLim(), 3998);
    port.SetXOffLim(4000);
    QCOMPARE(port.XOnLim(), 98);
    port.SetFlowControl(fwNone);
    QCOMPARE(port.XOnLim(), 0);
    QCOMPARE(port.XOffLim(), 0);
    QCOMPARE(port.DCB().XonLim, 0);
}

// The box indexes follow the enums: data bits from db4, parity, stop bits,
// flow control.
void LineSettingsTest::configDialog_data()
{
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("rate"); // typed into the rate box
    QTest::addColumn<QList<int>>("boxes");
    QTest::addColumn<int>("expectBaud");
    QTest::addColumn<int>("expectUser");
    QTest::newRow("OK: listed rate, 7E2, RTS/CTS")
        << true << "9600" << QList<int>{3, 2, 2, 2} << int(br9600) << 0;
    QTest::newRow("OK: user rate, 5 bits, mark, 1.5, DTR/DSR")
        << true << "31250" << QList<int>{1, 3, 1, 3} << int(brUser) << 31250;
    QTest::newRow("OK: XON/XOFF back to 8N1") << true << "2400" << QList<int>{4, 0, 0, 1} << int(br2400) << 0;
    QTest::newRow("Cancel changes nothing") << false << "31250" << QList<int>{3, 2, 2, 2} << -1 << -1;
}

void LineSettingsTest::configDialog()
{
    QFETCH(bool, ok);
    QFETCH(QString, rate);
    QFETCH(QList<int>, boxes);
    QFETCH(int, expectBaud);
    QFETCH(int, expectUser);
    TAfComPort port;
    port.SetComNumber(4);
    port.SetBaudRate(br2400);
    port.SetOptions(AfComOption(coParityCheck));
    port.SetXOnChar(5);
    const TerminalLineSettings before = port.DCB();

    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<TAfLineSettingsDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        shown = true;
        QVERIFY(dialog->windowTitle().startsWith(QStringLiteral("COM4")));
        // It opens on the port's settings.
        QCOMPARE(dialog->BaudRateBox->currentText(), QStringLiteral("2400"));
        QCOMPARE(dialog->DataBitsBox->currentText(), QStringLiteral("8"));
        QCOMPARE(dialog->ParityBox->currentIndex(), 0);
        QCOMPARE(dialog->FlowControlBox->currentIndex(), 0);
        dialog->BaudRateBox->setEditText(rate);
        int i = 0;
        for (QComboBox *box :
             {dialog->DataBitsBox, dialog->ParityBox, dialog->StopBitsBox, dialog->FlowControlBox})
            box->setCurrentIndex(boxes[i++]);
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    });
    QCOMPARE(port.ShowConfigDialog(), ok);
    QVERIFY(shown);
    if (!ok) {
        QCOMPARE(port.DCB(), before);
        QCOMPARE(port.BaudRate(), br2400);
        return;
    }
    QCOMPARE(int(port.BaudRate()), expectBaud);
    QCOMPARE(port.UserBaudRate(), expectUser);
    QCOMPARE(
        (QList<int>{int(port.Databits()), int(port.Parity()), int(port.Stopbits()), int(port.FlowControl())}),
        boxes);
    // What the dialog does not show passes through.
    QCOMPARE(port.Options(), AfComOption(coParityCheck));
    QCOMPARE(port.XOnChar(), char(5));
}

QTEST_MAIN(LineSettingsTest)
#include "tst_linesettings.moc"
