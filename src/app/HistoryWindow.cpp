#include "app/HistoryWindow.h"

#include "app/FormFont.h"
#include "lang/LanguageTexts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace
{
QString eventText(DeviceHistory::Event event)
{
    switch (event) {
    case DeviceHistory::Event::Read:
        return LanguageTexts::text(Text::EventRead);
    case DeviceHistory::Event::BeforeWrite:
        return LanguageTexts::text(Text::EventBeforeWrite);
    case DeviceHistory::Event::Written:
        return LanguageTexts::text(Text::EventWritten);
    case DeviceHistory::Event::ReadBack:
        return DeviceHistory::eventName(event);
    }
    return QString();
}

// Where an entry's index is kept on its row.
constexpr int EntryRole = Qt::UserRole + 1;
} // namespace

HistoryWindow::HistoryWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setFont(formFont());
    setModal(true);

    Tree = new QTreeWidget(this);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setColumnCount(3);
    Tree->setRootIsDecorated(true);
    Tree->setUniformRowHeights(true);
    Tree->header()->setStretchLastSection(true);

    OpenButton = new QPushButton(this);
    OpenButton->setObjectName(QStringLiteral("OpenButton"));
    CompareButton = new QPushButton(this);
    CompareButton->setObjectName(QStringLiteral("CompareButton"));
    CloseButton = new QPushButton(this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    connect(OpenButton, &QPushButton::clicked, this, [this] { finish(Action::Open); });
    connect(CompareButton, &QPushButton::clicked, this, [this] { finish(Action::Compare); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    // A double click opens the entry, as in a file dialog.
    connect(Tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        if (item && item->data(0, EntryRole).isValid())
            finish(Action::Open);
    });
    connect(Tree, &QTreeWidget::currentItemChanged, this, [this] { selectionChanged(); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OpenButton);
    buttons->addWidget(CompareButton);
    buttons->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Tree);
    layout->addLayout(buttons);
    resize(520, 360);
}

void HistoryWindow::fill(const QList<DeviceHistory::Entry> &entries)
{
    m_entries = entries;
    m_action = Action::None;
    m_chosen.reset();
    setWindowTitle(LanguageTexts::text(Text::History));
    Tree->setHeaderLabels({LanguageTexts::text(Text::DateAndTime), LanguageTexts::text(Text::Event),
                           LanguageTexts::text(Text::Firmware)});
    OpenButton->setText(LanguageTexts::text(Text::Open));
    CompareButton->setText(LanguageTexts::text(Text::CompareWithWindow));
    CloseButton->setText(LanguageTexts::text(Text::Close));

    Tree->clear();
    QTreeWidgetItem *group = nullptr;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const DeviceHistory::Entry &e = entries[i];
        if (!group || group->data(0, Qt::UserRole).toString() != e.serialNumber) {
            group = new QTreeWidgetItem(Tree);
            group->setText(0, LanguageTexts::text(Text::SerialNumberGroup).arg(e.serialNumber));
            group->setData(0, Qt::UserRole, e.serialNumber);
            group->setFirstColumnSpanned(true);
            group->setExpanded(true);
        }
        auto *item = new QTreeWidgetItem(group);
        // Day, month and year as the status bar writes them, then the time.
        item->setText(0, e.when().toString(QStringLiteral("d.M.yyyy  H:mm:ss")));
        item->setText(1, eventText(e.event));
        item->setText(2, e.firmware);
        item->setToolTip(0, e.path);
        item->setData(0, EntryRole, int(i));
    }
    if (entries.isEmpty()) {
        auto *empty = new QTreeWidgetItem(Tree);
        empty->setText(0, LanguageTexts::text(Text::HistoryEmpty));
        empty->setFirstColumnSpanned(true);
        empty->setFlags(Qt::NoItemFlags);
    }
    Tree->resizeColumnToContents(0);
    Tree->resizeColumnToContents(1);
    // The newest entry of the first communicator is chosen at the start.
    if (QTreeWidgetItem *first = Tree->topLevelItem(0); first && first->childCount() > 0)
        Tree->setCurrentItem(first->child(0));
    selectionChanged();
}

void HistoryWindow::selectionChanged()
{
    const QTreeWidgetItem *item = Tree->currentItem();
    const bool entry = item && item->data(0, EntryRole).isValid();
    OpenButton->setEnabled(entry);
    CompareButton->setEnabled(entry);
}

void HistoryWindow::finish(Action action)
{
    const QTreeWidgetItem *item = Tree->currentItem();
    if (!item || !item->data(0, EntryRole).isValid())
        return;
    m_action = action;
    m_chosen = m_entries.value(item->data(0, EntryRole).toInt());
    accept();
}
