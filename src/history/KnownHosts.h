#pragma once

#include <QByteArray>
#include <QString>

// The ssh host keys the user has accepted, in ~/.ssh/known_hosts, as
// OpenSSH writes them: "host[,host...] type base64-key" lines, hosts
// possibly hashed ("|1|salt|hash"), "[host]:port" for another port than 22,
// "*" and "?" patterns, "!" negations, "@revoked" keys.
namespace KnownHosts
{

enum class Verdict {
    Known,   // a line for the host holds this key
    Unknown, // no line for the host holds a key of this type
    Changed, // the host's key of this type is another one (or this key is revoked)
};

// key: the host key as the server sent it (the raw public-key blob).
Verdict check(const QString &file, const QString &host, int port, const QByteArray &key);

// "SHA256:..." as ssh-keygen -l shows it.
QString fingerprint(const QByteArray &key);

// ~/.ssh/known_hosts of the user the program runs for ($HOME).
QString defaultFile();

} // namespace KnownHosts
