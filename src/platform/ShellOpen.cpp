#include "platform/ShellOpen.h"

#include "platform/SafeFile.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
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

void open(const QString &target, std::function<void()> failed)
{
    if (hook()) {
        hook()(target);
        return;
    }
    const bool shortWeb = target.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
    // The desktop's own services say only whether an opener was started,
    // not whether it found a program; the opener's exit status does.
    auto *opener = new QProcess(QCoreApplication::instance());
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments({shortWeb ? QStringLiteral("https://") + target : target});
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    auto reported = std::make_shared<bool>(false);
    auto report = [failed, reported] {
        if (*reported)
            return;
        *reported = true;
        // Never from inside start(): the caller's own call has ended first.
        if (failed)
            QTimer::singleShot(0, QCoreApplication::instance(), failed);
    };
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [opener, report](QProcess::ProcessError error) {
                         // A crash or a lost pipe still ends in finished().
                         if (error == QProcess::FailedToStart) {
                             report();
                             opener->deleteLater();
                         }
                     });
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, report](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0)
                             report();
                         opener->deleteLater();
                     });
    opener->start();
}

namespace
{

bool hasControl(const QString &text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return true;
    return false;
}

} // namespace

QString helpFile(const QString &folder, const QString &name)
{
    const QString lower = name.toLower();
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QLatin1String("..")) || hasControl(name) ||
        !(lower.endsWith(QLatin1String(".html")) || lower.endsWith(QLatin1String(".htm"))))
        return QString();
    const QString path = QDir(folder).absoluteFilePath(name);
    if (!SafeFile::check(path).ok())
        return QString();
    const QString real = QFileInfo(path).canonicalFilePath();
    if (QFileInfo(real).absolutePath() != QFileInfo(folder).canonicalFilePath())
        return QString();
    return path;
}

QString webAddress(const QString &text)
{
    if (text.isEmpty() || hasControl(text) || text.contains(QLatin1Char(' ')))
        return QString();
    const bool shortWeb = text.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
    const QString target = shortWeb ? QStringLiteral("https://") + text : text;
    const QUrl url(target, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || !url.userInfo().isEmpty() ||
        !target.startsWith(scheme + QLatin1String("://"), Qt::CaseInsensitive))
        return QString();
    return target;
}

QString mailLink(const QString &address, const QString &subject)
{
    static const QRegularExpression plainAddress(
        QStringLiteral("^[A-Za-z0-9._+-]+@[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?(?:\\.[A-Za-z0-9](?:[A-Za-"
                       "z0-9-]*[A-Za-z0-9])?)+$"));
    if (address.size() > 254 || !plainAddress.match(address).hasMatch())
        return QString();
    QString escaped;
    for (const QChar c : subject) {
        if (QStringLiteral("&?#%=+").contains(c) || c.unicode() < 0x20 || c.unicode() == 0x7F)
            escaped += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            escaped += c;
    }
    return QStringLiteral("mailto:") + address + QStringLiteral("?SUBJECT=") + escaped;
}

} // namespace ShellOpen
