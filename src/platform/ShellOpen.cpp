#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace ShellOpen
{

namespace
{
std::function<void(const QString &)> &hook()
{
    static std::function<void(const QString &)> h;
    return h;
}
} // namespace

void setHook(std::function<void(const QString &)> h)
{
    hook() = std::move(h);
}

void open(const QString &target)
{
    if (hook()) {
        hook()(target);
        return;
    }
    // Addresses with a scheme go as they are, and so does a web address
    // written the short way ("www.example.org"); anything else is a file.
    const bool shortWeb = target.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
    const QUrl url(shortWeb ? QStringLiteral("https://") + target : target);
    const bool isAddress = url.isValid() && url.scheme().size() > 1;
    QDesktopServices::openUrl(isAddress ? url : QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath()));
}

} // namespace ShellOpen
