// Field checks in the real main window: leaving a field for a button or
// another tab page runs its check; a menu command does not.

#include "app/FileCommands.h"
#include "app/KAVR10.h"
#include "app/ProgramWindows.h"
#include "app_helper.h"

#include <QAction>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

class WindowChecksTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    std::unique_ptr<ProgramWindows> windows;
    TForm1 *form = nullptr;
    int dialogs = 0;

    QLineEdit *edit(const char *name) { return form->findChild<QLineEdit *>(QLatin1String(name)); }

    // Puts the focus into a field and types into it, as a person would.
    void typeInto(QLineEdit *e, const QString &text)
    {
        e->setFocus(Qt::MouseFocusReason);
        QVERIFY(QTest::qWaitFor([e] { return e->hasFocus(); }, 1000));
        e->selectAll();
        QTest::keyClicks(e, text);
    }

  private slots:
    void init()
    {
        folder = std::make_unique<ProgramFolder>();
        folder->writeConfig(QStringLiteral("[Setup]\nUSB=0\nCOM=1\n"));
        log = std::make_unique<MessageLog>();
        dialogs = 0;
        FileCommands::setDialogPlayer([this](const FileCommands::DialogRequest &) {
            ++dialogs;
            return QString();
        });
        windows = std::make_unique<ProgramWindows>();
        form = windows->Form1;
        form->Timer1->stop();
        form->show();
        form->Timer1Timer(); // usable; the start-up query reports the missing port
        form->Timer1->stop();
        log->shown.clear();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
    }
    void cleanup()
    {
        FileCommands::setDialogPlayer(nullptr);
        windows.reset();
        log.reset();
        folder.reset();
    }

    void buttonClickRunsTheCheckFirst()
    {
        QLineEdit *code = edit("Edit140");
        typeInto(code, QStringLiteral("4"));
        QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
        QTRY_COMPARE(log->shown.size(), 1);
        QCOMPARE(log->shown[0].text,
                 QStringLiteral("Nesmí obsahovat 1 číslo, povinná jsou 2 čísla, prázdné je zrušení kódu"));
        QTRY_VERIFY(code->hasFocus());
        QCOMPARE(code->text(), QStringLiteral("4"));
    }

    void buttonClickCorrectsTheField()
    {
        QLineEdit *tone = edit("Edit152");
        form->PageControl1->setCurrentIndex(2);
        typeInto(tone, QStringLiteral("155"));
        QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
        QTRY_COMPARE(tone->text(), QStringLiteral("150"));
        QVERIFY(log->shown.isEmpty());
        QCOMPARE(dialogs, 1); // and Save went on to its dialog
    }

    void tabStripClickRunsTheCheck()
    {
        form->PageControl1->setCurrentIndex(0);
        QLineEdit *password = edit("Edit144");
        typeInto(password, QStringLiteral("739"));
        QTabBar *tabs = form->PageControl1->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QTRY_COMPARE(log->shown.size(), 1);
        QCOMPARE(log->shown[0].text, QStringLiteral("Heslo musí obsahovat 4 číslice"));
        QTRY_VERIFY(password->hasFocus());
        QCOMPARE(form->PageControl1->currentIndex(), 0); // back on the field's page
    }

    void menuCommandLeavesTheFieldUnchecked()
    {
        QLineEdit *password = edit("Edit144");
        typeInto(password, QStringLiteral("12"));
        form->findChild<QAction *>(QStringLiteral("Uloit1"))->trigger();
        QCOMPARE(dialogs, 1);
        QVERIFY(log->shown.isEmpty());
        QCOMPARE(password->text(), QStringLiteral("12"));
    }
};

QTEST_MAIN(WindowChecksTest)
#include "tst_windowchecks.moc"
