// The main window's controls: names, places, texts, limits and the order the
// keyboard visits them in; plus screenshots of the four pages on request.

#include "app/CaptionPanel.h"
#include "app/Dotaz.h"
#include "app/FileCommands.h"
#include "app/Hlaseni.h"
#include "app/KAVR10.h"
#include "app/MenuHotkeys.h"
#include "app/Oprog.h"
#include "app/ProgramWindows.h"
#include "app/SerPort.h"
#include "app/StatusPanels.h"
#include "app/Tony.h"
#include "app/Uvod.h"
#include "app/Zobraz.h"
#include "app_helper.h"
#include "lang/LanguageTexts.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsPrintout.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleOptionTab>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

class MainWindowLayoutTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<MessageLog> log;
    std::unique_ptr<ProgramWindows> windows;
    TForm1 *form = nullptr;

    template <typename T> T *find(const char *name) { return form->findChild<T *>(QLatin1String(name)); }
    // Loads a language file; none keeps the built-in texts.
    void loadLanguage(const QString &languageFile)
    {
        if (languageFile.isEmpty())
            return;
        QVERIFY2(QFileInfo(languageFile).isFile(), qPrintable(languageFile));
        form->LanguageFile = languageFile;
        form->LoadLanguage();
        QCOMPARE(form->LanguageFile, languageFile);
    }

  private slots:
    void init()
    {
        folder = std::make_unique<ProgramFolder>();
        folder->writeConfig(QString());
        log = std::make_unique<MessageLog>();
        FileCommands::setDialogPlayer([](const FileCommands::DialogRequest &) { return QString(); });
        windows = std::make_unique<ProgramWindows>();
        form = windows->Form1;
        form->Timer1->stop();
        form->show();
    }
    void cleanup()
    {
        windows.reset();
        FileCommands::setDialogPlayer(nullptr);
        log.reset();
        folder.reset();
    }

    void clientAreaIsFixed()
    {
        QCOMPARE(form->centralWidget()->size(), QSize(621, 419));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QCOMPARE(form->height(), 419 + form->menuBar()->height());
        const Qt::WindowFlags flags = form->windowFlags();
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    }

    void topStripPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("BitBtn1") << "BitBtn1" << QRect(8, 7, 65, 25);
        QTest::newRow("BitBtn2") << "BitBtn2" << QRect(76, 7, 65, 25);
        QTest::newRow("BitBtn4") << "BitBtn4" << QRect(170, 1, 37, 37);
        QTest::newRow("Label166") << "Label166" << QRect(211, 4, 9, 29);
        QTest::newRow("BitBtn7") << "BitBtn7" << QRect(224, 1, 37, 37);
        QTest::newRow("Panel1") << "Panel1" << QRect(296, 3, 181, 30);
        QTest::newRow("Panel2") << "Panel2" << QRect(480, 3, 133, 30);
        QTest::newRow("Panel3") << "Panel3" << QRect(441, 35, 171, 22);
        QTest::newRow("PageControl1") << "PageControl1" << QRect(0, 39, 621, 362);
    }
    void topStripPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QWidget *w = form->findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->geometry(), geometry);
    }

    void stripTextsAndHints_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hint");
        QTest::newRow("BitBtn1") << "BitBtn1"
                                 << "Otevřít"
                                 << "Otevřít soubor s nastavením";
        QTest::newRow("BitBtn2") << "BitBtn2"
                                 << "Uložit"
                                 << "Uložit soubor s nastavením";
        QTest::newRow("BitBtn4") << "BitBtn4"
                                 << ""
                                 << "Načíst nastavení z KAVR";
        QTest::newRow("BitBtn7") << "BitBtn7"
                                 << ""
                                 << "Zapsat nastavení do KAVR";
        QTest::newRow("Label166") << "Label166"
                                  << ""
                                  << "Stav seriového portu";
        QTest::newRow("Panel1") << "Panel1"
                                << ""
                                << "Kolik zbývá hodin do dalšího servisního volání";
        QTest::newRow("Panel2") << "Panel2"
                                << ""
                                << "Počet připojení na linku (resetů) - pouze 0-255, pak se opakuje";
        QTest::newRow("Label15") << "Label15"
                                 << "Čas servisního volání:"
                                 << "";
        QTest::newRow("Label2") << "Label2"
                                << "Počet zapnutí:"
                                << "";
        QTest::newRow("Panel3") << "Panel3"
                                << " Výrobní číslo:"
                                << "";
        QTest::newRow("Label22") << "Label22"
                                 << "00000"
                                 << "";
        QTest::newRow("Edit14") << "Edit14"
                                << "0"
                                << "";
        QTest::newRow("Edit157") << "Edit157"
                                 << "0"
                                 << "";
    }
    void stripTextsAndHints()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, hint);
        QWidget *w = form->findChild<QWidget *>(name);
        QVERIFY(w);
        QString shown;
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            shown = b->text();
        else if (auto *l = qobject_cast<QLabel *>(w))
            shown = l->text();
        else if (auto *e = qobject_cast<QLineEdit *>(w))
            shown = e->text();
        else
            shown = w->property("caption").toString();
        QCOMPARE(shown, text);
        QCOMPARE(w->toolTip(), hint);
    }

    void panelsShowHandCursors()
    {
        for (const char *name : {"Panel1", "Panel2", "Panel3", "StatusBar1"})
            QCOMPARE(find<QWidget>(name)->cursor().shape(), Qt::PointingHandCursor);
    }

    void pagesInOrder()
    {
        auto *pages = find<QTabWidget>("PageControl1");
        const QStringList names{"TabSheet3", "TabSheet4", "TabSheet5", "TabSheet1"};
        const QStringList captions{"Základní parametry", "Další nastavení", "Časové parametry",
                                   "Telefonní čísla"};
        QCOMPARE(pages->count(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(pages->widget(i)->objectName(), names[i]);
            QCOMPARE(pages->tabText(i), captions[i]);
        }
        // Each tab shows its whole caption, and the tabs end before the serial
        // number panel that lies over their row.
        QTabBar *bar = pages->tabBar();
        for (int i = 0; i < 4; ++i) {
            QStyleOptionTab tab;
            tab.initFrom(bar);
            tab.rect = bar->tabRect(i);
            tab.text = bar->tabText(i);
            tab.shape = bar->shape();
            const QRect room = bar->style()->subElementRect(QStyle::SE_TabBarTabText, &tab, bar);
            QVERIFY2(room.width() >= bar->fontMetrics().horizontalAdvance(captions[i]),
                     qPrintable(captions[i]));
        }
        const QRect last =
            pages->tabBar()->tabRect(3).translated(pages->tabBar()->mapTo(form->centralWidget(), QPoint()));
        QVERIFY2(last.right() < 441, qPrintable(QString::number(last.right())));
    }

    void groupCaptionsArePadded_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("GroupBox13") << "GroupBox13"
                                    << " Druh volby ";
        QTest::newRow("GroupBox23") << "GroupBox23"
                                    << " Servisní heslo ";
        QTest::newRow("GroupBox8") << "GroupBox8"
                                   << " Opakování nouzových volání  ";
        QTest::newRow("GroupBox10 has no blanks") << "GroupBox10"
                                                  << "Polarita tlačítka pro nouzové volání";
        QTest::newRow("GroupBox1") << "GroupBox1"
                                   << " Nouzové volání ";
    }
    void groupCaptionsArePadded()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QCOMPARE(form->findChild<QGroupBox *>(name)->title(), title);
    }

    void phoneRowsAreNumbered()
    {
        const char *labels[] = {"Label4", "Label5", "Label6", "Label7", "Label11", "Label10"};
        for (int i = 0; i < 6; ++i) {
            QLabel *l = find<QLabel>(labels[i]);
            QCOMPARE(l->text(), QStringLiteral("Pořadí %1").arg(i + 1));
            QVERIFY(l->y() > (i ? find<QLabel>(labels[i - 1])->y() : 0));
        }
        for (const char *edit : {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7", "Edit12"})
            QCOMPARE(find<QLineEdit>(edit)->toolTip(), QStringLiteral("Telefonní číslo"));
    }

    void parameterFields_data()
    {
        QTest::addColumn<QString>("key");
        for (const Parameter &param : ParameterTable::all())
            if (param.kind == ParamKind::Edit)
                QTest::newRow(param.key) << QString::fromLatin1(param.key);
    }
    void parameterFields()
    {
        QFETCH(QString, key);
        const Parameter *param = ParameterTable::byKey(key);
        auto *e = form->findChild<QLineEdit *>(QLatin1String(param->control));
        QVERIFY2(e, param->control);
        QCOMPARE(e->maxLength(), param->maxLength);
        QCOMPARE(e->text(), QString::fromUtf8(param->defaultText));
        QVERIFY(e->font().bold());
        const bool cream = QStringList{"Edit144", "Edit8", "Edit11", "Edit13"}.contains(e->objectName());
        QCOMPARE(e->palette().color(QPalette::Base) != form->palette().color(QPalette::Base), cream);
    }

    void designStateOfOptions()
    {
        for (const char *on : {"RadioButton6", "RadioButton10", "RadioButton8", "RadioButton12",
                               "RadioButton4", "RadioButton1", "CheckBox11", "CheckBox12"})
            QVERIFY2(find<QAbstractButton>(on)->isChecked(), on);
        QVERIFY(!find<QRadioButton>("RadioButton12")->isEnabledTo(form));
        QVERIFY(!find<QRadioButton>("RadioButton13")->isEnabledTo(form));
        QVERIFY(find<QCheckBox>("CheckBox11")->isEnabledTo(form));
        QVERIFY(find<QCheckBox>("CheckBox12")->isEnabledTo(form));
        // The whole window waits, disabled, for the first tick.
        QVERIFY(!form->isEnabled());
        QCOMPARE(find<QLabel>("Label157")->text(), QStringLiteral("#"));
        QCOMPARE(find<QLabel>("Label156")->text(), QStringLiteral("*"));
        QCOMPARE(find<QLabel>("Label156")->palette().color(QPalette::WindowText), QColor(0, 0, 0x80));
    }

    void menuItems()
    {
        const QStringList items{"Otevt1",          "Uloit1",        "Uloitjako1", "isknastaven1",   "Konec1",
                                "Nastnastaven1",   "Ulotnastaven1", "Ukzkytn1",   "Nastavenportu1", "Npovda1",
                                "Uivatelskpruka1", "Novinky1",      "Oprogramu1"};
        for (const QString &name : items)
            QVERIFY2(form->findChild<QAction *>(name), qPrintable(name));
        QVERIFY(!form->findChild<QAction *>("Uivatelskpruka1")->isVisible());
        // Captions as shown, apart from the hotkey markers the menu adds.
        const auto shown = [](const QString &caption) { return SettingsPrintout::withoutHotkey(caption); };
        QCOMPARE(shown(form->findChild<QMenu *>("ZARPvrtn1")->title()), QStringLiteral(" KAVR - Vigilor "));
        QCOMPARE(shown(form->findChild<QAction *>("isknastaven1")->text()), QStringLiteral("Tisk nastavení"));

        // Menus in order, the blank spacer before the language menu.
        const QList<QAction *> bar = form->menuBar()->actions();
        QStringList titles;
        for (QAction *a : bar)
            titles << shown(a->text());
        QCOMPARE(titles,
                 (QStringList{"Soubor", " KAVR - Vigilor ", "Nástroje", "Pomoc", QString(10, ' '), "Jazyk"}));
        QVERIFY(!bar[4]->isEnabled());

        const QStringList entries{"English1", "a11", "a21", "a31", "a41", "a51",
                                  "a61",      "a71", "a81", "a91", "a01"};
        const QList<QAction *> language = form->findChild<QMenu *>("Jazyk1")->actions();
        QCOMPARE(language.size(), 11);
        for (int i = 0; i < 11; ++i) {
            QCOMPARE(language[i]->objectName(), entries[i]);
            QCOMPARE(language[i]->isVisible(), i == 0);
        }
        QCOMPARE(shown(language[0]->text()), QStringLiteral("Cesky")); // the folder's one language file
    }

    // One menu level's captions and the markers they get.
    void hotkeyMarkers_data()
    {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("marked");
        QTest::newRow("first letters free") << QStringList{"Soubor", " KAVR - Vigilor ", "Nástroje"}
                                            << QStringList{"&Soubor", " &KAVR - Vigilor ", "&Nástroje"};
        QTest::newRow("first letter taken: the next")
            << QStringList{"Uložit", "Uložit jako", "Ukázky tónů"}
            << QStringList{"&Uložit", "U&ložit jako", "U&kázky tónů"};
        QTest::newRow("letter case does not count")
            << QStringList{"open", "Options"} << QStringList{"&open", "O&ptions"};
        QTest::newRow("marker of the language file kept")
            << QStringList{"Print", "E&xit", "Edit"} << QStringList{"&Print", "E&xit", "&Edit"};
        QTest::newRow("marker on a taken letter moved")
            << QStringList{"&Save", "&Settings"} << QStringList{"&Save", "S&ettings"};
        QTest::newRow("a second marker dropped") << QStringList{"&A&B"} << QStringList{"&AB"};
        QTest::newRow("ampersand is no marker")
            << QStringList{"&&Co", "C&&A"} << QStringList{"&&&Co", "C&&&A"};
        QTest::newRow("no letter left")
            << QStringList{"ab", "ba", "a", "- -"} << QStringList{"&ab", "&ba", "a", "- -"};
        QTest::newRow("marked again: the same")
            << QStringList{"&Uložit", "U&ložit jako"} << QStringList{"&Uložit", "U&ložit jako"};
    }
    void hotkeyMarkers()
    {
        QFETCH(QStringList, captions);
        QFETCH(QStringList, marked);
        QCOMPARE(MenuHotkeys::marked(captions), marked);
    }

    // In every shipped language each menu and item carries a hotkey, unique
    // on its level, and Alt with the menu's letter opens it.
    void hotkeysInEveryLanguage_data() { noCaptionIsClipped_data(); }
    void hotkeysInEveryLanguage()
    {
        QFETCH(QString, languageFile);
        loadLanguage(languageFile);
        QStringList faults;
        std::function<void(const QList<QAction *> &, const QString &)> level =
            [&](const QList<QAction *> &actions, const QString &where) {
                QSet<QChar> taken;
                for (QAction *a : actions) {
                    if (a->isSeparator() || !a->isVisible() || a->text().trimmed().isEmpty())
                        continue;
                    const QKeySequence mnemonic = QKeySequence::mnemonic(a->text());
                    const QChar key = mnemonic.isEmpty() ? QChar() : QChar(mnemonic[0].key());
                    if (key.isNull() || taken.contains(key))
                        faults << where + QLatin1Char('/') + a->text();
                    taken.insert(key);
                    if (a->menu())
                        level(a->menu()->actions(), where + QLatin1Char('/') + a->text());
                }
            };
        level(form->menuBar()->actions(), QString());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1String(", "))));

        form->setEnabled(true);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QMenu *file = find<QMenu>("Soubor1");
        const QKeySequence open = QKeySequence::mnemonic(file->title());
        QTest::keyClick(form, open[0].key(), Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), file);
        file->close();
    }

    // The shortcuts a desktop user expects, shown in the menus; Write has
    // none.
    void standardShortcuts_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("Open") << "Otevt1" << QKeySequence(Qt::CTRL | Qt::Key_O);
        QTest::newRow("Save") << "Uloit1" << QKeySequence(Qt::CTRL | Qt::Key_S);
        QTest::newRow("Save as") << "Uloitjako1" << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
        QTest::newRow("Print") << "isknastaven1" << QKeySequence(Qt::CTRL | Qt::Key_P);
        QTest::newRow("Exit") << "Konec1" << QKeySequence(Qt::CTRL | Qt::Key_Q);
        QTest::newRow("Read") << "Nastnastaven1" << QKeySequence(Qt::Key_F5);
        QTest::newRow("Help") << "Npovda1" << QKeySequence(Qt::Key_F1);
    }
    void standardShortcuts()
    {
        QFETCH(QString, item);
        QFETCH(QKeySequence, keys);
        form->setEnabled(true);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QAction *action = form->findChild<QAction *>(item);
        QCOMPARE(action->shortcut(), keys);
        // Only whether the key reaches the item counts here, not its command.
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        QSignalSpy triggered(action, &QAction::triggered);
        // From a field of the page as from anywhere in the window.
        find<QLineEdit>("Edit140")->setFocus();
        QTest::keySequence(form, keys);
        QCOMPARE(triggered.size(), 1);
        QVERIFY(find<QAction>("Ulotnastaven1")->shortcut().isEmpty());
    }

    // Every dialog stands centred on the main window at each showing, also
    // after the main window has moved.
    void dialogsCentredOnTheMainWindow_data()
    {
        QTest::addColumn<QString>("dialog");
        for (const char *name : {"TForm2", "TForm3", "TForm5", "TForm6", "TForm7", "TForm9"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void dialogsCentredOnTheMainWindow()
    {
        QFETCH(QString, dialog);
        QWidget *window = nullptr;
        for (QWidget *w : QList<QWidget *>{windows->Form2, windows->Form3, windows->Form5, windows->Form6,
                                           windows->Form7, windows->Form9})
            if (w->objectName() == dialog)
                window = w;
        QVERIFY(window);
        for (const QPoint shift : {QPoint(0, 0), QPoint(-70, -40), QPoint(90, 50)}) {
            form->move(form->pos() + shift);
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            const QPoint offset = window->geometry().center() - form->geometry().center();
            QVERIFY2(offset.manhattanLength() <= 2,
                     qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
            window->hide();
        }
    }

    void menuCommandsReachTheirHandlers()
    {
        form->setEnabled(true);
        QSignalSpy open(form, &TForm1::openRequested);
        QSignalSpy read(form, &TForm1::readRequested);
        form->findChild<QAction *>("Otevt1")->trigger();
        form->findChild<QAction *>("Nastnastaven1")->trigger();
        QTest::mouseClick(find<QWidget>("BitBtn4"), Qt::LeftButton);
        QCOMPARE(open.size(), 1);
        QCOMPARE(read.size(), 2);
    }

    void escapePressesOpen()
    {
        form->setEnabled(true);
        QSignalSpy open(form, &TForm1::openRequested);
        QTest::keyClick(find<QLineEdit>("Edit140"), Qt::Key_Escape);
        QTest::keyClick(find<QCheckBox>("CheckBox5"), Qt::Key_Escape);
        QCOMPARE(open.size(), 2);
        QTest::keyClick(find<QLineEdit>("Edit140"), Qt::Key_A);
        QCOMPARE(open.size(), 2);
    }

    void displayFieldsTakeNoKeys()
    {
        form->setEnabled(true);
        for (const char *name : {"Edit14", "Edit157"}) {
            auto *e = find<QLineEdit>(name);
            QTest::keyClicks(e, "123");
            QTest::keyClick(e, Qt::Key_Backspace);
            QCOMPARE(e->text(), QStringLiteral("0"));
            QVERIFY(!e->hasFrame());
        }
    }

    void counterPanelClicks()
    {
        form->setEnabled(true);
        QSignalSpy service(form, &TForm1::serviceTimerPanelClicked);
        QSignalSpy power(form, &TForm1::powerOnPanelClicked);
        // Each click opens the action choice, cancelled here at once.
        int choices = 0;
        QTimer cancel;
        connect(&cancel, &QTimer::timeout, this, [this, &choices] {
            if (windows->Form7->isVisible()) {
                ++choices;
                windows->Form7->reject();
            }
        });
        cancel.start(5);
        QTest::mouseClick(find<QWidget>("Label15"), Qt::LeftButton);
        QTest::mouseClick(find<QWidget>("Edit14"), Qt::LeftButton);
        QTest::mouseClick(find<QWidget>("Panel1"), Qt::LeftButton, {}, QPoint(178, 27));
        QTest::mouseClick(find<QWidget>("Edit157"), Qt::LeftButton);
        QCOMPARE(service.size(), 3);
        QCOMPARE(power.size(), 1);
        QCOMPARE(choices, 4);
    }

    void serialNumberTextItselfDoesNothing()
    {
        form->setEnabled(true);
        form->VersionQueryRequested = false;
        QTest::mouseClick(find<QWidget>("Label22"), Qt::LeftButton);
        QVERIFY(!form->VersionQueryRequested);
        QTest::mouseClick(find<QWidget>("Panel3"), Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(form->VersionQueryRequested);
    }

    void statusBarPanels()
    {
        const int widths[] = {50, 200, 50, 140, 50, 72, 58};
        const QStringList design{"COM", "Soubor", " ", "Firmware:", " ", "Date", "Time"};
        for (int i = 0; i < StatusPanels::Count; ++i) {
            QCOMPARE(form->StatusBar1->panelWidth(i), widths[i]);
            QCOMPARE(form->StatusBar1->panelText(i), design[i]);
        }
        QCOMPARE(form->StatusBar1->geometry().bottom(), 418);
    }

    // Every caption must show whole in the font in use: a label, button or
    // group title wider than its control would be cut off.
    // Each entry: the control's name, and the room it would need against the
    // room it has.
    static QStringList clippedCaptions(QWidget *window)
    {
        QStringList clipped;
        const auto tooSmall = [&clipped](QWidget *w, int need, int room) {
            if (need > room)
                clipped << QStringLiteral("%1(%2>%3)").arg(w->objectName()).arg(need).arg(room);
        };
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (w->window() != window)
                continue;
            if (auto *label = qobject_cast<QLabel *>(w)) {
                if (label->text().isEmpty())
                    continue;
                if (label->wordWrap()) {
                    tooSmall(label, label->heightForWidth(label->width()), label->height());
                    continue;
                }
                const QRect need =
                    label->fontMetrics().boundingRect(QRect(0, 0, 10000, 1000), 0, label->text());
                tooSmall(label, need.width() + 2 * label->frameWidth() + label->indent(), label->width());
                tooSmall(label, need.height(), label->height());
            } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
                if (button->text().isEmpty())
                    continue;
                if (button->property("wrapsCaption").toBool()) {
                    const QRect need = button->fontMetrics().boundingRect(
                        QRect(0, 0, button->width() - 8, 1000), Qt::TextWordWrap, button->text());
                    tooSmall(button, need.height() + 6, button->height());
                    continue;
                }
                const int text = button->fontMetrics().horizontalAdvance(button->text());
                if (qobject_cast<QToolButton *>(button)) {
                    // The style draws glyph, a 4-pixel gap and text inside
                    // the button's frame.
                    const int frame =
                        button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
                    tooSmall(button, button->iconSize().width() + 4 + text, button->width() - 2 * frame);
                    continue;
                }
                // Text or check mark, and the frame on both sides.
                const int mark = qobject_cast<QPushButton *>(button) ? 4 : 22;
                tooSmall(button, text + mark + 6, button->width());
            } else if (auto *group = qobject_cast<QGroupBox *>(w)) {
                tooSmall(group, group->fontMetrics().horizontalAdvance(group->title()) + 16, group->width());
            }
        }
        return clipped;
    }
    // The built-in texts and every language file the program ships with.
    void noCaptionIsClipped_data()
    {
        QTest::addColumn<QString>("languageFile");
        QTest::newRow("built-in") << QString();
        for (const char *name : {"Cesky.lng", "English.lng", "Deutsch.lng"})
            QTest::newRow(name) << QStringLiteral(TESSARO_FIXTURES "/../../assets/program/") +
                                       QLatin1String(name);
    }
    void noCaptionIsClipped()
    {
        QFETCH(QString, languageFile);
        loadLanguage(languageFile);
        const QList<QWidget *> all{windows->Form1, windows->Form2, windows->Form3, windows->Form5,
                                   windows->Form6, windows->Form7, windows->Form8, windows->Form9};
        QStringList clipped;
        for (QWidget *w : all)
            for (const QString &name : clippedCaptions(w))
                clipped << w->objectName() + QLatin1Char('.') + name;
        // The page tabs show whole captions and end before the serial number
        // panel that lies over their row.
        QTabBar *bar = form->PageControl1->tabBar();
        for (int i = 0; i < bar->count(); ++i) {
            QStyleOptionTab tab;
            tab.initFrom(bar);
            tab.rect = bar->tabRect(i);
            tab.text = bar->tabText(i);
            tab.shape = bar->shape();
            const int room = bar->style()->subElementRect(QStyle::SE_TabBarTabText, &tab, bar).width();
            const int need = bar->fontMetrics().horizontalAdvance(tab.text);
            if (need > room)
                clipped << QStringLiteral("tab%1(%2>%3)").arg(i).arg(need).arg(room);
        }
        const int tabsEnd = bar->mapTo(form->centralWidget(), bar->tabRect(bar->count() - 1).topRight()).x();
        if (tabsEnd >= form->Panel3->x())
            clipped << QStringLiteral("tabs(%1>=%2)").arg(tabsEnd).arg(form->Panel3->x());
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char(' '))));
    }

    // Tab visits the fields of a page top to bottom, and left to right within
    // a row.
    void tabOrderReadsThePage_data()
    {
        QTest::addColumn<QStringList>("sequence");
        QTest::newRow("page 1") << QStringList{"Edit140", "Edit9", "Edit10", "Edit144", "Edit8"};
        QTest::newRow("page 3") << QStringList{"Edit145", "Edit146",    "Edit147",    "Edit148", "Edit149",
                                               "Edit150", "CheckBox11", "CheckBox12", "Edit152", "Edit153",
                                               "Edit154", "Edit155",    "Edit11",     "Edit13"};
        QTest::newRow("page 4") << QStringList{"Edit1",     "CheckBox1", "Edit2",     "CheckBox2",
                                               "Edit6",     "CheckBox6", "Edit12",    "CheckBox7",
                                               "CheckBox9", "Edit7",     "CheckBox8", "CheckBox10"};
    }
    void tabOrderReadsThePage()
    {
        QFETCH(QStringList, sequence);
        QList<QWidget *> chain;
        QWidget *w = form->centralWidget()->findChild<QWidget *>(sequence.first());
        for (int guard = 0; guard < 200 && w; ++guard) {
            chain << w;
            w = w->nextInFocusChain();
        }
        int last = -1;
        for (const QString &name : sequence) {
            const int at = chain.indexOf(form->centralWidget()->findChild<QWidget *>(name));
            QVERIFY2(at > last, qPrintable(name));
            last = at;
        }
    }

    // With TESSARO_SCREENSHOT_DIR set, saves the window with each page in
    // front and the other windows, in each language, for a person to look at.
    void screenshots_data() { noCaptionIsClipped_data(); }
    void screenshots()
    {
        QFETCH(QString, languageFile);
        const QString dir = qEnvironmentVariable("TESSARO_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("TESSARO_SCREENSHOT_DIR not set");
        loadLanguage(languageFile);
        form->setEnabled(true);
        windows->Form8->hide();
        form->Timer1Timer();
        const QString stem = QDir(dir).filePath(
            languageFile.isEmpty() ? QStringLiteral("tessaro") : QFileInfo(languageFile).completeBaseName());
        for (int i = 0; i < 4; ++i) {
            form->PageControl1->setCurrentIndex(i);
            QVERIFY(form->grab().save(stem + QStringLiteral("-page%1.png").arg(i + 1)));
        }
        QMessageBox question(QMessageBox::Question, LanguageTexts::text("MESSAGE", 48),
                             LanguageTexts::text("MESSAGE", 47), QMessageBox::Yes | QMessageBox::No, form);
        question.show();
        windows->Form7->setCaptions();
        windows->Form9->prepare(
            {QStringLiteral("29"), QStringLiteral("0"), QStringLiteral("53"), QStringLiteral("17")});
        const std::pair<QWidget *, const char *> others[] = {
            {&question, "question"},   {windows->Form8, "reminder"}, {windows->Form3, "tones"},
            {windows->Form2, "about"}, {windows->Form7, "actions"},  {windows->Form9, "counters"}};
        for (const auto &[window, name] : others)
            QVERIFY(
                window->grab().save(stem + QLatin1Char('-') + QLatin1String(name) + QStringLiteral(".png")));
    }
};

QTEST_MAIN(MainWindowLayoutTest)
#include "tst_mainwindow_layout.moc"
