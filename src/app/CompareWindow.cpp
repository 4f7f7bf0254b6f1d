#include "app/CompareWindow.h"

#include "app/FormFont.h"
#include "app/ReadOnlyCell.h"
#include "device/DeviceCodec.h"
#include "device/ExchangeService.h"
#include "lang/LanguageTexts.h"
#include "settings/MemoryRecord.h"
#include "settings/ParameterListing.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CompareWindow::CompareWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("CompareWindow"));
    setFont(formFont());
    setModal(true);

    Table = new QTableWidget(0, Columns, this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->verticalHeader()->hide();
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setWordWrap(true);
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Table->horizontalHeader()->setSectionResizeMode(LabelColumn, QHeaderView::Stretch);

    TakeButton = new QPushButton(this);
    TakeButton->setObjectName(QStringLiteral("TakeButton"));
    CloseButton = new QPushButton(this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    // Enter closes: taking the other values is a deliberate click.
    CloseButton->setDefault(true);
    connect(TakeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(TakeButton);
    buttons->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Table);
    layout->addLayout(buttons);
    resize(760, 340);
}

int CompareWindow::prepare(const SettingsRecord &window, const SettingsRecord &otherRecord, Source source)
{
    const bool device = source == Source::Communicator;
    setWindowTitle(LanguageTexts::text(device ? Text::CompareWithCommunicator : Text::CompareWithFile));
    Table->setHorizontalHeaderLabels({LanguageTexts::text(Text::Page), LanguageTexts::text(Text::Group),
                                      LanguageTexts::text(Text::Parameter),
                                      LanguageTexts::text(Text::InWindow),
                                      LanguageTexts::text(device ? Text::InCommunicator : Text::InFile)});
    TakeButton->setText(LanguageTexts::text(device ? Text::TakeFromCommunicator : Text::TakeFromFile));
    CloseButton->setText(LanguageTexts::text(Text::Close));

    // Both sides as the communicator would hold them decide what differs;
    // each side is shown as it stands.
    const QChar point = DeviceCodec::decimalSeparator();
    MemoryRecord heldWindow;
    MemoryRecord heldOther;
    DeviceCodec::asHeld(window, heldWindow, point);
    DeviceCodec::asHeld(otherRecord, heldOther, point);
    const QList<ParameterListing::Line> mine = ParameterListing::lines(window);
    const QList<ParameterListing::Line> theirs = ParameterListing::lines(otherRecord);
    const QList<ParameterListing::Line> a = ParameterListing::lines(heldWindow);
    const QList<ParameterListing::Line> b = ParameterListing::lines(heldOther);
    Table->setRowCount(0);
    for (qsizetype i = 0; i < a.size() && i < b.size() && i < mine.size() && i < theirs.size(); ++i) {
        // A value a file holds that the window cannot show differs too.
        if (a[i].stored == b[i].stored && theirs[i].mark.isEmpty())
            continue;
        const int row = Table->rowCount();
        Table->insertRow(row);
        Table->setItem(row, PageColumn, readOnlyCell(mine[i].page));
        Table->setItem(row, GroupColumn, readOnlyCell(mine[i].group));
        Table->setItem(row, LabelColumn, readOnlyCell(mine[i].label));
        Table->setItem(row, WindowColumn, readOnlyCell(mine[i].value));
        Table->setItem(row, OtherColumn, readOnlyCell(theirs[i].value + theirs[i].mark));
    }
    Table->resizeRowsToContents();
    return Table->rowCount();
}
