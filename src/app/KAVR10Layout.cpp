// The main window's controls: top strip, four tab pages, status bar and menu,
// each at its fixed place. Texts come from the language texts afterwards
// (applyLanguage); only design texts that are no language text are set here.

#include "app/CaptionPanel.h"
#include "app/FormLayout.h"
#include "app/Glyphs.h"
#include "app/KAVR10.h"
#include "app/StatusPanels.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QVBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QRadioButton>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

using namespace FormLayout;

namespace
{

// Swallows every keyboard event of a display field: only the communicator's
// data and the counter dialog change it.
class NoKeys : public QObject
{
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::InputMethod:
            return true;
        default:
            return false;
        }
    }
};

// Reports a left click released over any of the watched widgets; with
// swallow set, the click is eaten instead (the serial number text itself).
class ClickRelay : public QObject
{
  public:
    ClickRelay(QObject *parent, std::function<void()> onClick, bool swallow = false)
        : QObject(parent), m_onClick(std::move(onClick)), m_swallow(swallow)
    {
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease &&
            event->type() != QEvent::MouseButtonDblClick)
            return false;
        if (m_swallow)
            return true;
        auto *w = static_cast<QWidget *>(watched);
        auto *me = static_cast<QMouseEvent *>(event);
        if (event->type() == QEvent::MouseButtonRelease && me->button() == Qt::LeftButton &&
            w->rect().contains(me->position().toPoint()))
            m_onClick();
        return false;
    }

  private:
    std::function<void()> m_onClick;
    bool m_swallow;
};

// Tabs with a little less padding than the style's own, so the four page
// tabs end before the serial number panel that lies over the right end of
// their row. The padding is what shrinks, never the room for the text.
class CompactTabs : public QProxyStyle
{
  public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        return metric == PM_TabBarTabHSpace ? std::max(8, value - 10) : value;
    }
};

QLineEdit *displayField(QWidget *parent, const char *name, int x, int y, int w)
{
    auto *e = new QLineEdit(QStringLiteral("0"), parent);
    e->setObjectName(QLatin1String(name));
    e->setGeometry(x, y, w, 17);
    e->setFrame(false);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    e->setContextMenuPolicy(Qt::NoContextMenu);
    QFont bold = e->font();
    bold.setBold(true);
    e->setFont(bold);
    QPalette pal = e->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    e->setPalette(pal);
    e->installEventFilter(new NoKeys(e));
    return e;
}

QToolButton *stripButton(QWidget *parent, const char *name, const QRect &r, const QIcon &glyph, bool withText)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(r);
    b->setIcon(glyph);
    b->setIconSize(withText ? QSize(16, 16) : QSize(28, 28));
    b->setToolButtonStyle(withText ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
    // A click takes the focus, so the check of the field being left runs
    // before the command, as for any other control of the window.
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

} // namespace

void TForm1::buildLayout()
{
    setFont(windowFont());
    setWindowIcon(Glyphs::program());

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(621, 419);
    setCentralWidget(client);

    PageControl1 = new QTabWidget(client);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 39, 621, 362);
    PageControl1->setUsesScrollButtons(false);
    if (QStyle *base = QStyleFactory::create(style()->name())) {
        auto *compact = new CompactTabs(base);
        compact->setParent(PageControl1);
        PageControl1->tabBar()->setStyle(compact);
    }
    PageControl1->addTab(buildPage1(), QString());
    PageControl1->addTab(buildPage2(), QString());
    PageControl1->addTab(buildPage3(), QString());
    PageControl1->addTab(buildPage4(), QString());
    PageControl1->setCurrentIndex(1); // the second page is in front until start-up

    buildTopStrip(client); // after the pages: Panel3 lies over the right end of the tab row

    StatusBar1 = new StatusPanels(client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, 401, 621, 18);
    connect(StatusBar1, &StatusPanels::clicked, this, [this] { StatusBar1Click(); });

    // Beneath the status bar, hidden until it has something to say: a row
    // for where the settings come from, a row for what is not shared yet.
    HistoryBar = new QFrame(client);
    HistoryBar->setObjectName(QStringLiteral("HistoryBar"));
    HistoryBar->setGeometry(0, 419, 621, 36);
    auto *historyRows = new QVBoxLayout(HistoryBar);
    historyRows->setContentsMargins(0, 0, 0, 0);
    historyRows->setSpacing(0);
    HistoryNote = new QLabel(HistoryBar);
    HistoryNote->setObjectName(QStringLiteral("HistoryNote"));
    QFont bold = HistoryNote->font();
    bold.setBold(true);
    HistoryNote->setFont(bold);
    ShareState = new QLabel(HistoryBar);
    ShareState->setObjectName(QStringLiteral("ShareState"));
    for (QLabel *row : {HistoryNote, ShareState}) {
        row->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        row->setIndent(2);
        row->setFixedHeight(18);
        // A long text is cut at the window's edge rather than widening it.
        row->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        historyRows->addWidget(row);
    }
    HistoryBar->hide();

    buildMenu();
    FormLayout::readingTabOrder(client);
}

void TForm1::buildTopStrip(QWidget *client)
{
    BitBtn1 = stripButton(client, "BitBtn1", QRect(8, 7, 65, 25), Glyphs::open(), true);
    BitBtn2 = stripButton(client, "BitBtn2", QRect(76, 7, 65, 25), Glyphs::save(), true);
    BitBtn4 = stripButton(client, "BitBtn4", QRect(170, 1, 37, 37), Glyphs::readDevice(), false);
    Label166 = label(client, "Label166", 211, 4, 9, 29);
    Label166->setAutoFillBackground(true);
    Label166->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    BitBtn7 = stripButton(client, "BitBtn7", QRect(224, 1, 37, 37), Glyphs::writeDevice(), false);
    connect(BitBtn1, &QToolButton::clicked, this, &TForm1::openRequested);
    connect(BitBtn2, &QToolButton::clicked, this, &TForm1::saveRequested);
    connect(BitBtn4, &QToolButton::clicked, this, &TForm1::readRequested);
    connect(BitBtn7, &QToolButton::clicked, this, &TForm1::writeRequested);

    auto *panel1 = new QFrame(client);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel1->setGeometry(296, 3, 181, 30);
    panel1->setCursor(Qt::PointingHandCursor);
    label(panel1, "Label15", 4, 7, 122, 17);
    Edit14 = displayField(panel1, "Edit14", 127, 7, 30);
    label(panel1, "Label16", 158, 7, 20, 17);
    Panel1 = panel1;

    auto *panel2 = new QFrame(client);
    panel2->setObjectName(QStringLiteral("Panel2"));
    panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel2->setGeometry(480, 3, 133, 30);
    panel2->setCursor(Qt::PointingHandCursor);
    label(panel2, "Label2", 4, 7, 84, 17);
    Edit157 = displayField(panel2, "Edit157", 90, 7, 38);
    Panel2 = panel2;

    auto *serviceRelay = new ClickRelay(this, [this] { emit serviceTimerPanelClicked(); });
    // The labels pass their clicks on to the panel; the field keeps its own.
    panel1->installEventFilter(serviceRelay);
    Edit14->installEventFilter(serviceRelay);
    auto *powerRelay = new ClickRelay(this, [this] { emit powerOnPanelClicked(); });
    panel2->installEventFilter(powerRelay);
    Edit157->installEventFilter(powerRelay);
    for (QWidget *w : panel1->findChildren<QWidget *>())
        w->setCursor(Qt::PointingHandCursor);
    for (QWidget *w : panel2->findChildren<QWidget *>())
        w->setCursor(Qt::PointingHandCursor);

    Panel3 = new CaptionPanel(client);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(441, 35, 171, 22);
    Panel3->setCursor(Qt::PointingHandCursor);
    connect(Panel3, &CaptionPanel::clicked, this, [this] { Panel3Click(); });
    Label22 = label(Panel3, "Label22", 100, 2, 66, 18);
    Label22->setText(QStringLiteral("00000"));
    QFont bold = Label22->font();
    bold.setBold(true);
    Label22->setFont(bold);
    // A click on the number itself does nothing; only the panel around it acts.
    Label22->installEventFilter(new ClickRelay(
        Label22, [] {}, true));
    Panel3->raise();
}

QWidget *TForm1::buildPage1()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet3"));

    auto *dial = group(page, "GroupBox13", 48, 16, 241, 73);
    radio(dial, "RadioButton6", 16, 20, 215, true);
    radio(dial, "RadioButton7", 16, 44, 215);

    auto *hangUp = group(page, "GroupBox16", 312, 16, 249, 57);
    label(hangUp, "Label154", 12, 24, 170, 17);
    paramEdit(hangUp, "Edit140", 190, 22, 32);

    auto *endSign = group(page, "GroupBox15", 48, 104, 241, 73);
    radio(endSign, "RadioButton10", 16, 20, 215, true);
    radio(endSign, "RadioButton11", 16, 44, 215);

    auto *relay = group(page, "GroupBox6", 312, 88, 249, 89);
    label(relay, "Label9", 12, 24, 174, 17);
    paramEdit(relay, "Edit9", 190, 22, 32);
    label(relay, "Label12", 12, 56, 174, 17);
    paramEdit(relay, "Edit10", 190, 54, 32);

    auto *password = group(page, "GroupBox23", 48, 192, 473, 65);
    label(password, "Label158", 12, 18, 330, 34, true);
    codeMark(password, "Label157", QStringLiteral("#"), 378, 24);
    paramEdit(password, "Edit144", 392, 24, 48, true);

    auto *confirm = group(page, "GroupBox5", 48, 264, 473, 65);
    label(confirm, "Label8", 12, 16, 352, 44, true);
    codeMark(confirm, "Label156", QStringLiteral("*"), 378, 24);
    paramEdit(confirm, "Edit8", 392, 24, 62, true);
    return page;
}

QWidget *TForm1::buildPage2()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet4"));

    auto *blocking = group(page, "GroupBox14", 6, 6, 318, 65);
    radio(blocking, "RadioButton8", 12, 20, 298, true);
    radio(blocking, "RadioButton9", 12, 42, 298);

    auto *repeat = group(page, "GroupBox8", 330, 6, 279, 65);
    label(repeat, "Label19", 12, 28, 228, 17);
    paramEdit(repeat, "Edit116", 244, 26, 26);

    auto *polarity = group(page, "GroupBox10", 6, 76, 603, 49);
    radio(polarity, "RadioButton12", 12, 22, 286, true)->setEnabled(false);
    radio(polarity, "RadioButton13", 306, 22, 290)->setEnabled(false);

    auto *fault = group(page, "GroupBox12", 6, 130, 318, 65);
    radio(fault, "RadioButton4", 12, 20, 298, true);
    radio(fault, "RadioButton5", 12, 42, 298);

    auto *faultDelay = group(page, "GroupBox3", 330, 130, 279, 65);
    label(faultDelay, "Label18", 12, 18, 226, 34, true);
    paramEdit(faultDelay, "Edit15", 244, 24, 26);

    auto *service = group(page, "GroupBox11", 6, 200, 318, 89);
    radio(service, "RadioButton1", 12, 20, 298, true);
    radio(service, "RadioButton2", 12, 42, 298);
    radio(service, "RadioButton3", 12, 64, 298);

    auto *serviceRepeat = group(page, "GroupBox9", 330, 200, 279, 89);
    label(serviceRepeat, "Label20", 12, 28, 230, 34, true);
    paramEdit(serviceRepeat, "Edit17", 244, 34, 26);
    return page;
}

QWidget *TForm1::buildPage3()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet5"));

    auto *operation = group(page, "GroupBox22", 6, 6, 300, 324);
    const struct {
        const char *label;
        const char *edit;
        int width;
    } rows[] = {{"Label149", "Edit145", 40}, {"Label150", "Edit146", 26}, {"Label151", "Edit147", 40},
                {"Label152", "Edit148", 26}, {"Label159", "Edit149", 26}, {"Label160", "Edit150", 26}};
    int y = 20;
    for (const auto &r : rows) {
        label(operation, r.label, 12, y, 232, 30, true);
        paramEdit(operation, r.edit, 250, y + 4, r.width);
        y += 38;
    }
    check(operation, "CheckBox11", 12, 254, 280, true);
    check(operation, "CheckBox12", 12, 280, 280, true);

    auto *dialling = group(page, "GroupBox21", 312, 6, 297, 164);
    y = 20;
    for (const auto &r : {std::pair{"Label162", "Edit152"}, std::pair{"Label163", "Edit153"},
                          std::pair{"Label164", "Edit154"}, std::pair{"Label165", "Edit155"}}) {
        label(dialling, r.first, 12, y, 226, 30, true);
        paramEdit(dialling, r.second, 244, y + 4, 44);
        y += 36;
    }

    auto *pickUp = group(page, "GroupBox7", 312, 178, 297, 104);
    label(pickUp, "Label13", 12, 20, 226, 30, true);
    paramEdit(pickUp, "Edit11", 244, 24, 34, true);
    label(pickUp, "Label14", 12, 60, 226, 30, true);
    paramEdit(pickUp, "Edit13", 244, 64, 34, true);
    return page;
}

QWidget *TForm1::buildPage4()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));

    const char *rowLabels[] = {"Label4", "Label5", "Label6", "Label7", "Label11", "Label10"};
    const char *numbers[] = {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6"};
    const char *confirms[] = {"CheckBox1", "CheckBox2", "CheckBox3", "CheckBox4", "CheckBox5", "CheckBox6"};
    auto *emergency = group(page, "GroupBox1", 6, 4, 603, 176);
    for (int i = 0; i < 6; ++i) {
        const int y = 20 + i * 25;
        label(emergency, rowLabels[i], 16, y + 2, 124, 17);
        paramEdit(emergency, numbers[i], 144, y, 150);
        check(emergency, confirms[i], 300, y + 1, 130);
    }

    auto *service = group(page, "GroupBox2", 6, 186, 603, 60);
    label(service, "Label1", 16, 26, 124, 17);
    paramEdit(service, "Edit12", 144, 24, 150);
    check(service, "CheckBox7", 300, 25, 130);
    check(service, "CheckBox9", 430, 25, 165);

    auto *fault = group(page, "GroupBox4", 6, 252, 603, 60);
    label(fault, "Label3", 16, 26, 124, 17);
    paramEdit(fault, "Edit7", 144, 24, 150);
    check(fault, "CheckBox8", 300, 25, 130);
    check(fault, "CheckBox10", 430, 25, 165);
    return page;
}

void TForm1::buildMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto menu = [bar](const char *name) {
        QMenu *m = bar->addMenu(QString());
        m->setObjectName(QLatin1String(name));
        return m;
    };
    auto item = [this](QMenu *m, const char *name, auto signal) {
        QAction *a = m->addAction(QString());
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, signal);
        return a;
    };

    // The shortcuts a desktop user expects; none for Write, which changes a
    // lift and stays a deliberate click.
    QMenu *file = menu("Soubor1");
    item(file, "Otevt1", &TForm1::openRequested)->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    item(file, "Uloit1", &TForm1::saveRequested)->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    item(file, "Uloitjako1", &TForm1::saveAsRequested)
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    file->addSeparator();
    item(file, "isknastaven1", &TForm1::printRequested)->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
    file->addSeparator();
    item(file, "Historie1", &TForm1::historyRequested);
    file->addSeparator();
    QAction *exit = file->addAction(QString());
    exit->setObjectName(QStringLiteral("Konec1"));
    exit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *device = menu("ZARPvrtn1");
    item(device, "Nastnastaven1", &TForm1::readRequested)->setShortcut(QKeySequence(Qt::Key_F5));
    device->addSeparator();
    item(device, "Ulotnastaven1", &TForm1::writeRequested);
    device->addSeparator();
    item(device, "Porovnat1", &TForm1::compareRequested);

    QMenu *tools = menu("est1");
    item(tools, "Ukzkytn1", &TForm1::toneSamplesRequested);
    tools->addSeparator();
    item(tools, "Nastavenportu1", &TForm1::portChoiceRequested);

    QMenu *help = menu("Pomoc1");
    item(help, "Npovda1", &TForm1::helpRequested)->setShortcut(QKeySequence(Qt::Key_F1));
    // The user manual's item takes its caption but is never offered.
    QAction *manual = help->addAction(QString());
    manual->setObjectName(QStringLiteral("Uivatelskpruka1"));
    manual->setVisible(false);
    item(help, "Novinky1", &TForm1::newsRequested);
    item(help, "Oprogramu1", &TForm1::aboutRequested);

    // Ten blanks, disabled: pushes the language menu to the right.
    QAction *spacer = bar->addAction(QString(10, QLatin1Char(' ')));
    spacer->setObjectName(QStringLiteral("MenuSpacer1"));
    spacer->setEnabled(false);

    QMenu *language = menu("Jazyk1");
    const char *entries[] = {"English1", "a11", "a21", "a31", "a41", "a51",
                             "a61",      "a71", "a81", "a91", "a01"};
    for (int i = 0; i < 11; ++i) {
        QAction *a = language->addAction(i == 0 ? QStringLiteral("None") : QString());
        a->setObjectName(QLatin1String(entries[i]));
        a->setVisible(i == 0);
        connect(a, &QAction::triggered, this, [this, i] { emit languageChosen(i); });
        languageEntries.append(a);
    }
}
