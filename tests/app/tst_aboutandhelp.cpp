// The About box's links, logo and version line; the help window and the
// shipped help documents; what the user sees when nothing opens an address.

#include "TestFiles.h"
#include "app/HelpAndToolCommands.h"
#include "app/HelpWindow.h"
#include "app/KAVR10.h"
#include "app/LanguageApply.h"
#include "app/Oprog.h"
#include "app/ProgramWindows.h"
#include "app_helper.h"
#include "lang/LanguageTexts.h"
#include "platform/ShellOpen.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QToolButton>

#include <sys/stat.h>

namespace
{
const QString shipped = QStringLiteral(TESSARO_FIXTURES "/../../assets/program");
}

class AboutAndHelpTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    std::unique_ptr<ProgramWindows> windows;
    QStringList opened;
    QTemporaryDir emptyPath;
    QByteArray path;

    // The program with the shipped language files and help pages, on a
    // desktop without any opener: no hook, nothing on the PATH.
    void startWithoutOpener(const char *language)
    {
        for (const char *name : {"Cesky.lng", "English.lng", "Deutsch.lng", "Tessaro-CZ.html",
                                 "Tessaro-EN.html", "Tessaro-DE.html"}) {
            QFile::remove(folder->file(QLatin1String(name)));
            QVERIFY(copyUnsynced(shipped + QLatin1Char('/') + QLatin1String(name),
                                 folder->file(QLatin1String(name))));
        }
        folder->writeConfig(QStringLiteral("[Setup]\nLang=%1\n").arg(QLatin1String(language)));
        ShellOpen::setHook(nullptr);
        qputenv("PATH", emptyPath.path().toUtf8());
        windows = std::make_unique<ProgramWindows>();
        windows->Form1->Timer1->stop();
        windows->Form1->show();
        QCOMPARE(windows->Form1->LanguageFile, folder->file(QLatin1String(language)));
    }
    void useLanguage(const char *language)
    {
        windows->Form1->LanguageFile = folder->file(QLatin1String(language));
        windows->Form1->LoadLanguage();
    }
    HelpWindow *help() const { return windows->HelpAndTools->helpWindow(); }

    int scrolledAtClick = -1;
    // Clicks the link of the help page that leads to href, as a reader would.
    bool clickLink(const QString &href)
    {
        QTextBrowser *browser = help()->Browser;
        for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.charFormat().anchorHref() != href)
                    continue;
                QTextCursor cursor(browser->document());
                cursor.setPosition(fragment.position() + 1);
                browser->ensureCursorVisible();
                browser->setTextCursor(cursor);
                browser->ensureCursorVisible();
                const QPoint at = browser->cursorRect(cursor).center();
                scrolledAtClick = browser->verticalScrollBar()->value();
                QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, at);
                return true;
            }
        }
        return false;
    }

  private slots:
    void init()
    {
        folder = std::make_unique<ProgramFolder>();
        log = std::make_unique<MessageLog>();
        opened.clear();
        ShellOpen::setHook([this](const QString &t) { opened << t; });
        path = qgetenv("PATH");
    }
    void cleanup()
    {
        windows.reset();
        qputenv("PATH", path);
        ShellOpen::setHook(nullptr);
        LanguageTexts::resetToDefaults();
        log.reset();
        folder.reset();
    }

    // The maker's addresses and the subject come from the language, the
    // author's address stays; a web or mail text that is no plain address
    // opens nothing. Only the left button follows a link.
    void aboutLinks_data()
    {
        QTest::addColumn<QString>("web");
        QTest::addColumn<QString>("mail");
        QTest::addColumn<QStringList>("expected");
        const QString author = QStringLiteral("mailto:vyvoj@kavrotech.example?SUBJECT=Question from Tessaro");
        QTest::newRow("plain addresses")
            << "https://www.kavrotech.example/en/"
            << "service@kavrotech.example"
            << QStringList{"https://www.kavrotech.example/en/", "https://www.kavrotech.example/en/",
                           "mailto:service@kavrotech.example?SUBJECT=Question from Tessaro", author};
        QTest::newRow("file and attachment") << "file:///etc/passwd"
                                             << "a@b.example?attach=/etc/passwd" << QStringList{author};
        QTest::newRow("share and second header") << "smb://server/share"
                                                 << "a@b.example&cc=c@d.example" << QStringList{author};
        QTest::newRow("script and scheme") << "/tmp/payload.sh"
                                           << "mailto:a@b.example" << QStringList{author};
    }
    void aboutLinks()
    {
        QFETCH(QString, web);
        QFETCH(QString, mail);
        QFETCH(QStringList, expected);
        LanguageTexts::setText(QStringLiteral("MESSAGE"), 18, mail);
        LanguageTexts::setText(QStringLiteral("MESSAGE"), 19, QStringLiteral("Question from Tessaro"));
        LanguageTexts::setText(QStringLiteral("MESSAGE"), 20, web);
        TForm2 about;
        about.show();
        for (QLabel *link : {about.Label8, about.Image1, about.Label9, about.Label7}) {
            QTest::mouseClick(link, Qt::RightButton);
            QTest::mouseClick(link, Qt::LeftButton);
        }
        QCOMPARE(opened, expected);
        QVERIFY(log->shown.isEmpty());
    }

    // "Verze:" and the version stand one blank apart in every language; the
    // web line ends before the version panel.
    void aboutVersionAndWebLine_data()
    {
        QTest::addColumn<QString>("language");
        for (const char *name : {"Cesky.lng", "English.lng", "Deutsch.lng"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void aboutVersionAndWebLine()
    {
        QFETCH(QString, language);
        QVERIFY(LanguageTexts::loadFile(shipped + QLatin1Char('/') + language));
        TForm2 about;
        applyLanguageTexts({&about}, nullptr);
        about.show();
        const QFontMetrics metrics(about.Label10->font());
        const int textEnd = about.Label10->x() + metrics.horizontalAdvance(about.Label10->text());
        QVERIFY2(about.Label11->x() >= textEnd + metrics.horizontalAdvance(QLatin1Char(' ')),
                 qPrintable(QStringLiteral("%1 < %2").arg(about.Label11->x()).arg(textEnd)));
        QVERIFY(about.Label11->x() +
                    QFontMetrics(about.Label11->font()).horizontalAdvance(about.Label11->text()) <=
                about.Label11->parentWidget()->width());
        const QWidget *panel = about.Label11->parentWidget();
        QVERIFY2(about.Label8->geometry().right() < panel->x() - 2,
                 qPrintable(QStringLiteral("%1 / %2").arg(about.Label8->geometry().right()).arg(panel->x())));
    }

    // Help shows the page of the language in use in the program's own
    // window, with that language's texts, on a desktop with no opener.
    void helpWindowShowsThePageOfTheLanguage()
    {
        startWithoutOpener("Cesky.lng");
        const struct {
            const char *language, *page, *heading, *back;
        } languages[] = {
            {"Cesky.lng", "Tessaro-CZ.html", "nastavení nouzového komunikátoru KAVR", "Zpět"},
            {"English.lng", "Tessaro-EN.html", "configuring the KAVR lift emergency communicator", "Back"},
            {"Deutsch.lng", "Tessaro-DE.html", "Einstellung des Aufzugsnotrufgeräts KAVR", "Zurück"},
        };
        for (const auto &l : languages) {
            useLanguage(l.language);
            windows->Form1->findChild<QAction *>(QStringLiteral("Npovda1"))->trigger();
            QVERIFY(help() && help()->isVisible());
            QCOMPARE(help()->Browser->source(), QUrl::fromLocalFile(folder->file(QLatin1String(l.page))));
            QVERIFY2(help()->Browser->toPlainText().contains(QString::fromUtf8(l.heading)), l.page);
            QCOMPARE(help()->BackButton->text(), QString::fromUtf8(l.back));
            QVERIFY(!help()->BackButton->isEnabled()); // a new page, a new history
        }
        QVERIFY(log->shown.isEmpty());
    }

    // The help page's links: places and pages of the program folder are
    // shown in the window; web and mail addresses go to the desktop, and
    // with no opener there the address is shown for copying; nothing else
    // is followed.
    void helpWindowLinks_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("shown");   // page#place shown afterwards; empty: unchanged
        QTest::addColumn<QString>("address"); // shown in a message; empty: no message
        QTest::newRow("place in the page") << "#writing"
                                           << "Tessaro-EN.html#writing"
                                           << "";
        QTest::newRow("another page of the folder") << "Tessaro-DE.html"
                                                    << "Tessaro-DE.html"
                                                    << "";
        QTest::newRow("web address") << "https://www.kavrotech.example/"
                                     << ""
                                     << "https://www.kavrotech.example/";
        QTest::newRow("mail link") << "mailto:info@kavrotech.example"
                                   << ""
                                   << "info@kavrotech.example";
        // Named as a page of the folder, which is what would show.
        QTest::newRow("page outside the folder") << "../Tessaro-DE.html"
                                                 << ""
                                                 << "";
        QTest::newRow("file of the system") << "file:///etc/hosts"
                                            << ""
                                            << "";
        QTest::newRow("other scheme") << "ftp://kavrotech.example/"
                                      << ""
                                      << "";
    }
    void helpWindowLinks()
    {
        QFETCH(QString, link);
        QFETCH(QString, shown);
        QFETCH(QString, address);
        startWithoutOpener("English.lng");
        windows->HelpAndTools->help();
        QTextBrowser *browser = help()->Browser;
        const QUrl start = browser->source();
        // In front, as the reader has it: a link clicked keeps the keyboard's place.
        QVERIFY(QTest::qWaitForWindowActive(help()));
        QVERIFY(browser->hasFocus());
        QScrollBar *scroll = browser->verticalScrollBar();
        scroll->setValue(scroll->maximum() / 3); // the reader is a third of the way down
        int reading = scroll->value();
        if (clickLink(link))
            reading = scrolledAtClick;
        else
            help()->followLink(QUrl(link));
        if (!shown.isEmpty()) // reading on there
            scroll->setValue(scroll->value() + (scroll->maximum() - scroll->value()) / 2);
        const int there = scroll->value();
        QUrl expected = start;
        if (!shown.isEmpty()) {
            expected = QUrl::fromLocalFile(folder->file(shown.section(QLatin1Char('#'), 0, 0)));
            expected.setFragment(shown.section(QLatin1Char('#'), 1), QUrl::DecodedMode);
            if (expected.fragment().isEmpty())
                expected.setFragment(QString());
        }
        QCOMPARE(browser->source(), expected);
        if (link.startsWith(QLatin1Char('#')))
            QVERIFY(browser->verticalScrollBar()->value() > 0);
        if (!address.isEmpty())
            QTRY_COMPARE(log->shown.size(), 1);
        QTest::qWait(20);
        QCOMPARE(log->shown.size(), address.isEmpty() ? 0 : 1);
        if (!address.isEmpty()) {
            QVERIFY(log->shown[0].copyable);
            QCOMPARE(log->shown[0].text,
                     LanguageTexts::text(QStringLiteral("MESSAGE"), 70) + QStringLiteral("\n\n") + address);
        }
        // Back returns to where the reader came from, Forward to where he
        // went back from.
        QCOMPARE(help()->BackButton->isEnabled(), !shown.isEmpty());
        if (!shown.isEmpty()) {
            QTest::mouseClick(help()->BackButton, Qt::LeftButton);
            QCOMPARE(browser->source(), start);
            QCOMPARE(scroll->value(), reading);
            QVERIFY(help()->ForwardButton->isEnabled());
            QTest::mouseClick(help()->ForwardButton, Qt::LeftButton);
            QCOMPARE(browser->source(), expected);
            QCOMPARE(scroll->value(), there);
        }
    }

    // A help page's pictures and style sheets and the About box's logo come
    // from the program folder alone: anything else is left out, the page
    // opens at once and the program's memory stays as it was.
    void picturesOnlyFromTheFolder_data()
    {
        QTest::addColumn<QString>("name"); // as the page and OTHER/30 name it; @ is the outside folder
        QTest::addColumn<bool>("shown");
        QTest::newRow("picture of the folder") << "red.png" << true;
        QTest::newRow("outside by a relative name") << "../@/red.png" << false;
        QTest::newRow("outside by a file address") << "file://@/red.png" << false;
        QTest::newRow("link in the folder to a file outside") << "link.png" << false;
        QTest::newRow("named pipe") << "pipe.png" << false;
        QTest::newRow("link to /dev/zero") << "zero.png" << false;
        QTest::newRow("huge file") << "huge.png" << false;
    }
    void picturesOnlyFromTheFolder()
    {
        QFETCH(QString, name);
        QFETCH(bool, shown);
        QTemporaryDir outside;
        name.replace(QLatin1Char('@'), name.startsWith(QLatin1String("..")) ? QFileInfo(outside.path()).fileName()
                                                                           : outside.path());
        QImage red(40, 40, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(folder->file(QStringLiteral("red.png"))) && red.save(outside.filePath("red.png")));
        QVERIFY(QFile::link(outside.filePath("red.png"), folder->file(QStringLiteral("link.png"))));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), folder->file(QStringLiteral("zero.png"))));
        QVERIFY(::mkfifo(QFile::encodeName(folder->file(QStringLiteral("pipe.png"))).constData(), 0600) == 0);
        QFile huge(folder->file(QStringLiteral("huge.png")));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(1) << 30));
        huge.close();
        const auto peakMemory = [] {
            QFile status(QStringLiteral("/proc/self/status"));
            status.open(QIODevice::ReadOnly);
            const QByteArray text = status.readAll();
            const qsizetype at = text.indexOf("VmHWM:");
            return text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ').value(0).toLongLong();
        };
        const qlonglong before = peakMemory();

        QFile page(folder->file(QStringLiteral("Tessaro-EN.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write(QStringLiteral("<html><head><link rel=\"stylesheet\" href=\"%1\"></head>"
                                  "<body><p><img src=\"%1\"></p></body></html>")
                       .arg(name)
                       .toUtf8());
        page.close();
        HelpWindow window;
        window.showFile(page.fileName());
        const QImage shot = window.Browser->viewport()->grab().toImage();
        int redPixels = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                redPixels += shot.pixelColor(x, y) == QColor(Qt::red);
        QCOMPARE(redPixels >= 40 * 40, shown);

        QFile language(folder->file(QStringLiteral("Logo.lng")));
        QVERIFY(language.open(QIODevice::WriteOnly));
        language.write("[OTHER]\n30=" + name.toUtf8() + "\n");
        language.close();
        folder->writeConfig(QStringLiteral("[Setup]\nLang=Logo.lng\n"));
        windows = std::make_unique<ProgramWindows>();
        windows->Form1->Timer1->stop();
        windows->Form1->show();
        QCOMPARE(windows->Form2->Image1->pixmap().isNull(), !shown);
        QVERIFY2(peakMemory() - before < 64 * 1024, qPrintable(QString::number(peakMemory() - before)));
    }

    // The find field: Enter finds the next place, going round the page;
    // text the page does not hold says so and leaves the selection.
    void findInThePage_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("fromEnd");
        QTest::addColumn<bool>("found");
        QTest::newRow("after the cursor") << "dialout" << false << true;
        QTest::newRow("round the page") << "Config.ini" << true << true;
        QTest::newRow("not in the page") << "no such words" << false << false;
    }
    void findInThePage()
    {
        QFETCH(QString, what);
        QFETCH(bool, fromEnd);
        QFETCH(bool, found);
        startWithoutOpener("English.lng");
        windows->HelpAndTools->help();
        QTextBrowser *browser = help()->Browser;
        QTextCursor cursor(browser->document());
        cursor.movePosition(fromEnd ? QTextCursor::End : QTextCursor::Start);
        browser->setTextCursor(cursor);
        const int before = browser->textCursor().position();
        QScrollBar *scroll = browser->verticalScrollBar();
        scroll->setValue(scroll->maximum() / 2); // the reader is half way down
        const int reading = scroll->value();
        QTest::keyClicks(help()->FindEdit, what);
        QTest::keyClick(help()->FindEdit, Qt::Key_Return);
        QCOMPARE(browser->textCursor().selectedText(), found ? what : QString());
        QCOMPARE(help()->NotFoundLabel->isVisibleTo(help()), !found);
        if (!found) {
            QCOMPARE(browser->textCursor().position(), before);
            QCOMPARE(scroll->value(), reading);
        }
        if (fromEnd) // the first place of the page
            QCOMPARE(browser->textCursor().selectionStart(),
                     browser->document()->find(what).selectionStart());
    }

    // News and the About box's links on a desktop where nothing opens them:
    // the address is shown in a message the user can copy it from.
    void addressShownWhenNothingOpensIt_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("address");
        QTest::newRow("news") << "news"
                              << "https://www.kavrotech.example/kavr/novinky";
        QTest::newRow("maker's web") << "Label8"
                                     << "https://www.kavrotech.example";
        QTest::newRow("maker's mail") << "Label9"
                                      << "info@kavrotech.example";
    }
    void addressShownWhenNothingOpensIt()
    {
        QFETCH(QString, link);
        QFETCH(QString, address);
        startWithoutOpener("Deutsch.lng");
        if (link == QLatin1String("news")) {
            windows->HelpAndTools->news();
        } else {
            windows->Form2->show();
            QTest::mouseClick(windows->Form2->findChild<QLabel *>(link), Qt::LeftButton);
        }
        QTRY_COMPARE(log->shown.size(), 1);
        QVERIFY(log->shown[0].copyable);
        QCOMPARE(log->shown[0].text,
                 QStringLiteral("Die Adresse konnte nicht geöffnet werden: Auf diesem Computer ist "
                                "kein Programm dafür vorhanden. Sie können die Adresse markieren "
                                "und kopieren:\n\n") +
                     address);
    }

    // Everything bold in a help page is a name the window shows in that
    // language, written as the window writes it: a tab, a box, a button, a
    // menu, or a menu path "Menu › Item" whose item is in that menu. The
    // page follows a change of language and wraps its command lines.
    void helpPagesNameTheWindow_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("page");
        QTest::newRow("Czech") << "Cesky.lng"
                               << "Tessaro-CZ.html";
        QTest::newRow("English") << "English.lng"
                                 << "Tessaro-EN.html";
        QTest::newRow("German") << "Deutsch.lng"
                                << "Tessaro-DE.html";
    }
    void helpPagesNameTheWindow()
    {
        QFETCH(QString, language);
        QFETCH(QString, page);
        startWithoutOpener(language == QLatin1String("English.lng") ? "Cesky.lng" : "English.lng");
        windows->HelpAndTools->help();
        useLanguage(qPrintable(language));
        QCOMPARE(help()->Browser->source(), QUrl::fromLocalFile(folder->file(page)));
        QCOMPARE(help()->BackButton->text(), LanguageTexts::text(QStringLiteral("OTHER"), 70));

        const auto shown = [](QString t) { return t.remove(QRegularExpression(QStringLiteral("&(?!&)"))).simplified(); };
        QSet<QString> names;
        QHash<QString, QSet<QString>> menus; // a menu's title: its items
        for (QWidget *o : QApplication::allWidgets()) {
            if (o->isWindow())
                names << shown(o->windowTitle());
            if (auto *b = qobject_cast<QAbstractButton *>(o))
                names << shown(b->text());
            else if (auto *l = qobject_cast<QLabel *>(o))
                names << shown(l->text());
            else if (auto *g = qobject_cast<QGroupBox *>(o))
                names << shown(g->title());
            else if (auto *t = qobject_cast<QTabWidget *>(o))
                for (int i = 0; i < t->count(); ++i)
                    names << shown(t->tabText(i));
            else if (auto *m = qobject_cast<QMenu *>(o))
                for (QAction *a : m->actions())
                    menus[shown(m->title())] << shown(a->text());
        }
        for (auto it = menus.cbegin(); it != menus.cend(); ++it) {
            names << it.key();
            names.unite(it.value());
        }

        QFile file(folder->file(page));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        QStringList wrong;
        static const QRegularExpression bold(QStringLiteral("<(b|strong)>(.*?)</\\1>"),
                                             QRegularExpression::DotMatchesEverythingOption);
        for (auto m = bold.globalMatch(html); m.hasNext();) {
            const QString name = QTextDocumentFragment::fromHtml(m.next().captured(2)).toPlainText().simplified();
            const QStringList path = name.split(QStringLiteral(" › "));
            bool ok = path.size() == 1 ? names.contains(name) : menus.contains(path[0]);
            for (int i = 1; ok && i < path.size(); ++i)
                ok = menus.value(path[i - 1]).contains(path[i]);
            if (!ok)
                wrong << name;
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(page + QStringLiteral(": ") + wrong.join(QStringLiteral(" | "))));

        // A narrow window: the page is as wide as the window, no wider.
        help()->resize(360, 500);
        QTRY_COMPARE(help()->Browser->document()->textWidth(), qreal(help()->Browser->viewport()->width()));
        QCOMPARE(help()->Browser->document()->size().width(), qreal(help()->Browser->viewport()->width()));
    }

    // Each help document is in its language and covers what technicians
    // ask about most.
    void helpDocumentsCoverTheQuestions()
    {
        for (const auto &[file, lang] :
             {std::pair{"Tessaro-CZ.html", "cs"}, std::pair{"Tessaro-EN.html", "en"},
              std::pair{"Tessaro-DE.html", "de"}}) {
            QFile doc(shipped + QLatin1Char('/') + QLatin1String(file));
            QVERIFY2(doc.open(QIODevice::ReadOnly), file);
            const QString text = QString::fromUtf8(doc.readAll());
            QVERIFY2(text.contains(QStringLiteral("<html lang=\"%1\">").arg(QLatin1String(lang))), file);
            for (const char *topic :
                 {"dialout", "70-tessaro-zarp-usb.rules", "USB:--", "Config.ini", "PickUp.WAV"})
                QVERIFY2(text.contains(QLatin1String(topic)),
                         qPrintable(QStringLiteral("%1: %2").arg(file, topic)));
        }
    }
};

QTEST_MAIN(AboutAndHelpTest)
#include "tst_aboutandhelp.moc"
