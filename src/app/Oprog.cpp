#include "app/Oprog.h"

#include "app/AddressOpener.h"
#include "app/FormLayout.h"
#include "lang/LanguageTexts.h"
#include "platform/ProgramVersion.h"
#include "platform/ShellOpen.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>

const char *const TForm2::authorAddress = "vyvoj@kavrotech.example";

TForm2::TForm2(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TForm2"));
    setFont(FormLayout::windowFont());
    setFixedSize(287, 171);

    auto *title = FormLayout::label(this, "Label1", 0, 6, 287, 17);
    title->setAlignment(Qt::AlignCenter);
    QFont underlined = title->font();
    underlined.setUnderline(true);
    title->setFont(underlined);
    auto *product = FormLayout::label(this, "Label2", 0, 24, 287, 18);
    product->setAlignment(Qt::AlignCenter);
    QFont bold = product->font();
    bold.setBold(true);
    product->setFont(bold);

    Image1 = FormLayout::label(this, "Image1", 8, 48, 150, 70);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setCursor(Qt::PointingHandCursor);
    for (int i = 0; i < 4; ++i)
        FormLayout::label(this, QByteArray("Label" + QByteArray::number(3 + i)).constData(), 172, 50 + i * 16,
                          112, 16);

    QFont link = bold;
    link.setUnderline(true);
    // The mail line may reach the author label; the web line ends a few
    // pixels before the version panel.
    for (const auto &[name, y, w] : {std::tuple{"Label8", 124, 192}, std::tuple{"Label9", 144, 199}}) {
        QLabel *l = FormLayout::label(this, name, 0, y, w, 17);
        l->setAlignment(Qt::AlignCenter);
        l->setFont(link);
        l->setCursor(Qt::PointingHandCursor);
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, Qt::blue);
        l->setPalette(pal);
    }

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(196, 112, 87, 25);
    QPalette maroon = palette();
    maroon.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x00));
    Label10 = FormLayout::label(panel, "Label10", 4, 4, 44, 17);
    Label10->setPalette(maroon);
    Label11 = FormLayout::label(panel, "Label11", 48, 4, 38, 17);
    Label11->setPalette(maroon);
    Label11->setFont(bold);

    // The notice is the same in every language.
    Label7 = FormLayout::label(this, "Label7", 200, 141, 69, 26, true);
    Label7->setText(QStringLiteral("© 2026 Kavrotech"));
    Label7->setAlignment(Qt::AlignCenter);
    Label7->setCursor(Qt::PointingHandCursor);

    Label8 = findChild<QLabel *>(QStringLiteral("Label8"));
    Label9 = findChild<QLabel *>(QStringLiteral("Label9"));
    for (QLabel *l : {Image1, Label7, Label8, Label9})
        l->installEventFilter(this);
}

QString TForm2::webLink()
{
    return ShellOpen::webAddress(LanguageTexts::text(Text::MakerWebAddress));
}

QString TForm2::makerMailLink()
{
    return ShellOpen::mailLink(LanguageTexts::text(Text::MakerEmail), LanguageTexts::text(Text::MailSubject));
}

QString TForm2::authorMailLink()
{
    return ShellOpen::mailLink(QLatin1String(authorAddress), LanguageTexts::text(Text::MailSubject));
}

bool TForm2::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        QString link;
        if (watched == Image1 || watched == Label8)
            link = webLink();
        else if (watched == Label9)
            link = makerMailLink();
        else if (watched == Label7)
            link = authorMailLink();
        // An address the language gives that is no web or mail address opens
        // nothing; one that nothing on the computer opens is shown for copying.
        AddressOpener::open(this, link);
    }
    return QDialog::eventFilter(watched, event);
}

void TForm2::showEvent(QShowEvent *event)
{
    Label11->setText(ProgramVersion::text().left(4));
    // The version follows "Verze:" in any language, one blank after it.
    const int gap = Label10->fontMetrics().horizontalAdvance(QLatin1Char(' '));
    Label10->setFixedWidth(Label10->fontMetrics().horizontalAdvance(Label10->text()));
    const int x = Label10->x() + Label10->width() + gap;
    Label11->setGeometry(x, Label11->y(), Label11->parentWidget()->width() - x - 2, Label11->height());
    QDialog::showEvent(event);
}
