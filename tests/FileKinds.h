#pragma once

// What may stand under the name of a file the program reads or replaces:
// one table of kinds, run against every reader and writer. Device nodes are
// made only as copies inside the test's own folder, never in /dev; so is the
// device a link names when the test runs as the superuser, who could replace
// the real /dev/zero through a writer that follows the link.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace FileKinds
{

enum class Kind { Regular, LinkToRegular, NamedPipe, CharacterDevice, Folder, Socket, LinkToDevZero };

// Only these hold a file the program may read and replace.
inline bool isRegular(Kind kind)
{
    return kind == Kind::Regular || kind == Kind::LinkToRegular;
}

// Every kind with the name of its row.
inline constexpr std::pair<Kind, const char *> All[] = {{Kind::Regular, "regular file"},
                                                        {Kind::LinkToRegular, "link to a regular file"},
                                                        {Kind::NamedPipe, "named pipe"},
                                                        {Kind::CharacterDevice, "character device"},
                                                        {Kind::Folder, "folder"},
                                                        {Kind::Socket, "socket"},
                                                        {Kind::LinkToDevZero, "link to /dev/zero"}};

// The table's rows in one int column named "kind".
inline void addRows()
{
    QTest::addColumn<int>("kind");
    for (const auto &[kind, name] : All)
        QTest::newRow(name) << int(kind);
}

// The regular file a LinkToRegular entry names.
inline QString linkTarget(const QString &path)
{
    return path + QStringLiteral(".target");
}

// What a LinkToDevZero entry names: /dev/zero, or for the superuser a copy
// of it beside the link.
inline QString zeroOf(const QString &path)
{
    return ::geteuid() == 0 ? path + QStringLiteral(".zero") : QStringLiteral("/dev/zero");
}

// Puts an entry of the kind at path; a regular file (the one a link names
// too) holds contents. False with *why when it cannot be made here.
inline bool make(Kind kind, const QString &path, const QByteArray &contents, QString *why)
{
    const QByteArray name = QFile::encodeName(path);
    auto write = [&](const QString &file) {
        QFile f(file);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(contents) == contents.size();
    };
    switch (kind) {
    case Kind::Regular:
        return write(path);
    case Kind::LinkToRegular:
        return write(linkTarget(path)) && QFile::link(linkTarget(path), path);
    case Kind::NamedPipe:
        return ::mkfifo(name.constData(), 0600) == 0;
    case Kind::CharacterDevice:
        // A copy of /dev/zero: reads never end, writes vanish.
        if (::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 5)) == 0)
            return true;
        if (errno == EPERM)
            *why = QStringLiteral("device nodes need the superuser");
        return false;
    case Kind::Folder:
        return ::mkdir(name.constData(), 0700) == 0;
    case Kind::Socket: {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (name.size() >= qsizetype(sizeof address.sun_path)) {
            *why = QStringLiteral("the socket's path is too long");
            return false;
        }
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        // The node stays in the folder after the socket is closed.
        const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        if (fd >= 0)
            ::close(fd);
        return bound;
    }
    case Kind::LinkToDevZero:
        // The superuser's writer that wrongly follows the link would replace
        // the machine's /dev/zero: the link names a copy in the folder then.
        if (::geteuid() == 0 &&
            ::mknod(QFile::encodeName(zeroOf(path)).constData(), S_IFCHR | 0666, makedev(1, 5)) != 0)
            return false;
        return QFile::link(zeroOf(path), path);
    }
    return false;
}

// Whether the entry at path is still what make() put there (for the kinds
// that must be left alone).
inline bool stillThere(Kind kind, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {
    };
    if (::lstat(name.constData(), &st) != 0)
        return false;
    switch (kind) {
    case Kind::Regular:
        return S_ISREG(st.st_mode);
    case Kind::LinkToRegular:
        return S_ISLNK(st.st_mode) && QFile::symLinkTarget(path) == linkTarget(path);
    case Kind::NamedPipe:
        return S_ISFIFO(st.st_mode);
    case Kind::CharacterDevice:
        return S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 5);
    case Kind::Folder:
        return S_ISDIR(st.st_mode);
    case Kind::Socket:
        return S_ISSOCK(st.st_mode);
    case Kind::LinkToDevZero:
        return S_ISLNK(st.st_mode) && QFile::symLinkTarget(path) == zeroOf(path) &&
               ::stat(name.constData(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 5);
    }
    return false;
}

// Removes what make() put at path.
inline void remove(const QString &path)
{
    for (const QString &file : {linkTarget(path), path + QStringLiteral(".zero"), path})
        ::unlink(QFile::encodeName(file).constData());
    ::rmdir(QFile::encodeName(path).constData());
}

} // namespace FileKinds

// Makes the entry of the current row or skips the row.
#define MAKE_FILE_KIND(kind, path, contents)                                                                 \
    do {                                                                                                     \
        QString why_;                                                                                        \
        if (!FileKinds::make(kind, path, contents, &why_)) {                                                 \
            if (!why_.isEmpty())                                                                             \
                QSKIP(qPrintable(why_));                                                                     \
            QFAIL(qPrintable(QStringLiteral("could not make %1").arg(path)));                                \
        }                                                                                                    \
    } while (false)
