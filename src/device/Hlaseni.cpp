#include "device/Hlaseni.h"

#include "device/FormFont.h"
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
        b->setAutoDefault(false);
        return b;
    };
    Button1 = button("Button1", 8, 149);
    Button2 = button("Button2", 160, 145);
    Button3 = button("Button3", 308, 69);
    setCaptions();
}

void TForm7::setCaptions()
{
    const QString section = QStringLiteral("MESSAGE");
    Button1->setText(LanguageTexts::text(section, 32));
    Button2->setText(LanguageTexts::text(section, 34));
    Button3->setText(LanguageTexts::text(section, 31));
    setWindowTitle(LanguageTexts::text(section, 37));
}
