#include "app/HistoryWindow.h"

#include "app/FleetModel.h"
#include "app/FormFont.h"
#include "app/MessageBoxes.h"
#include "history/FleetHistory.h"
#include "lang/LanguageTexts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace
{
// Each button's text with a hotkey: its first letter that no button before
// it took (a text that names its own keeps it).
void setTexts(const QList<std::pair<QPushButton *, QString>> &buttons)
{
    QString taken;
    for (const auto &[button, text] : buttons) {
        QString shown = text;
        if (!text.contains(u'&')) {
            for (qsizetype i = 0; i < text.size(); ++i) {
                const QChar c = text[i].toLower();
                if (c.isLetter() && !taken.contains(c)) {
                    taken += c;
                    shown.insert(i, u'&');
                    break;
                }
            }
        }
        button->setText(shown);
    }
}
} // namespace

HistoryWindow::HistoryWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setFont(formFont());
    setModal(true);

    Search = new QLineEdit(this);
    Search->setObjectName(QStringLiteral("FleetSearch"));
    Search->setClearButtonEnabled(true);
    m_model = new FleetModel(this);
    Tree = new QTreeView(this);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setModel(m_model);
    Tree->setRootIsDecorated(true);
    // Rows as high as their text: a site may take more than one line.
    Tree->setUniformRowHeights(false);
    Tree->setWordWrap(true);
    Tree->setAllColumnsShowFocus(true);
    Tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Tree->setSortingEnabled(true);
    Tree->header()->setSortIndicator(FleetModel::DateColumn, Qt::DescendingOrder);
    Tree->header()->setStretchLastSection(true);
    Tree->installEventFilter(this);

    OpenButton = new QPushButton(this);
    OpenButton->setObjectName(QStringLiteral("OpenButton"));
    CompareButton = new QPushButton(this);
    CompareButton->setObjectName(QStringLiteral("CompareButton"));
    SiteButton = new QPushButton(this);
    SiteButton->setObjectName(QStringLiteral("SiteButton"));
    CloseButton = new QPushButton(this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    // Enter opens the chosen entry, from the search field as from the list.
    OpenButton->setDefault(true);
    for (QPushButton *b : {CompareButton, SiteButton, CloseButton})
        b->setAutoDefault(false);
    connect(OpenButton, &QPushButton::clicked, this, [this] { finish(Action::Open); });
    connect(CompareButton, &QPushButton::clicked, this, [this] { finish(Action::Compare); });
    connect(SiteButton, &QPushButton::clicked, this, [this] { setSite(); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    // A double click opens the entry, as in a file dialog.
    connect(Tree, &QTreeView::doubleClicked, this, [this] { finish(Action::Open); });
    connect(Tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { selectionChanged(); });
    connect(Search, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_model->setSearch(text);
        // The first communicator left is the one Enter opens.
        if (m_model->rowCount() > 0)
            Tree->setCurrentIndex(m_model->index(0, 0));
        selectionChanged();
    });

    ShareState = new QLabel(this);
    ShareState->setObjectName(QStringLiteral("ShareState"));
    ShareState->setWordWrap(true);
    ShareState->hide();

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(ShareState, 1);
    buttons->addStretch();
    buttons->addWidget(OpenButton);
    buttons->addWidget(CompareButton);
    buttons->addWidget(SiteButton);
    buttons->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Search);
    layout->addWidget(Tree);
    layout->addLayout(buttons);
    resize(760, 420);
}

void HistoryWindow::fill(DeviceHistory &history)
{
    m_history = &history;
    m_action = Action::None;
    m_chosen.reset();
    setWindowTitle(LanguageTexts::text(Text::History));
    Search->setPlaceholderText(LanguageTexts::text(Text::FleetSearch));
    setTexts({{OpenButton, LanguageTexts::text(Text::Open)},
              {CompareButton, LanguageTexts::text(Text::CompareWithWindow)},
              {SiteButton, LanguageTexts::text(Text::SetSite)},
              {CloseButton, LanguageTexts::text(Text::Close)}});
    reload(QString());
    Search->setFocus();
}

void HistoryWindow::reload(const QString &serial)
{
    Result<Fleet::List> list = FleetHistory::load(*m_history, FleetHistory::Detail::Entries);
    if (!list)
        MessageBoxes::showMessage(this, list.failure().text());
    m_model->setFleet(list ? std::move(list).value() : Fleet::List());
#ifdef __GLIBC__
    // What the history's listing took while the rows were made is free
    // again: the window keeps only the rows.
    malloc_trim(0);
#endif
    Tree->setToolTip(m_model->fleet().rows.empty() ? LanguageTexts::text(Text::HistoryEmpty) : QString());
    for (int c = 0; c + 1 < FleetModel::Columns; ++c)
        Tree->resizeColumnToContents(c);
    const QModelIndex row = serial.isEmpty() ? m_model->index(0, 0) : m_model->indexOfSerial(serial);
    if (row.isValid())
        Tree->setCurrentIndex(row);
    selectionChanged();
}

void HistoryWindow::setShareState(const QString &text)
{
    ShareState->setText(text);
    ShareState->setVisible(!text.isEmpty());
}

int HistoryWindow::shownRows() const
{
    return m_model->rowCount();
}

bool HistoryWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Enter on the list opens the chosen entry, as the default button does.
    if (watched == Tree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            finish(Action::Open);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void HistoryWindow::selectionChanged()
{
    const QModelIndex current = Tree->currentIndex();
    const bool entry = m_model->entryOf(current) != nullptr;
    OpenButton->setEnabled(entry);
    CompareButton->setEnabled(entry);
    SiteButton->setEnabled(m_model->rowOf(current) != nullptr);
}

void HistoryWindow::setSite()
{
    const Fleet::Row *row = m_model->rowOf(Tree->currentIndex());
    if (!row || !m_history)
        return;
    const QString serial = row->serial;
    bool ok = false;
    const QString text = QInputDialog::getText(this, LanguageTexts::text(Text::SetSite).remove(u'&'),
                                               LanguageTexts::text(Text::SitePrompt).arg(serial),
                                               QLineEdit::Normal, row->site, &ok);
    if (!ok || text.simplified() == row->site)
        return;
    if (Result<QString> kept = FleetHistory::setSite(*m_history, serial, text); !kept) {
        MessageBoxes::showMessage(this, kept.failure().text());
        return;
    }
    emit siteKept();
    reload(serial);
}

void HistoryWindow::finish(Action action)
{
    const Fleet::Entry *entry = m_model->entryOf(Tree->currentIndex());
    if (!entry)
        return;
    m_action = action;
    m_chosen = *entry;
    accept();
}
