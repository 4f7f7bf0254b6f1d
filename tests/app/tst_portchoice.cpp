// The port choice dialog inside the program: what its list offers, the port
// command that reads and sets the program's port through it, and the "USB
// cable" box that hides the list.

#include "app/AfPortControls.h"
#include "app/HelpAndToolCommands.h"
#include "app/KAVR10.h"
#include "app/ProgramWindows.h"
#include "app/SerPort.h"
#include "app/Zobraz.h"
#include "app_helper.h"
#include "lang/LanguageTexts.h"
#include "platform/D2xx.h"
#include "platform/PrivateProfile.h"
#include "serial/AfComPort.h"

#include "sim/SimulatedD2xx.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <unistd.h>

namespace
{

// A pseudo-terminal whose slave stands in for a serial port.
class Terminal
{
  public:
    Terminal()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0 &&
            ::ptsname_r(m_master, name, sizeof name) == 0)
            m_slave = QString::fromLocal8Bit(name);
    }
    ~Terminal()
    {
        if (m_held >= 0)
            ::close(m_held);
        if (m_master >= 0)
            ::close(m_master);
    }
    bool ok() const { return !m_slave.isEmpty(); }
    QString slave() const { return m_slave; }
    // Opens and locks the slave as another serial program would.
    bool hold()
    {
        m_held = ::open(m_slave.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        return m_held >= 0 && ::flock(m_held, LOCK_EX | LOCK_NB) == 0;
    }

  private:
    int m_master = -1;
    int m_held = -1;
    QString m_slave;
};

} // namespace

class PortChoiceTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    std::unique_ptr<Terminal> freeLine;
    std::unique_ptr<Terminal> heldLine;
    std::unique_ptr<ProgramWindows> windows;
    TForm1 *form = nullptr;

    TAfPortRadioGroup *ports() const { return windows->Form5->AfPortRadioGroup1; }

    void start(int com)
    {
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=0\nCOM=%1\n").arg(com));
        QVERIFY(PrivateProfile::writeString(folder->configPath(), "Ports", "COM1", freeLine->slave()));
        QVERIFY(PrivateProfile::writeString(folder->configPath(), "Ports", "COM3", heldLine->slave()));
        windows = std::make_unique<ProgramWindows>();
        form = windows->Form1;
        form->Timer1->stop(); // no tick may query the line
        form->show();
        QCOMPARE(form->comNumber(), com);
    }

    // A click on a port's round indicator: one beside the caption misses.
    void clickPort(int port)
    {
        QRadioButton *button = ports()->Button(port - 1);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }

    // Runs the port command; `inside` plays the user while the dialog is up.
    void portCommand(std::function<void(TForm5 *)> inside)
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            TForm5 *dialog = windows->Form5;
            QVERIFY(dialog->isVisible());
            ran = true;
            inside(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        windows->HelpAndTools->portChoice();
        QVERIFY(ran);
    }

  private slots:
    void init()
    {
        folder = std::make_unique<ProgramFolder>();
        log = std::make_unique<MessageLog>();
        freeLine = std::make_unique<Terminal>();
        heldLine = std::make_unique<Terminal>();
        QVERIFY(freeLine->ok() && heldLine->ok());
        QVERIFY(heldLine->hold());
        D2xx::setBackend(std::make_shared<SimulatedD2xx>()); // no cable plugged
    }
    void cleanup()
    {
        windows.reset();
        D2xx::setBackend(nullptr);
        LanguageTexts::resetToDefaults();
        heldLine.reset();
        freeLine.reset();
        log.reset();
        folder.reset();
    }

    void listOffersOnlyTheFreePort()
    {
        start(1);
        TAfPortRadioGroup *list = ports();
        QCOMPARE(list->geometry(), QRect(20, 16, 205, 209));
        QCOMPARE(list->ItemCount(), 16);
        QCOMPARE(list->Columns(), 2);
        for (int i = 0; i < 16; ++i)
            QVERIFY2(list->Button(i)->isEnabled() == (i == 0), qPrintable(list->Button(i)->text()));

        // Its caption is a language text.
        LanguageTexts::setText(QStringLiteral("OTHER"), 12, QStringLiteral("Available ports"));
        form->applyLanguage();
        QCOMPARE(list->title(), QStringLiteral("Available ports"));
    }

    void portCommandTakesTheLastClick_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QString>("closeBy");
        QTest::addColumn<int>("after");
        QTest::newRow("click, close box") << 2 << QList<int>{1} << "close" << 1;
        QTest::newRow("click, escape") << 2 << QList<int>{1} << "reject" << 1;
        QTest::newRow("disabled click ignored") << 2 << QList<int>{1, 3} << "close" << 1;
        QTest::newRow("no click") << 3 << QList<int>{} << "close" << 3;
    }
    void portCommandTakesTheLastClick()
    {
        QFETCH(int, before);
        QFETCH(QList<int>, clicks);
        QFETCH(QString, closeBy);
        QFETCH(int, after);
        start(before);
        portCommand([&](TForm5 *dialog) {
            // The program's port is preselected, even a disabled one.
            QCOMPARE(ports()->ItemIndex(), before - 1);
            QVERIFY(ports()->Button(before - 1)->isChecked());
            for (int port : clicks)
                clickPort(port);
            if (closeBy == QLatin1String("close"))
                dialog->close();
            else
                dialog->reject();
        });
        QCOMPARE(form->comNumber(), after);
        QCOMPARE(ports()->SelectedPort(), uint16_t(after));
    }

    void listFollowsThePortsAtEachShowing()
    {
        start(1);
        windows->Form6->AfComPort1->SetComNumber(1);
        windows->Form6->AfComPort1->Open(); // as after an exchange
        Terminal plugged;
        QVERIFY(plugged.ok());
        portCommand([&](TForm5 *) {
            // The program's own open port is usable, before and after clicks.
            QVERIFY(ports()->Button(0)->isEnabled());
            QVERIFY(!ports()->Button(1)->isEnabled());
            clickPort(1);
            QVERIFY(ports()->Button(0)->isEnabled());
            // An adapter plugged in while the dialog is up waits for the next showing.
            QVERIFY(PrivateProfile::writeString(folder->configPath(), "Ports", "COM2", plugged.slave()));
            clickPort(1);
            QVERIFY(!ports()->Button(1)->isEnabled());
        });
        portCommand([&](TForm5 *) {
            QVERIFY(ports()->Button(0)->isEnabled());
            QVERIFY(ports()->Button(1)->isEnabled());
            QCOMPARE(ports()->Button(1)->toolTip(), plugged.slave());
        });
        QCOMPARE(form->comNumber(), 1);
        windows->Form6->AfComPort1->Close();
    }

    void usbCableHidesTheList()
    {
        start(1);
        TForm5 *dialog = windows->Form5;
        QVERIFY(ports()->isVisibleTo(dialog));
        dialog->CheckBox1->click();
        QVERIFY(dialog->CheckBox1->isChecked());
        QVERIFY(!ports()->isVisibleTo(dialog));
        // Nothing but the box is left to show.
        QVERIFY(dialog->height() < 100);
        QVERIFY(dialog->rect().contains(dialog->CheckBox1->geometry()));
        dialog->setUsbChecked(false);
        QVERIFY(ports()->isVisibleTo(dialog));
        QCOMPARE(dialog->size(), QSize(243, 264));
        QCOMPARE(dialog->CheckBox1->geometry(), QRect(64, 232, 97, 17));

        // Set at start-up from Config.ini, the box hides it before any showing.
        windows.reset();
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=1\nCOM=1\n"));
        windows = std::make_unique<ProgramWindows>();
        windows->Form1->Timer1->stop();
        windows->Form1->show();
        QVERIFY(windows->Form5->CheckBox1->isChecked());
        QVERIFY(!ports()->isVisibleTo(windows->Form5));
        bool hiddenWhileShown = false;
        portCommand([&](TForm5 *) { hiddenWhileShown = !ports()->isVisible(); });
        QVERIFY(hiddenWhileShown);
    }
};

QTEST_MAIN(PortChoiceTest)
#include "tst_portchoice.moc"
