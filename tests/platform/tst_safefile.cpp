// Opening and replacing files whatever stands under their names: only
// regular files are read, never more than the limit, and only regular files
// are replaced.

#include "FileKinds.h"
#include "platform/SafeFile.h"

#include <QTemporaryDir>
#include <QTest>

using FileKinds::Kind;

class SafeFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }

    static QByteArray contents(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }

  private slots:
    void init() { QVERIFY(dir.isValid()); }
    void cleanup()
    {
        QDir(dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(dir.path()));
    }

    void readsOnlyRegularFiles_data() { FileKinds::addRows(); }
    void readsOnlyRegularFiles()
    {
        QFETCH(int, kind);
        const QString file = path("entry");
        MAKE_FILE_KIND(Kind(kind), file, "[Setup]\nCOM=2\n");
        const SafeFile::Contents read = SafeFile::read(file, SafeFile::IniLimit);
        if (FileKinds::isRegular(Kind(kind))) {
            QVERIFY(read.ok());
            QCOMPARE(read.bytes, QByteArray("[Setup]\nCOM=2\n"));
        } else {
            QCOMPARE(read.failure, SafeFile::Failure::NotRegular);
            QVERIFY(read.bytes.isEmpty());
            QVERIFY2(read.reason().endsWith(QLatin1String(", not a regular file")),
                     qPrintable(read.reason()));
            QCOMPARE(SafeFile::check(file).failure, SafeFile::Failure::NotRegular);
        }
        QVERIFY(FileKinds::stillThere(Kind(kind), file));
    }

    // Input for a tool: pipes are read to their end as well, a named pipe
    // without a writer reads as empty at once, an endless device stops at
    // the limit.
    void readsInputToItsEnd_data()
    {
        FileKinds::addRows();
        QTest::newRow("pipe with a writer") << -1;
    }
    void readsInputToItsEnd()
    {
        QFETCH(int, kind);
        const QByteArray text("PwOn=7\nSvHr=100\n");
        QString file = path("entry");
        int fds[2] = {-1, -1};
        if (kind < 0) {
            QCOMPARE(::pipe(fds), 0);
            QCOMPARE(::write(fds[1], text.constData(), size_t(text.size())), ssize_t(text.size()));
            ::close(fds[1]);
            file = QStringLiteral("/dev/fd/%1").arg(fds[0]);
        } else {
            MAKE_FILE_KIND(Kind(kind), file, text);
        }
        const SafeFile::Contents read = SafeFile::readInput(file, SafeFile::CountersLimit);
        if (fds[0] >= 0)
            ::close(fds[0]);
        switch (kind < 0 ? Kind::Regular : Kind(kind)) {
        case Kind::Regular:
        case Kind::LinkToRegular:
            QVERIFY(read.ok());
            QCOMPARE(read.bytes, text);
            break;
        case Kind::NamedPipe:
            QVERIFY(read.ok());
            QVERIFY(read.bytes.isEmpty());
            break;
        case Kind::CharacterDevice:
        case Kind::LinkToDevZero:
            QCOMPARE(read.failure, SafeFile::Failure::TooLarge);
            QCOMPARE(read.reason(), QStringLiteral("larger than 64 KiB"));
            break;
        case Kind::Folder:
        case Kind::Socket:
            QCOMPARE(read.failure, SafeFile::Failure::NotRegular);
            break;
        }
    }

    void limits_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<bool>("taken");
        QTest::newRow("at the limit") << "sized" << qint64(100) << true;
        QTest::newRow("one byte over") << "sized" << qint64(99) << false;
        // The kernel's files tell no size; reading still stops at the limit.
        QTest::newRow("file without a size") << "/proc/self/maps" << qint64(16) << false;
        QTest::newRow("missing") << "missing" << qint64(100) << false;
    }
    void limits()
    {
        QFETCH(QString, file);
        QFETCH(qint64, limit);
        QFETCH(bool, taken);
        QString why;
        QVERIFY(FileKinds::make(Kind::Regular, path("sized"), QByteArray(100, 'x'), &why));
        const QString name = file.startsWith(QLatin1Char('/')) ? file : dir.filePath(file);
        const SafeFile::Contents read = SafeFile::read(name, limit);
        QCOMPARE(read.ok(), taken);
        QCOMPARE(read.bytes.size(), taken ? 100 : 0);
        if (file == QLatin1String("missing"))
            QCOMPARE(read.reason(), QStringLiteral("no such file"));
        else if (!taken)
            QCOMPARE(read.reason(), QStringLiteral("larger than %1 bytes").arg(limit));
    }

    // Only a regular file is replaced; a link keeps naming the file it
    // named, which now holds the new bytes.
    void replacesOnlyRegularFiles_data() { FileKinds::addRows(); }
    void replacesOnlyRegularFiles()
    {
        QFETCH(int, kind);
        const QString file = path("entry");
        MAKE_FILE_KIND(Kind(kind), file, "old");
        const SafeFile::Status written = SafeFile::replace(file, "new");
        QCOMPARE(written.ok(), FileKinds::isRegular(Kind(kind)));
        QVERIFY(FileKinds::stillThere(Kind(kind), file));
        if (written.ok())
            QCOMPARE(contents(file), QByteArray("new"));
        else
            QCOMPARE(written.failure, SafeFile::Failure::NotRegular);
        // Nothing is left beside it.
        QCOMPARE(QDir(dir.path())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                     .filter(QStringLiteral(".tmp")),
                 QStringList());
    }

    void newFilesAndLinksToNothing()
    {
        QVERIFY(SafeFile::replace(path("new"), "made").ok());
        QCOMPARE(contents(path("new")), QByteArray("made"));
        QCOMPARE(SafeFile::replace(path("missing/new"), "x").failure, SafeFile::Failure::Missing);
        // A link to nothing is not followed to make a file somewhere else.
        QVERIFY(QFile::link(path("elsewhere"), path("dangling")));
        QCOMPARE(SafeFile::replace(path("dangling"), "x").failure, SafeFile::Failure::NotRegular);
        QVERIFY(!QFile::exists(path("elsewhere")));
        QCOMPARE(SafeFile::check(path("dangling")).reason(),
                 QStringLiteral("a symbolic link to nothing, not a regular file"));
    }
};

QTEST_GUILESS_MAIN(SafeFileTest)
#include "tst_safefile.moc"
