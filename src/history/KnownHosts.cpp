#include "history/KnownHosts.h"

#include "platform/SafeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>

namespace KnownHosts
{
namespace
{
// The key type a blob starts with: a 4-byte length and the name.
QByteArray typeOf(const QByteArray &blob)
{
    if (blob.size() < 4)
        return {};
    const quint32 n = (quint32(uchar(blob[0])) << 24) | (quint32(uchar(blob[1])) << 16) |
                      (quint32(uchar(blob[2])) << 8) | quint32(uchar(blob[3]));
    if (n > quint32(blob.size() - 4))
        return {};
    return blob.mid(4, qsizetype(n));
}

// Only "*" and "?" are special in a host pattern: the brackets of
// "[host]:port" are the name's own characters, not a set.
bool wildcardMatch(const QString &pattern, const QString &name)
{
    QString re;
    for (const QChar c : pattern) {
        if (c == u'*')
            re += QStringLiteral(".*");
        else if (c == u'?')
            re += u'.';
        else
            re += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(re),
                              QRegularExpression::CaseInsensitiveOption)
        .match(name)
        .hasMatch();
}

bool hashedMatch(const QString &entry, const QString &name)
{
    // |1|base64(salt)|base64(HMAC-SHA1(salt, name))
    const QStringList parts = entry.split(u'|');
    if (parts.size() != 4 || parts[1] != QLatin1String("1"))
        return false;
    const QByteArray salt = QByteArray::fromBase64(parts[2].toLatin1());
    const QByteArray hash = QByteArray::fromBase64(parts[3].toLatin1());
    return QMessageAuthenticationCode::hash(name.toUtf8(), salt, QCryptographicHash::Sha1) == hash;
}

// Whether the comma-separated patterns name the host; a matching negation
// rules the line out.
bool hostMatches(const QString &patterns, const QString &name)
{
    if (patterns.startsWith(u'|'))
        return hashedMatch(patterns, name);
    bool matched = false;
    for (const QString &p : patterns.split(u',', Qt::SkipEmptyParts)) {
        if (p.startsWith(u'!')) {
            if (wildcardMatch(p.mid(1), name))
                return false;
        } else if (wildcardMatch(p, name)) {
            matched = true;
        }
    }
    return matched;
}
} // namespace

QString defaultFile()
{
    return QDir(qEnvironmentVariable("HOME", QDir::homePath())).filePath(QStringLiteral(".ssh/known_hosts"));
}

QString fingerprint(const QByteArray &key)
{
    QByteArray b64 = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toBase64();
    while (b64.endsWith('='))
        b64.chop(1);
    return QStringLiteral("SHA256:") + QString::fromLatin1(b64);
}

Verdict check(const QString &file, const QString &host, int port, const QByteArray &key)
{
    const QString name = port == 22 || port <= 0 ? host : QStringLiteral("[%1]:%2").arg(host).arg(port);
    const QByteArray type = typeOf(key);
    const SafeFile::Contents contents = SafeFile::read(file, 16 * 1024 * 1024);
    if (!contents.ok())
        return Verdict::Unknown;
    bool known = false, other = false;
    for (const QByteArray &raw : contents.bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        QString marker;
        if (!fields.isEmpty() && fields[0].startsWith(u'@'))
            marker = fields.takeFirst();
        if (fields.size() < 3 || marker == QLatin1String("@cert-authority"))
            continue;
        if (!hostMatches(fields[0], name))
            continue;
        const QByteArray blob = QByteArray::fromBase64(fields[2].toLatin1());
        if (marker == QLatin1String("@revoked")) {
            if (blob == key)
                return Verdict::Changed;
            continue;
        }
        if (blob == key)
            known = true;
        else if (typeOf(blob) == type)
            other = true;
    }
    if (known)
        return Verdict::Known;
    return other ? Verdict::Changed : Verdict::Unknown;
}

} // namespace KnownHosts
