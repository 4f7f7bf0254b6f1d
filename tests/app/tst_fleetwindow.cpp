// The history window as the place to find a communicator, on a history of
// three communicators kept as a Read keeps them: the search, the sort on a
// header click, Enter, and the site set from the window.

#include "app/FleetModel.h"
#include "app/HistoryWindow.h"
#include "history/FleetHistory.h"
#include "settings/MemoryRecord.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

using Event = HistoryStore::Event;

class TestFleetWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<DeviceHistory> history;

    QStringList shownSerials(HistoryWindow &w) const
    {
        QStringList out;
        QAbstractItemModel *m = w.Tree->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, FleetModel::SerialColumn).data().toString();
        return out;
    }

    void keep(const QString &serial, const char *number, const char *tton, int second,
              Event event = Event::Read)
    {
        MemoryRecord record;
        if (!SettingsFile::load(QStringLiteral(TESSARO_FIXTURES "/pulse-dialling.kvr"), record))
            qFatal("the fixture does not load");
        record.setStoredText(QStringLiteral("M001"), QLatin1String(number));
        record.setStoredText(QStringLiteral("TTon"), QLatin1String(tton));
        history->clock = [second] { return QDateTime(QDate(2026, 12, 8), QTime(10, 15, second)); };
        QVERIFY(history->keep(record, serial, QStringLiteral("1.20"), event));
    }

  private slots:
    void initTestCase()
    {
        history =
            std::make_unique<DeviceHistory>(dir.path(), DeviceHistory::Options{"Jana Nováková", "", ""});
        keep("4711", "603111222", "100", 1);
        keep("4712", "602123456", "120", 2);
        keep("4713", "777888999", "150", 3);
        // 4711's newest entry is a "before write" holding 602 123 456: not
        // what it holds now, so the search does not find it by that number.
        keep("4711", "602123456", "100", 4, Event::BeforeWrite);
        QVERIFY(FleetHistory::setSite(*history, "4711", "Vinohradská 12, lift B"));
    }

    // What is typed leaves the communicators whose serial number, site or
    // latest settings hold it; a telephone number as a technician writes it.
    void search_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("serials"); // newest first
        QTest::newRow("nothing") << "" << QStringList{"4711", "4713", "4712"};
        QTest::newRow("number with spaces") << "602 123 456" << QStringList{"4712"};
        QTest::newRow("part of a number with a dash") << "777-888" << QStringList{"4713"};
        QTest::newRow("serial number") << "4713" << QStringList{"4713"};
        QTest::newRow("site, letter case aside") << "VINOHRAD" << QStringList{"4711"};
        QTest::newRow("a value of the latest settings") << "150" << QStringList{"4713"};
        QTest::newRow("nothing holds it") << "999 999" << QStringList{};
    }
    void search()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, serials);
        HistoryWindow w;
        w.fill(*history);
        QTest::keyClicks(w.Search, typed);
        QCOMPARE(shownSerials(w), serials);
        QCOMPARE(w.OpenButton->isEnabled(), !serials.isEmpty());
    }

    // A click on a header sorts by its column, a second click the other way.
    void sortOnClick()
    {
        HistoryWindow w;
        w.fill(*history);
        w.show();
        QHeaderView *header = w.Tree->header();
        const auto click = [&](int column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
        };
        click(FleetModel::SerialColumn);
        QCOMPARE(shownSerials(w), (QStringList{"4711", "4712", "4713"}));
        click(FleetModel::SerialColumn);
        QCOMPARE(shownSerials(w), (QStringList{"4713", "4712", "4711"}));
        click(FleetModel::SiteColumn);
        QCOMPARE(shownSerials(w).first(), QStringLiteral("4711"));
    }

    // Enter in the search field opens the newest entry of the communicator
    // found; its entries are listed below it, newest first.
    void enterOpens()
    {
        HistoryWindow w;
        w.fill(*history);
        w.show();
        QTest::keyClicks(w.Search, "4711");
        const QModelIndex row = w.Tree->model()->index(0, 0);
        QCOMPARE(w.Tree->model()->rowCount(row), 2);
        QCOMPARE(w.Tree->model()->index(0, FleetModel::EventColumn, row).data().toString(),
                 FleetModel::eventText(Event::BeforeWrite));
        QTest::keyClick(w.Search, Qt::Key_Return);
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(w.action(), HistoryWindow::Action::Open);
        QVERIFY(w.chosen()->path.endsWith("4711/2026-12-08 10-15-04 before write.kvr"));
    }

    // The site set in the window is kept in the history and shown at once.
    void siteFromTheWindow()
    {
        HistoryWindow w;
        w.fill(*history);
        QTest::keyClicks(w.Search, "4712");
        QTimer::singleShot(0, this, [] {
            auto *input = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            QVERIFY(input);
            input->setTextValue(QStringLiteral("Karlova 3"));
            input->accept();
        });
        w.SiteButton->click();
        QCOMPARE(w.Tree->model()->index(0, FleetModel::SiteColumn).data().toString(),
                 QStringLiteral("Karlova 3"));
        QCOMPARE(FleetHistory::site(*history, "4712").value(), QStringLiteral("Karlova 3"));
    }
};

QTEST_MAIN(TestFleetWindow)
#include "tst_fleetwindow.moc"
