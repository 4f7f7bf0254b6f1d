// Opening and replacing files whatever stands under their names: only
// regular files are read, never more than the limit, and only regular files
// are replaced.

#include "FileKinds.h"
#include "platform/SafeFile.h"

#include <QTemporaryDir>
#include <QTest>

using FileKinds::Kind;
using SafeFile::Failure;

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

    // Every kind under the name: read() takes only a regular file (or what a
    // link names); readInput() also reads a named pipe (empty at once when no
    // one writes to it) and stops an endless device at the limit; replace()
    // replaces only a regular file, and a link keeps naming the file it named.
    void everyKind_data() { FileKinds::addRows(); }
    void everyKind()
    {
        QFETCH(int, kind);
        const Kind k = Kind(kind);
        const bool regular = FileKinds::isRegular(k);
        const QString file = path("entry");
        const QByteArray text("PwOn=7\nSvHr=100\n");
        MAKE_FILE_KIND(k, file, text);

        const SafeFile::Contents read = SafeFile::read(file, SafeFile::IniLimit);
        QCOMPARE(read.failure, regular ? Failure::None : Failure::NotRegular);
        QCOMPARE(read.bytes, regular ? text : QByteArray());
        if (!regular) {
            QVERIFY2(read.reason().endsWith(QLatin1String(", not a regular file")),
                     qPrintable(read.reason()));
            QCOMPARE(SafeFile::check(file).failure, Failure::NotRegular);
        }

        const bool endless = k == Kind::CharacterDevice || k == Kind::LinkToDevZero;
        const SafeFile::Contents input = SafeFile::readInput(file, SafeFile::CountersLimit);
        QCOMPARE(input.failure, regular || k == Kind::NamedPipe ? Failure::None
                                : endless                       ? Failure::TooLarge
                                                                : Failure::NotRegular);
        QCOMPARE(input.bytes, regular ? text : QByteArray());
        if (endless)
            QCOMPARE(input.reason(), QStringLiteral("larger than 64 KiB"));

        const SafeFile::Status written = SafeFile::replace(file, "new");
        QCOMPARE(written.failure, regular ? Failure::None : Failure::NotRegular);
        QVERIFY(FileKinds::stillThere(k, file));
        if (regular)
            QCOMPARE(contents(file), QByteArray("new"));
        // Nothing is left beside it.
        QCOMPARE(QDir(dir.path())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                     .filter(QStringLiteral(".tmp")),
                 QStringList());
    }

    // A pipe with a writer (as "<(printf ...)" hands one over) is read to its end.
    void readsAPipeToItsEnd()
    {
        const QByteArray text("PwOn=7\nSvHr=100\n");
        int fds[2] = {-1, -1};
        QCOMPARE(::pipe(fds), 0);
        QCOMPARE(::write(fds[1], text.constData(), size_t(text.size())), ssize_t(text.size()));
        ::close(fds[1]);
        const SafeFile::Contents read =
            SafeFile::readInput(QStringLiteral("/dev/fd/%1").arg(fds[0]), SafeFile::CountersLimit);
        ::close(fds[0]);
        QVERIFY(read.ok());
        QCOMPARE(read.bytes, text);
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

    void newFilesAndLinksToNothing()
    {
        QVERIFY(SafeFile::replace(path("new"), "made").ok());
        QCOMPARE(contents(path("new")), QByteArray("made"));
        QCOMPARE(SafeFile::replace(path("missing/new"), "x").failure, Failure::Missing);
        // A link to nothing is not followed to make a file somewhere else.
        QVERIFY(QFile::link(path("elsewhere"), path("dangling")));
        QCOMPARE(SafeFile::replace(path("dangling"), "x").failure, Failure::NotRegular);
        QVERIFY(!QFile::exists(path("elsewhere")));
        QCOMPARE(SafeFile::check(path("dangling")).reason(),
                 QStringLiteral("a symbolic link to nothing, not a regular file"));
    }
};

QTEST_GUILESS_MAIN(SafeFileTest)
#include "tst_safefile.moc"
