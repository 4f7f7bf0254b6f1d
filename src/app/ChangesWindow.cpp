#include "app/ChangesWindow.h"

#include "app/FormFont.h"
#include "app/ReadOnlyCell.h"
#include "device/WritePreview.h"
#include "lang/LanguageTexts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

ChangesWindow::ChangesWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("ChangesWindow"));
    setFont(formFont());
    setModal(true);

    Table = new QTableWidget(0, 4, this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->verticalHeader()->hide();
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setWordWrap(true);
    Table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    Table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    Table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    Table->horizontalHeader()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    NothingLabel = new QLabel(this);
    NothingLabel->setObjectName(QStringLiteral("NothingLabel"));
    NothingLabel->setAlignment(Qt::AlignCenter);

    WriteButton = new QPushButton(this);
    WriteButton->setObjectName(QStringLiteral("WriteButton"));
    CancelButton = new QPushButton(this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    // Enter cancels: sending is a deliberate click.
    WriteButton->setAutoDefault(false);
    CancelButton->setDefault(true);
    connect(WriteButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(WriteButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Table);
    layout->addWidget(NothingLabel);
    layout->addLayout(buttons);
}

int ChangesWindow::prepare(const SettingsRecord &inDevice, const SettingsRecord &toWrite)
{
    setWindowTitle(LanguageTexts::text(Text::WriteChanges));
    Table->setHorizontalHeaderLabels({LanguageTexts::text(Text::Page), LanguageTexts::text(Text::Parameter),
                                      LanguageTexts::text(Text::InCommunicator),
                                      LanguageTexts::text(Text::AfterWrite)});
    WriteButton->setText(LanguageTexts::text(Text::WriteButton));
    CancelButton->setText(LanguageTexts::text(Text::CancelButton));
    NothingLabel->setText(LanguageTexts::text(Text::NothingChanges));

    Table->setRowCount(0);
    for (const auto &[now, after] : WritePreview::changes(inDevice, toWrite)) {
        const int row = Table->rowCount();
        Table->insertRow(row);
        Table->setItem(row, 0, readOnlyCell(now.page));
        Table->setItem(row, 1, readOnlyCell(now.label));
        Table->setItem(row, 2, readOnlyCell(now.value));
        Table->setItem(row, 3, readOnlyCell(after.value));
    }
    Table->resizeRowsToContents();
    const bool nothing = Table->rowCount() == 0;
    Table->setVisible(!nothing);
    NothingLabel->setVisible(nothing);
    if (nothing)
        resize(320, 110);
    else
        resize(640, 340);
    CancelButton->setFocus();
    return Table->rowCount();
}
