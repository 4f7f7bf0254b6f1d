#include "app/AddressOpener.h"

#include "app/MessageBoxes.h"
#include "lang/LanguageTexts.h"
#include "platform/ShellOpen.h"

#include <QPointer>
#include <QWidget>

namespace AddressOpener
{

QString shownAddress(const QString &address)
{
    if (!address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
        return address;
    const QString mail = address.mid(7);
    const qsizetype headers = mail.indexOf(QLatin1Char('?'));
    return headers < 0 ? mail : mail.left(headers);
}

void open(QWidget *parent, const QString &address)
{
    if (address.isEmpty())
        return;
    QPointer<QWidget> owner(parent);
    ShellOpen::open(address, [owner, address] {
        MessageBoxes::showCopyable(owner.data(), LanguageTexts::text(Text::NoProgramForAddress) +
                                                     QStringLiteral("\n\n") + shownAddress(address));
    });
}

} // namespace AddressOpener
