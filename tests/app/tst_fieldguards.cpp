#include "app/FieldGuards.h"
#include "app/MessageBoxes.h"
#include "lang/LanguageTexts.h"

#include <QtTest>
#include <QtWidgets>

// The key filters and field checks on real line edits: a small window with
// named fields the way the main window names them.
class FieldGuardsTest : public QObject
{
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void typing_data();
    void typing();
    void backspacePasses();
    void focusChangeRunsCheck_data();
    void focusChangeRunsCheck();
    void failedCheckReturnsFocus_data();
    void failedCheckReturnsFocus();
    void twoFailingFieldsDoNotPingPong();
    void tabStripBringsPageBack();
    void menuDoesNotRunCheck();
    void otherWindowDoesNotRunCheck();

  private:
    QLineEdit *edit(const char *name) { return m_window->findChild<QLineEdit *>(name); }
    void focusOn(QWidget *w)
    {
        w->setFocus(Qt::OtherFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), w);
    }

    QWidget *m_window = nullptr;
    QMenuBar *m_menuBar = nullptr;
    QMenu *m_menu = nullptr;
    QTabWidget *m_tabs = nullptr;
    QPushButton *m_button = nullptr;
    QStringList m_messages;
};

void FieldGuardsTest::init()
{
    m_messages.clear();
    MessageBoxes::setResponder([this](const MessageBoxes::Shown &s) {
        m_messages << s.text;
        return false;
    });

    m_window = new QWidget;
    auto *layout = new QVBoxLayout(m_window);
    m_menuBar = new QMenuBar(m_window);
    m_menu = m_menuBar->addMenu("Soubor");
    m_menu->addAction("Uložit");
    layout->setMenuBar(m_menuBar);

    m_tabs = new QTabWidget(m_window);
    layout->addWidget(m_tabs);
    auto *page1 = new QWidget;
    auto *page2 = new QWidget;
    auto *l1 = new QVBoxLayout(page1);
    auto *l2 = new QVBoxLayout(page2);
    m_tabs->addTab(page1, "Základní parametry");
    m_tabs->addTab(page2, "Čísla");

    // name, maximum length, page
    const struct {
        const char *name;
        int max;
        QVBoxLayout *page;
    } fields[] = {{"Edit140", 2, l1}, {"Edit144", 4, l1}, {"Edit8", 6, l1},   {"Edit152", 3, l1},
                  {"Edit145", 3, l1}, {"Edit116", 1, l1}, {"Edit157", 3, l1}, {"Edit14", 5, l1},
                  {"Edit1", 16, l2},  {"Edit13", 2, l2}};
    for (const auto &f : fields) {
        auto *e = new QLineEdit;
        e->setObjectName(f.name);
        e->setMaxLength(f.max);
        f.page->addWidget(e);
    }
    // A field that is not a parameter stays unguarded.
    auto *other = new QLineEdit;
    other->setObjectName("Search");
    l1->addWidget(other);

    m_button = new QPushButton("Zapsat", m_window);
    m_button->setObjectName("BitBtn7");
    layout->addWidget(m_button);

    installFieldGuards(m_window);
    installFieldGuards(m_window); // twice does no harm
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void FieldGuardsTest::cleanup()
{
    delete m_window;
    m_window = nullptr;
    MessageBoxes::setResponder(nullptr);
}

void FieldGuardsTest::typing_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");

    const QString sep = QLocale().decimalPoint();
    QTest::newRow("number h12k") << "Edit1"
                                 << "h12k"
                                 << "*12#";
    QTest::newRow("number pf HK") << "Edit1"
                                  << "pfHK*#PF"
                                  << "PF*#*#PF";
    QTest::newRow("number rejects") << "Edit1"
                                    << "a- D"
                                    << "";
    QTest::newRow("number limit") << "Edit1"
                                  << "12345678901234567"
                                  << "1234567890123456";
    QTest::newRow("mapped at limit") << "Edit1"
                                     << "123456789012345hh"
                                     << "123456789012345*";
    QTest::newRow("fifth digit") << "Edit144"
                                 << "73915"
                                 << "7391";
    QTest::newRow("digits only") << "Edit152"
                                 << "1a2-b3"
                                 << "123";
    QTest::newRow("1 to 5") << "Edit116"
                            << "0967"
                            << "";
    QTest::newRow("1 to 5 takes 4") << "Edit116"
                                    << "94"
                                    << "4";
    QTest::newRow("decimal") << "Edit145"
                             << "0" + sep + "5"
                             << "0" + sep + "5";
    QTest::newRow("decimal letters") << "Edit145"
                                     << "x1y"
                                     << "1";
    QTest::newRow("counter") << "Edit157"
                             << "12a"
                             << "";
    QTest::newRow("hours") << "Edit14"
                           << "99"
                           << "";
    QTest::newRow("unguarded") << "Search"
                               << "ab1"
                               << "ab1";
}

void FieldGuardsTest::typing()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    QLineEdit *e = m_window->findChild<QLineEdit *>(field);
    QVERIFY(e);
    focusOn(e);
    QTest::keyClicks(e, keys);
    QCOMPARE(e->text(), expected);

    // Characters outside Latin-1 never get through a number field either.
    QTest::sendKeyEvent(QTest::Press, e, Qt::Key_unknown, QStringLiteral("ř"), Qt::NoModifier);
    if (field != "Search")
        QCOMPARE(e->text(), expected);
    // Nor does a letter typed with Alt or Meta held.
    QTest::sendKeyEvent(QTest::Press, e, Qt::Key_X, QStringLiteral("x"), Qt::AltModifier);
    QTest::sendKeyEvent(QTest::Press, e, Qt::Key_A, QStringLiteral("a"), Qt::MetaModifier);
    if (field != "Search")
        QCOMPARE(e->text(), expected);

    // Pasted, with Ctrl+V or from the field's own menu, the same text goes in
    // as if typed.
    QGuiApplication::clipboard()->setText(keys);
    if (QGuiApplication::clipboard()->text() != keys)
        QSKIP("no clipboard on this platform");
    e->clear();
    QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(e->text(), expected);
    // The counters and the unguarded field keep the line edit's own menu.
    if (QStringList{"Search", "Edit157", "Edit14"}.contains(field))
        return;
    e->clear();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(2, 2), e->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(e, &menuEvent);
    QMenu *menu = nullptr;
    QTRY_VERIFY((menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())));
    QAction *paste = menu->findChild<QAction *>("edit-paste");
    QVERIFY(paste);
    paste->trigger();
    menu->close();
    QCOMPARE(e->text(), expected);
}

void FieldGuardsTest::backspacePasses()
{
    QLineEdit *e = edit("Edit152");
    focusOn(e);
    QTest::keyClicks(e, "123");
    QTest::keyClick(e, Qt::Key_Backspace);
    QCOMPARE(e->text(), QString("12"));

    // The counters refuse even backspace and delete.
    QLineEdit *counter = edit("Edit157");
    counter->setText("42");
    focusOn(counter);
    QTest::keyClick(counter, Qt::Key_Backspace);
    QTest::keyClick(counter, Qt::Key_Home);
    QTest::keyClick(counter, Qt::Key_Delete);
    QCOMPARE(counter->text(), QString("42"));
}

void FieldGuardsTest::focusChangeRunsCheck_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("expected");

    QTest::newRow("tab key") << "Edit152"
                             << "155"
                             << "tab"
                             << "150";
    QTest::newRow("backtab") << "Edit152"
                             << "95"
                             << "backtab"
                             << "100";
    QTest::newRow("button click") << "Edit152"
                                  << "5"
                                  << "click"
                                  << "60";
    QTest::newRow("set focus") << "Edit145"
                               << "13"
                               << "focus"
                               << "15";
    QTest::newRow("empty gives 1") << "Edit116"
                                   << ""
                                   << "tab"
                                   << "1";
    QTest::newRow("not a number") << "Edit13"
                                  << "x7"
                                  << "tab"
                                  << "25";
}

void FieldGuardsTest::focusChangeRunsCheck()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, how);
    QFETCH(QString, expected);

    QLineEdit *e = m_window->findChild<QLineEdit *>(field);
    m_tabs->setCurrentWidget(e->parentWidget());
    focusOn(e);
    e->setText(text);
    if (how == "tab")
        QTest::keyClick(e, Qt::Key_Tab);
    else if (how == "backtab")
        QTest::keyClick(e, Qt::Key_Backtab, Qt::ShiftModifier);
    else if (how == "click")
        QTest::mouseClick(m_button, Qt::LeftButton);
    else
        m_button->setFocus(Qt::TabFocusReason);
    QVERIFY(QApplication::focusWidget() != e);
    QCOMPARE(e->text(), expected);
    QTest::qWait(20);
    QVERIFY(m_messages.isEmpty());
}

void FieldGuardsTest::failedCheckReturnsFocus_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("message");

    QTest::newRow("hang-up one digit") << "Edit140"
                                       << "4" << 12;
    QTest::newRow("password three") << "Edit144"
                                    << "739" << 14;
    QTest::newRow("password empty") << "Edit144"
                                    << "" << 14;
    QTest::newRow("confirm one") << "Edit8"
                                 << "5" << 11;
    QTest::newRow("confirm empty") << "Edit8"
                                   << "" << 13;
}

void FieldGuardsTest::failedCheckReturnsFocus()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, message);

    QLineEdit *e = m_window->findChild<QLineEdit *>(field);
    focusOn(e);
    e->setText(text);
    QSignalSpy clicks(m_button, &QPushButton::clicked);
    QTest::mouseClick(m_button, Qt::LeftButton);
    QTRY_COMPARE(QApplication::focusWidget(), e);
    QCOMPARE(m_messages, QStringList{LanguageTexts::text("MESSAGE", message)});
    QCOMPARE(e->text(), text);
    QCOMPARE(clicks.size(), 0); // the click that left the field runs nothing
    QVERIFY(!m_button->isDown());

    // Corrected, the field lets the focus go, and the button works again.
    m_messages.clear();
    e->setText(field == "Edit144" ? "7391" : "44");
    QTest::mouseClick(m_button, Qt::LeftButton);
    QTest::qWait(20);
    QCOMPARE(QApplication::focusWidget(), m_button);
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(clicks.size(), 1);
}

void FieldGuardsTest::twoFailingFieldsDoNotPingPong()
{
    // Edit144 is followed by Edit8 in the tab order; both hold bad codes.
    QLineEdit *password = edit("Edit144");
    QLineEdit *confirm = edit("Edit8");
    confirm->setText("");
    focusOn(password);
    password->setText("12");
    QTest::keyClick(password, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), password);
    QTest::qWait(50);
    QCOMPARE(QApplication::focusWidget(), password);
    QCOMPARE(m_messages, QStringList{LanguageTexts::text("MESSAGE", 14)});
}

void FieldGuardsTest::tabStripBringsPageBack()
{
    QLineEdit *e = edit("Edit140");
    m_tabs->setCurrentIndex(0);
    focusOn(e);
    e->setText("4");
    QTabBar *bar = m_tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    QTRY_COMPARE(QApplication::focusWidget(), e);
    QCOMPARE(m_tabs->currentIndex(), 0);
    QCOMPARE(m_messages.size(), 1);
}

void FieldGuardsTest::menuDoesNotRunCheck()
{
    QLineEdit *e = edit("Edit152");
    focusOn(e);
    e->setText("5");

    // A menu opened from the menu bar takes the focus as a popup.
    m_menuBar->setActiveAction(m_menu->menuAction());
    QTRY_VERIFY(m_menu->isVisible());
    QCOMPARE(e->text(), QString("5"));
    m_menu->actions().first()->trigger();
    m_menu->close();
    m_menuBar->setActiveAction(nullptr);
    QTest::qWait(20);
    QCOMPARE(e->text(), QString("5"));

    // The reasons a menu gives, sent directly while another control holds
    // the focus, so only the reason tells them from a real move.
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    m_button->setFocus(Qt::ActiveWindowFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), m_button);
    QCOMPARE(e->text(), QString("5"));
    for (Qt::FocusReason reason :
         {Qt::PopupFocusReason, Qt::MenuBarFocusReason, Qt::ActiveWindowFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QCoreApplication::sendEvent(e, &out);
        QCOMPARE(e->text(), QString("5"));
    }
    QFocusEvent tabOut(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(e, &tabOut);
    QCOMPARE(e->text(), QString("60"));
    QVERIFY(m_messages.isEmpty());
}

void FieldGuardsTest::otherWindowDoesNotRunCheck()
{
    QLineEdit *e = edit("Edit144");
    focusOn(e);
    e->setText("1");

    QWidget other;
    auto *otherEdit = new QLineEdit(&other);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    otherEdit->setFocus(Qt::MouseFocusReason);
    QTest::qWait(20);
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(e->text(), QString("1"));
}

QTEST_MAIN(FieldGuardsTest)
#include "tst_fieldguards.moc"
