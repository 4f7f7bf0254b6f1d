// The port choice radio group against real pseudo-terminals: COM1 is a free
// terminal, COM3 one that another opener holds, every other port a path that
// does not exist.

#include "app/AfPortControls.h"
#include "app/MessageBoxes.h"
#include "platform/SerialPortInfo.h"
#include "serial/pty_helper.h"

#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace
{

constexpr TAfPortCtlOptions allOptions =
    AfPortCtlOption(pcCheckExist) | AfPortCtlOption(pcDisableOpen) | AfPortCtlOption(pcHighlightOpen);

// A pseudo-terminal slave opened and locked the way another serial program
// holds its port.
class HeldTerminal
{
  public:
    explicit HeldTerminal(const QString &path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~HeldTerminal()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }

  private:
    int m_fd = -1;
};

QColor captionColour(const QRadioButton *button)
{
    return button->palette().color(QPalette::Active, QPalette::WindowText);
}

} // namespace

class PortControlsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PortsFolder> folder;
    std::unique_ptr<PtyPair> freeLine;
    std::unique_ptr<PtyPair> heldLine;
    std::unique_ptr<HeldTerminal> holder;

    QString missing(int n) const { return folder->path() + QStringLiteral("/no-such-tty%1").arg(n); }

    // A group set up the way the port dialog keeps it, probed once.
    std::unique_ptr<TAfPortRadioGroup> programGroup()
    {
        auto group = std::make_unique<TAfPortRadioGroup>();
        group->BeginLoading();
        group->SetMaxComPorts(16);
        group->SetOptions(allOptions);
        group->SetColumns(2);
        group->Loaded();
        return group;
    }

    TAfPortState stateOf(const TAfPortRadioGroup &group, int index) const
    {
        return static_cast<TAfPortState>(group.ItemValue(index) >> 16);
    }

  private slots:
    void initTestCase() { MessageBoxes::showSerialErrors(); }
    void init()
    {
        // No built-in path can reach a real terminal even if a [Ports] entry
        // were missing.
        if (qEnvironmentVariableIsEmpty("TESSARO_DEVICE_ROOT"))
            qputenv("TESSARO_DEVICE_ROOT", "/nonexistent-tessaro-test-devices");
        folder = std::make_unique<PortsFolder>();
        freeLine = std::make_unique<PtyPair>();
        heldLine = std::make_unique<PtyPair>();
        QVERIFY(folder->ok() && freeLine->ok() && heldLine->ok());
        holder = std::make_unique<HeldTerminal>(heldLine->slavePath());
        QVERIFY(holder->ok());
        QMap<int, QString> ports;
        for (int n = 1; n <= 16; ++n)
            ports[n] = missing(n);
        ports[1] = freeLine->slavePath();
        ports[3] = heldLine->slavePath();
        QVERIFY(folder->setPorts(ports));
    }
    void cleanup()
    {
        MessageBoxes::setResponder(nullptr);
        holder.reset();
        heldLine.reset();
        freeLine.reset();
        folder.reset();
    }

    void probeTellsFreeBusyAbsent()
    {
        QCOMPARE(TAfPortRadioGroup::ProbePort(1), psFree);
        QCOMPARE(TAfPortRadioGroup::ProbePort(2), psAbsent);
        QCOMPARE(TAfPortRadioGroup::ProbePort(3), psBusy);
        QCOMPARE(TAfPortRadioGroup::ProbePort(0), psAbsent);  // no device path at all
        QCOMPARE(TAfPortRadioGroup::ProbePort(17), psAbsent); // beyond the built-in names
        // Something that exists but is no terminal cannot be used either.
        QFile plain(folder->path() + QStringLiteral("/plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(folder->setPort(2, plain.fileName()));
        QCOMPARE(TAfPortRadioGroup::ProbePort(2), psBusy);

        // The probe lets go at once: nothing stays open and another program
        // can take the port right after.
        const int before = openDescriptorCount();
        QCOMPARE(TAfPortRadioGroup::ProbePort(1), psFree);
        QCOMPARE(openDescriptorCount(), before);
        HeldTerminal after(freeLine->slavePath());
        QVERIFY(after.ok());
        QCOMPARE(TAfPortRadioGroup::ProbePort(1), psBusy);
    }

    void programGroupEnablesOnlyTheFreePort()
    {
        auto group = programGroup();
        QCOMPARE(group->ItemCount(), 16);
        for (int i = 0; i < 16; ++i) {
            const int n = i + 1;
            QCOMPARE(int(group->ItemValue(i) & 0xFFFF), n);
            const TAfPortState expected = n == 1 ? psFree : n == 3 ? psBusy : psAbsent;
            QCOMPARE(stateOf(*group, i), expected);
            QVERIFY2(group->Button(i)->isEnabled() == (n == 1), qPrintable(QString::number(n)));
        }
        QCOMPARE(group->ItemIndex(), -1);
    }

    void captions_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("caption");
        QTest::newRow("first") << 1 << "COM &1";
        QTest::newRow("last with accelerator") << 9 << "COM &9";
        QTest::newRow("first without") << 10 << "COM 10";
        QTest::newRow("last") << 16 << "COM 16";
    }
    void captions()
    {
        QFETCH(int, port);
        QFETCH(QString, caption);
        auto group = programGroup();
        QCOMPARE(group->Button(port - 1)->text(), caption);
    }

    void optionsDecideEnablingAndColour_data()
    {
        QTest::addColumn<int>("options");
        QTest::addColumn<bool>("busyEnabled");
        QTest::addColumn<bool>("busyGrey");
        QTest::addColumn<bool>("absentEnabled");
        const auto check = AfPortCtlOption(pcCheckExist);
        const auto disable = AfPortCtlOption(pcDisableOpen);
        const auto highlight = AfPortCtlOption(pcHighlightOpen);
        QTest::newRow("none") << 0 << true << false << true;
        QTest::newRow("check exist") << int(check) << true << false << false;
        QTest::newRow("disable open") << int(disable) << false << false << true;
        QTest::newRow("highlight open") << int(highlight) << true << true << true;
        QTest::newRow("highlight, check exist") << (highlight | check) << true << true << false;
        QTest::newRow("disable wins over highlight") << (disable | highlight) << false << false << true;
        QTest::newRow("all") << int(allOptions) << false << false << false;
    }
    void optionsDecideEnablingAndColour()
    {
        QFETCH(int, options);
        QFETCH(bool, busyEnabled);
        QFETCH(bool, busyGrey);
        QFETCH(bool, absentEnabled);
        auto group = programGroup();
        group->SetOptions(static_cast<TAfPortCtlOptions>(options));
        const QColor grey = group->palette().color(QPalette::Disabled, QPalette::WindowText);
        const QColor normal = group->palette().color(QPalette::Active, QPalette::ButtonText);
        QVERIFY(grey != normal);

        QVERIFY(group->Button(0)->isEnabled());
        QCOMPARE(captionColour(group->Button(0)), normal);
        QCOMPARE(group->Button(2)->isEnabled(), busyEnabled);
        QCOMPARE(captionColour(group->Button(2)), busyGrey ? grey : normal);
        QCOMPARE(group->Button(1)->isEnabled(), absentEnabled);
        QCOMPARE(captionColour(group->Button(1)), normal);
        QCOMPARE(group->Button(15)->isEnabled(), absentEnabled);
    }

    void selectedPort_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("index");
        QTest::newRow("none") << 0 << -1;
        QTest::newRow("free port") << 1 << 0;
        QTest::newRow("disabled port") << 3 << 2; // set from outside, it stays selected
        QTest::newRow("last") << 16 << 15;
        QTest::newRow("beyond the list") << 20 << 15;
    }
    void selectedPort()
    {
        QFETCH(int, port);
        QFETCH(int, index);
        auto group = programGroup();
        group->SetSelectedPort(7); // something selected before
        group->SetSelectedPort(static_cast<uint16_t>(port));
        QCOMPARE(group->SelectedPort(), uint16_t(port)); // kept even when beyond the list
        QCOMPARE(group->ItemIndex(), index);
        for (int i = 0; i < group->ItemCount(); ++i)
            QCOMPARE(group->Button(i)->isChecked(), i == index);
    }

    void loadingDefersFillAndSelection()
    {
        TAfPortRadioGroup group;
        group.BeginLoading();
        group.SetSelectedPort(2);
        group.SetMaxComPorts(16);
        QCOMPARE(group.ItemCount(), 0);
        QCOMPARE(group.ItemIndex(), -1);
        group.Loaded();
        QCOMPARE(group.ItemCount(), 16);
        QCOMPARE(group.ItemIndex(), 1);
        QVERIFY(group.Button(1)->isChecked());

        // Left to its defaults: four ports, only missing ones disabled.
        TAfPortRadioGroup plain;
        plain.Loaded();
        QCOMPARE(plain.ItemCount(), 4);
        QVERIFY(plain.Button(0)->isEnabled());
        QVERIFY(!plain.Button(1)->isEnabled());
        QVERIFY(plain.Button(2)->isEnabled()); // busy stays usable
        QVERIFY(!plain.Button(3)->isEnabled());
    }

    void whatProbesAgain()
    {
        auto group = programGroup();
        group->SetMaxComPorts(4);
        QCOMPARE(group->ItemCount(), 4);
        QVERIFY(!group->Button(1)->isEnabled());

        // COM2 appears: options and the same count keep the states found.
        PtyPair appeared;
        QVERIFY(appeared.ok());
        QVERIFY(folder->setPort(2, appeared.slavePath()));
        group->SetOptions(allOptions);
        group->SetMaxComPorts(4);
        QCOMPARE(stateOf(*group, 1), psAbsent);
        QVERIFY(!group->Button(1)->isEnabled());

        // Another count rebuilds and looks again.
        group->SetMaxComPorts(5);
        QCOMPARE(group->ItemCount(), 5);
        QCOMPARE(stateOf(*group, 1), psFree);
        QVERIFY(group->Button(1)->isEnabled());

        // So does a new font.
        QVERIFY(folder->setPort(2, missing(2)));
        QFont font = group->font();
        font.setPixelSize(font.pixelSize() > 0 ? font.pixelSize() + 3 : 20);
        group->setFont(font);
        QCOMPARE(stateOf(*group, 1), psAbsent);
        QVERIFY(!group->Button(1)->isEnabled());
    }

    void columnsRunDownward()
    {
        auto group = programGroup();
        group->resize(205, 209);
        group->show();
        QVERIFY(QTest::qWaitForWindowExposed(group.get()));
        QCOMPARE(group->Button(7)->x(), group->Button(0)->x());
        QVERIFY(group->Button(7)->y() > group->Button(0)->y());
        QVERIFY(group->Button(8)->x() > group->Button(0)->x());
        QCOMPARE(group->Button(8)->y(), group->Button(0)->y());
        group->SetColumns(4);
        QTRY_VERIFY(group->Button(4)->x() > group->Button(3)->x());
        QCOMPARE(group->Button(4)->y(), group->Button(0)->y());
    }

    void clickSelectsWithoutProbing()
    {
        auto group = programGroup();
        int clicks = 0;
        group->OnClick = [&clicks, g = group.get()](QObject *sender) {
            QCOMPARE(sender, static_cast<QObject *>(g));
            ++clicks;
        };
        PtyPair appeared;
        QVERIFY(appeared.ok());
        QVERIFY(folder->setPort(2, appeared.slavePath()));

        group->Button(2)->click(); // disabled: nothing
        QCOMPARE(clicks, 0);
        group->Button(0)->click();
        QCOMPARE(clicks, 1);
        QCOMPARE(group->SelectedPort(), uint16_t(1));
        QCOMPARE(group->ItemIndex(), 0);
        // A click does not look again; showing the list (RefreshPorts) does.
        QCOMPARE(stateOf(*group, 1), psAbsent);
        group->RefreshPorts();
        QCOMPARE(stateOf(*group, 1), psFree);
        QVERIFY(group->Button(1)->isEnabled());
        group->Button(1)->click();
        QCOMPARE(group->SelectedPort(), uint16_t(2));
        QVERIFY(!group->Button(0)->isChecked());
    }

    void linkedPortFollowsTheClick()
    {
        auto group = programGroup();
        auto port = std::make_unique<TAfComPort>();
        port->SetComNumber(5);
        group->SetComPort(port.get());
        QCOMPARE(group->SelectedPort(), uint16_t(5));
        QCOMPARE(group->ItemIndex(), 4);

        group->Button(0)->click();
        QCOMPARE(port->ComNumber(), 1);
        QVERIFY(port->IsOpen());
        // The port this program holds stays usable, then and at the next look.
        QCOMPARE(stateOf(*group, 0), psFree);
        group->RefreshPorts();
        QCOMPARE(stateOf(*group, 0), psFree);
        QVERIFY(group->Button(0)->isEnabled());
        QVERIFY(group->Button(0)->isChecked());
        port->Close();

        port.reset();
        QVERIFY(!group->ComPort());
    }

    void failedOpenStillRefreshes()
    {
        QStringList shown;
        MessageBoxes::setResponder([&shown](const MessageBoxes::Shown &s) {
            shown << s.text;
            return false;
        });
        auto group = programGroup();
        group->SetOptions(0); // the missing ports can be clicked
        auto port = std::make_unique<TAfComPort>();
        port->SetComNumber(1);
        group->SetComPort(port.get());
        PtyPair appeared;
        QVERIFY(appeared.ok());
        QVERIFY(folder->setPort(4, appeared.slavePath()));

        group->Button(1)->click();
        QCOMPARE(port->ComNumber(), 2);
        QVERIFY(!port->IsOpen());
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(QStringLiteral("COM2")), qPrintable(shown[0]));
        QCOMPARE(group->SelectedPort(), uint16_t(2));
        QCOMPARE(stateOf(*group, 3), psAbsent); // not looked at again
    }

    // Ports as sysfs tells of them: a fake tree maps each pseudo-terminal's
    // device number to a folder of the test's making.
    void sysfsTellsPortsApart_data()
    {
        QTest::addColumn<QString>("type");    // "" no type attribute
        QTest::addColumn<QString>("adapter"); // "maker|product", "" not on USB
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("tip"); // after the path
        QTest::newRow("serial node without UART") << "0"
                                                  << "" << int(psAbsent) << "";
        QTest::newRow("serial node with a 16550A") << "4"
                                                   << "" << int(psFree) << "";
        QTest::newRow("USB adapter") << ""
                                     << "FTDI|FT232R USB UART" << int(psFree)
                                     << " \u2013 FTDI FT232R USB UART";
        QTest::newRow("USB adapter without names") << ""
                                                   << "|" << int(psFree) << "";
    }
    void sysfsTellsPortsApart()
    {
        QFETCH(QString, type);
        QFETCH(QString, adapter);
        QFETCH(int, state);
        QFETCH(QString, tip);
        QTemporaryDir sys;
        struct stat st {
        };
        QVERIFY(::stat(QFile::encodeName(freeLine->slavePath()).constData(), &st) == 0);
        const QString usbDevice = sys.filePath("devices/usb1/1-1");
        const QString tty = usbDevice + "/1-1:1.0/ttyUSB0/tty/ttyUSB0";
        QVERIFY(QDir().mkpath(tty) && QDir().mkpath(sys.filePath("dev/char")));
        auto write = [](const QString &file, const QString &text) {
            QFile f(file);
            return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8() + '\n') > 0;
        };
        if (!type.isEmpty())
            QVERIFY(write(tty + "/type", type));
        if (!adapter.isEmpty()) {
            QVERIFY(write(usbDevice + "/idVendor", "0403"));
            const QStringList names = adapter.split('|');
            if (!names[0].isEmpty())
                QVERIFY(write(usbDevice + "/manufacturer", names[0]));
            if (!names[1].isEmpty())
                QVERIFY(write(usbDevice + "/product", names[1]));
            QVERIFY(QFile::link(usbDevice + "/1-1:1.0/ttyUSB0", tty + "/device"));
        }
        QVERIFY(QFile::link(
            tty,
            sys.filePath(QStringLiteral("dev/char/%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev)))));
        SerialPortInfo::setSysfsRoot(sys.path());
        const TAfPortState probed = TAfPortRadioGroup::ProbePort(1);
        const QString description = TAfPortRadioGroup::PortDescription(1);
        SerialPortInfo::setSysfsRoot(QStringLiteral("/sys"));
        QCOMPARE(int(probed), state);
        QCOMPARE(description, freeLine->slavePath() + tip);
    }
};

QTEST_MAIN(PortControlsTest)
#include "tst_portcontrols.moc"
