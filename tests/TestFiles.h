#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

// Copies a file as QFile::copy does (not over an existing one, with its
// permissions) but without syncing it to the disk: a test's temporary copy
// need not outlive a power cut, and on a busy machine each sync waits for
// everybody's writes.
inline bool copyUnsynced(const QString &from, const QString &to)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const QByteArray bytes = in.readAll();
    return out.write(bytes) == bytes.size() && out.setPermissions(in.permissions());
}

// A file's bytes; empty when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
