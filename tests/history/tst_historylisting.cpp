#include "TestFiles.h"
#include "history/DeviceHistory.h"
#include "history/FleetHistory.h"
#include "history_helper.h"
#include "settings/ParameterTable.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace HistoryHelper;

namespace
{
struct Laptop : LaptopFolder {
    using LaptopFolder::LaptopFolder;
    QString file(const QString &name) const { return folder.filePath("History/.git/" + name); }
    // "serial technician firmware password state" of every entry, as listed.
    QStringList listed()
    {
        QStringList out;
        for (const DeviceHistory::Entry &e : history.entries()) {
            MemoryRecord r;
            const Result<void> loaded = SettingsFile::load(e.path, r);
            out << QStringLiteral("%1 %2 %3 %4 %5")
                       .arg(e.serialNumber, e.technician, e.firmware,
                            loaded ? r.storedText("Pasw") : loaded.failure().text())
                       .arg(int(e.state));
        }
        out.sort();
        return out;
    }
    // "serial site technician count latest-password" of every fleet row.
    QStringList rows()
    {
        QStringList out;
        const Result<Fleet::List> list = FleetHistory::load(history);
        for (const Fleet::Row &row : list ? list->rows : std::vector<Fleet::Row>())
            out << QStringLiteral("%1 %2 %3 %4 %5")
                       .arg(row.serial, row.site, row.technician)
                       .arg(row.count)
                       .arg(QString::fromLatin1(row.value(ParameterTable::indexOf("Pasw"))));
        return out;
    }
};
} // namespace

class TestHistoryListing : public QObject
{
    Q_OBJECT

  private slots:
    // The listing index and the fleet's rows fell behind the repository
    // (entries merged from another laptop) or were damaged: the listing
    // and the rows catch up to what the repository and the disk hold.
    void catchesUp_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("sameName"); // both laptops kept 4711 in the same second
        QTest::addColumn<QStringList>("expected");
        const QString kept = QString::number(int(DeviceHistory::FileState::Kept));
        const QString changed = QString::number(int(DeviceHistory::FileState::Changed));
        const QStringList three{"4711 Jana 1.20 1111 " + kept, "4712 Petr 1.20 2222 " + kept,
                                "4713 Jana 1.20 4444 " + kept};
        QTest::newRow("behind a merge, one name kept on both laptops")
            << "behind" << true << (QStringList(three) << "4711 Petr 1.20 3333 " + kept);
        QTest::newRow("removed, one name kept on both laptops")
            << "removed" << true << (QStringList(three) << "4711 Petr 1.20 3333 " + kept);
        QTest::newRow("a byte changed inside") << "byte" << false << three;
        QTest::newRow("behind, a merged file then changed by hand")
            << "hand" << false
            << QStringList{"4711 Jana 1.20 1111 " + kept, "4712 Petr 1.20 9999 " + changed,
                           "4713 Jana 1.20 4444 " + kept};
    }
    void catchesUp()
    {
        QFETCH(QString, damage);
        QFETCH(bool, sameName);
        QFETCH(QStringList, expected);
        expected.sort();
        QTemporaryDir server;
        const QString remote = server.filePath("company.git");
        QVERIFY(QDir().mkpath(remote));
        Laptop jana("Jana", remote), petr("Petr", remote);
        QVERIFY(!jana.keep("4711", "1111", 2).isEmpty());
        QCOMPARE(jana.share(), QString());
        // What Jana's laptop knew before Petr's entries came.
        QCOMPARE(jana.rows().size(), 1);
        const QByteArray index = fileBytes(jana.file("tessaro-listing"));
        const QByteArray rows = fileBytes(jana.file("tessaro-fleet"));
        QVERIFY(!index.isEmpty() && !rows.isEmpty());

        if (sameName)
            QVERIFY(!petr.keep("4711", "3333", 2).isEmpty());
        const QString petrs = petr.keep("4712", "2222", 3);
        QVERIFY(!petrs.isEmpty());
        QVERIFY(FleetHistory::setSite(petr.history, "4711", "Vinohradská 12").ok());
        QCOMPARE(petr.share(), QString());
        QVERIFY(!jana.keep("4713", "4444", 4).isEmpty());
        QCOMPARE(jana.share(), QString()); // a merge commit

        if (damage == "removed") {
            QVERIFY(QFile::remove(jana.file("tessaro-listing")));
            QVERIFY(QFile::remove(jana.file("tessaro-fleet")));
        } else {
            writeBytes(jana.file("tessaro-listing"), index);
            writeBytes(jana.file("tessaro-fleet"), rows);
        }
        if (damage == "byte") {
            // The firmware's text in the index's table: a damaged index
            // would list "1.2X".
            QByteArray damaged = index;
            const qsizetype at = damaged.indexOf("1.20");
            QVERIFY(at > 0);
            damaged[at + 3] = 'X';
            writeBytes(jana.file("tessaro-listing"), damaged);
        } else if (damage == "hand") {
            const QString arrived = jana.folder.filePath("History/4712/" + QFileInfo(petrs).fileName());
            QVERIFY(SettingsFile::write(arrived, record("9999")));
        }

        // The rows made from where they fell behind, then made whole anew.
        const QStringList caughtUp = jana.rows();
        QCOMPARE(jana.listed(), expected);
        QCOMPARE(jana.listed(), expected); // the same once the index was saved
        QVERIFY(QFile::remove(jana.file("tessaro-fleet")));
        QCOMPARE(caughtUp, jana.rows());
        QCOMPARE(caughtUp.size(), 3);
        QVERIFY2(caughtUp.first().startsWith("4711 Vinohradská 12 "), qPrintable(caughtUp.first()));
    }
};

QTEST_GUILESS_MAIN(TestHistoryListing)
#include "tst_historylisting.moc"
