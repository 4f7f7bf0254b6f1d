// The print command of the main window: the print dialog (played, and the
// real one driven to print to a PDF file), the menu item and cursor around
// the job, a failed job, and the captions the printout takes from the
// window against those composed from the language texts.

#include "FileKinds.h"
#include "app/KAVR10.h"
#include "app/PrintCommand.h"
#include "app/ProgramWindows.h"
#include "app/WindowCaptions.h"
#include "app_helper.h"
#include "lang/LanguageTexts.h"
#include "settings/LanguageCaptions.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsPrintout.h"
#include "settings/print_recorder.h"

#include <QAction>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

namespace
{

QString message(int key)
{
    return LanguageTexts::text(QStringLiteral("MESSAGE"), key);
}

// The text of a PDF file; empty when it cannot be read.
QString pdfText(const QString &pdf)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(30000) || pdftotext.exitCode() != 0)
        return QString();
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

} // namespace

class PrintCommandTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    std::unique_ptr<ProgramWindows> windows;
    TForm1 *form = nullptr;
    QAction *item = nullptr;
    int dialogs = 0;             // dialogs played
    bool enabledInDialog = true; // the menu item while the last one was shown

    // Every parameter away from its default and every telephone number set,
    // so every caption the printout can print is printed.
    void fillForm()
    {
        const char *values[][2] = {
            {"Dial", "0"},         {"EndS", "#"},         {"HgUp", "12"},        {"Pasw", "2468"},
            {"BlPo", "1"},         {"InPo", "1"},         {"SeVo", "1"},         {"TONE", "2"},
            {"M001", "601111111"}, {"M002", "602222222"}, {"M003", "603333333"}, {"M004", "604444444"},
            {"M005", "605555555"}, {"M006", "606666666"}, {"M007", "607777777"}, {"M008", "608888888"},
            {"Chk1", "1"},         {"Chk2", "1"},         {"Chk3", "1"},         {"Chk4", "1"},
            {"Chk5", "1"},         {"Chk6", "1"},         {"Chk7", "1"},         {"Chk8", "1"},
            {"Nou1", "1"},         {"Nou2", "1"},         {"PoBt", "0"},         {"MaSp", "7.5"}};
        for (const auto &v : values)
            form->setStoredText(QLatin1String(v[0]), QLatin1String(v[1]));
    }

    QList<RecordedText> record(const PrintCaptions &captions, int dpi = 600, int width = 4960,
                               int height = 7016)
    {
        RecordingDevice device(dpi, width, height);
        SettingsPrintout printout(*form, captions);
        printout.setDate(QDate(2026, 12, 8));
        QPainter painter(&device);
        printout.draw(painter, [&device] { return device.newPage(); });
        return device.record().texts;
    }

    // Plays the print dialog: prints to the PDF file, or is cancelled.
    void playDialog(const QString &pdf, bool accept, int copies = 1)
    {
        PrintCommand::setDialogPlayer([=, this](QPrinter &printer) {
            ++dialogs;
            enabledInDialog = item->isEnabled();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setCopyCount(copies);
            return accept;
        });
    }

    int shownCount(const QString &text) const
    {
        return int(std::count_if(log->shown.begin(), log->shown.end(),
                                 [&](const MessageBoxes::Shown &s) { return s.text == text; }));
    }

  private slots:
    void init()
    {
        LanguageTexts::resetToDefaults();
        folder = std::make_unique<ProgramFolder>();
        folder->writeConfig(QString());
        log = std::make_unique<MessageLog>();
        windows = std::make_unique<ProgramWindows>();
        form = windows->Form1;
        form->Timer1->stop();
        item = form->menuBar()->findChild<QAction *>(QStringLiteral("isknastaven1"));
        QVERIFY(item);
    }
    void cleanup()
    {
        PrintCommand::setDialogPlayer(nullptr);
        dialogs = 0;
        enabledInDialog = true;
        windows.reset();
        log.reset();
        folder.reset();
        LanguageTexts::resetToDefaults();
    }

    void captionsAgree_data()
    {
        QTest::addColumn<bool>("loaded");
        QTest::newRow("built-in Czech texts") << false;
        QTest::newRow("texts of a language file") << true;
    }

    // The window and the language texts give the printout the same captions,
    // for every caption it prints and every option button.
    void captionsAgree()
    {
        QFETCH(bool, loaded);
        if (loaded) {
            LanguageTexts::setText(QStringLiteral("TAB1"), 11, QStringLiteral("Dialling"));
            LanguageTexts::setText(QStringLiteral("TAB4"), 12, QStringLiteral("Row"));
            LanguageTexts::setText(QStringLiteral("TAB4"), 1, QStringLiteral("Numbers"));
            LanguageTexts::setText(QStringLiteral("Menu"), 14, QStringLiteral("&Print"));
            LanguageTexts::setText(QStringLiteral("TAB3"), 42, QStringLiteral("Yes"));
            form->applyLanguage();
        }
        fillForm();
        const WindowCaptions window(*form);
        const LanguageCaptions language;

        QStringList controls = {QStringLiteral("isknastaven1"), QStringLiteral("TabSheet3"),
                                QStringLiteral("TabSheet1"),    QStringLiteral("GroupBox10"),
                                QStringLiteral("Label158"),     QStringLiteral("Label10")};
        for (const Parameter &param : ParameterTable::all())
            for (const Choice &choice : param.choices)
                if (choice.control)
                    controls << QLatin1String(choice.control);
        // The menu puts its hotkey marker into the print item's caption; the
        // printout leaves it out.
        for (const QString &control : controls) {
            QVERIFY2(!window.caption(control).isEmpty(), qPrintable(control));
            QCOMPARE(SettingsPrintout::withoutHotkey(window.caption(control)),
                     SettingsPrintout::withoutHotkey(language.caption(control)));
        }
        QCOMPARE(window.yesNo(true), language.yesNo(true));
        QCOMPARE(window.yesNo(false), language.yesNo(false));

        const QList<RecordedText> fromWindow = record(window);
        const QList<RecordedText> fromTexts = record(language);
        QCOMPARE(fromWindow.size(), fromTexts.size());
        QStringList printed;
        for (qsizetype i = 0; i < fromWindow.size(); ++i) {
            QCOMPARE(fromWindow[i].text, fromTexts[i].text);
            QCOMPARE(fromWindow[i].baseline, fromTexts[i].baseline);
            printed << fromWindow[i].text;
        }
        QCOMPARE(printed.contains(QStringLiteral(" Dialling ")), loaded);
        QCOMPARE(printed.contains(QStringLiteral("Print")), loaded);
        QCOMPARE(printed.contains(QStringLiteral("Row 6")), loaded);
    }

    void cancelPrintsNothing()
    {
        const QString pdf = folder->file(QStringLiteral("cancelled.pdf"));
        playDialog(pdf, false);
        item->trigger();
        QCOMPARE(dialogs, 1);
        QVERIFY(!enabledInDialog);
        QVERIFY(item->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(!QFile::exists(pdf));
        // Without a printer the command says so before the dialog, and
        // nothing else.
        const int noPrinter = QPrinterInfo::availablePrinters().isEmpty() ? 1 : 0;
        QCOMPARE(log->shown.size(), noPrinter);
        QCOMPARE(shownCount(message(65)), noPrinter);
    }

    // The real dialog, confirmed on printing to a PDF file: the file holds
    // every label and value of the printout.
    void printsThroughDialogToPdf()
    {
        fillForm();
        const QString pdf = folder->file(QStringLiteral("settings.pdf"));
        bool dialogSeen = false;
        QTimer driver;
        driver.setInterval(20);
        connect(&driver, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("filename"));
            if (!name || !name->isEnabled())
                return;
            dialogSeen = true;
            name->setText(pdf);
            dialog->accept();
        });
        driver.start();
        QTimer::singleShot(20000, [] {
            if (QWidget *w = QApplication::activeModalWidget())
                w->close();
        });
        item->trigger();
        driver.stop();
        QVERIFY(dialogSeen);
        QVERIFY(item->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor());
        const QString text = pdfText(pdf).simplified();
        QVERIFY(!text.isEmpty());
        // The same printout recorded on a page like the one the dialog set up.
        QPrinter reference(QPrinter::HighResolution);
        reference.setOutputFormat(QPrinter::PdfFormat);
        const QList<RecordedText> printed =
            record(WindowCaptions(*form), reference.logicalDpiX(), reference.width(), reference.height());
        QVERIFY(printed.size() > 100);
        for (const RecordedText &t : printed)
            if (!t.text.trimmed().isEmpty() && !t.text.contains(QLatin1String("Pg.-")))
                QVERIFY2(text.contains(t.text.simplified()), qPrintable(t.text));
        for (const char *pageNumber : {"Pg.- 1 -", "Pg.- 2 -"})
            QVERIFY(text.contains(QLatin1String(pageNumber)));
    }

    // A job that fails is ended, the item and the cursor come back, and the
    // failure is reported once.
    void failedJobRestoresAndReportsOnce()
    {
        const QString pdf = folder->file(QStringLiteral("no-such-folder/settings.pdf"));
        playDialog(pdf, true);
        item->trigger();
        QVERIFY(item->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(shownCount(message(66).arg(pdf)), 1);
        QVERIFY(!QFile::exists(pdf));

        // The next print works again; copies the PDF file cannot make itself
        // are printed one after the other, each from page 1.
        const QString good = folder->file(QStringLiteral("settings.pdf"));
        playDialog(good, true, 2);
        item->trigger();
        QCOMPARE(shownCount(message(66).arg(good)), 0);
        QCOMPARE(pdfText(good).count(QStringLiteral("Pg.- 1 -")), 2);
    }

    // Printing to a file of every kind, and to a regular file on a disk that
    // fills (the process's file size limit fails the writes as a full disk
    // does): a PDF lands only in a regular file (through a link, the file it
    // names) and only whole; anything else is the print-failed message, with
    // what stood there before left as it was.
    void pdfTargets_data()
    {
        FileKinds::addRows();
        QTest::newRow("full disk") << -1;
    }
    void pdfTargets()
    {
        QFETCH(int, kind);
        const bool fullDisk = kind < 0;
        const auto k = fullDisk ? FileKinds::Kind::Regular : FileKinds::Kind(kind);
        const QString pdf = folder->file(QStringLiteral("out.pdf"));
        MAKE_FILE_KIND(k, pdf, "old printout");
        playDialog(pdf, true);
        rlimit old{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (fullDisk) {
            rlimit small = old;
            small.rlim_cur = 2048;
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        item->trigger();
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        const bool written = FileKinds::isRegular(k) && !fullDisk;
        QCOMPARE(shownCount(message(66).arg(pdf)), written ? 0 : 1);
        QVERIFY(FileKinds::stillThere(k, pdf));
        if (written)
            QVERIFY(pdfText(pdf).contains(QLatin1String("Pg.- 1 -")));
        else if (FileKinds::isRegular(k))
            QCOMPARE(QFile(pdf).size(), qint64(12)); // "old printout"
        QCOMPARE(QDir(folder->path()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(PrintCommandTest)
#include "tst_printcommand.moc"
