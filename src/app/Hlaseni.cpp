#include "app/Hlaseni.h"

#include "app/FormFont.h"
#include "lang/LanguageTexts.h"

#include <QPushButton>

TForm7::TForm7(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TForm7"));
    setFont(formFont());
    setFixedSize(382, 47);
    auto button = [this](const char *name, int x, int w) {
        auto *b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x, 8, w, 33);
        // The focused button takes Enter.
        b->setAutoDefault(true);
        return b;
    };
    Button1 = button("Button1", 8, 149);
    Button2 = button("Button2", 160, 145);
    Button3 = button("Button3", 308, 69);
    connect(Button1, &QPushButton::clicked, this, [this] {
        m_chosen = Action::ReadFromDevice;
        accept();
    });
    connect(Button2, &QPushButton::clicked, this, [this] {
        m_chosen = Action::ClearCounter;
        accept();
    });
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);
    setCaptions();
}

TForm7::Action TForm7::choose()
{
    m_chosen = Action::Cancel;
    setCaptions();
    Button3->setFocus(Qt::OtherFocusReason);
    exec();
    return m_chosen;
}

void TForm7::setCaptions()
{
    Button1->setText(LanguageTexts::text(Text::ReadFromCommunicator));
    Button2->setText(LanguageTexts::text(Text::ClearCounter));
    Button3->setText(LanguageTexts::text(Text::Cancel));
    setWindowTitle(LanguageTexts::text(Text::ActionChoice));
}
