#include "history/HistoryAuthor.h"

#include <QSysInfo>

#include <pwd.h>
#include <vector>
#include <unistd.h>

namespace
{
// A commit's author may hold neither angle brackets nor line breaks.
QString clean(QString text)
{
    for (QChar &c : text)
        if (c < u' ' || c == u'<' || c == u'>')
            c = u' ';
    return text.simplified();
}
} // namespace

HistoryAuthor HistoryAuthor::resolve(const QString &technician, const QString &mail)
{
    QString login, fullName;
    // The window works this out on its share's thread too: the reentrant
    // look-up, into a buffer of our own.
    passwd entry{};
    passwd *pw = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &pw) == 0 && pw) {
        login = QString::fromLocal8Bit(pw->pw_name);
        // The full name is the first of the comma-separated fields.
        if (pw->pw_gecos)
            fullName = QString::fromLocal8Bit(pw->pw_gecos).section(u',', 0, 0);
    }
    if (login.isEmpty())
        login = qEnvironmentVariable("USER", QStringLiteral("technician"));
    HistoryAuthor author;
    author.name = clean(technician);
    if (author.name.isEmpty())
        author.name = clean(fullName);
    if (author.name.isEmpty())
        author.name = clean(login);
    author.mail = clean(mail);
    if (author.mail.isEmpty()) {
        QString host = QSysInfo::machineHostName();
        if (host.isEmpty())
            host = QStringLiteral("localhost");
        author.mail = clean(login) + u'@' + host;
    }
    return author;
}
