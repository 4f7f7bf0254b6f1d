// The settings record over the main window's controls: every parameter of
// the table reads back what its row's record rule lets it take, from the
// control that holds it.

#include "app/KAVR10.h"
#include "settings/ParameterTable.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

class RecordTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TForm1> form;

    static QStringList probes(const Parameter &param)
    {
        QStringList values{QString(),
                           QStringLiteral("x"),
                           QStringLiteral("1"),
                           QStringLiteral("0"),
                           QStringLiteral("3"),
                           QStringLiteral("12345678901234567890"),
                           QStringLiteral(" 1"),
                           QStringLiteral("*"),
                           QStringLiteral("#"),
                           QStringLiteral("2"),
                           QStringLiteral("4")};
        for (const Choice &choice : param.choices)
            if (choice.stored)
                values << QLatin1String(choice.stored);
        return values;
    }

    // A value the parameter takes other than its default: a digit, or the
    // first other choice.
    static QString takenValue(const Parameter &param)
    {
        if (param.kind == ParamKind::Edit)
            return QStringLiteral("9");
        for (const Choice &choice : param.choices)
            if (choice.stored && qstrcmp(choice.stored, param.defaultText) != 0)
                return QLatin1String(choice.stored);
        return QString();
    }

  private slots:
    void init()
    {
        form = std::make_unique<TForm1>();
        form->Timer1->stop();
    }
    void cleanup() { form.reset(); }

    void everyParameter_data()
    {
        QTest::addColumn<QString>("key");
        for (const Parameter &param : ParameterTable::all())
            QTest::newRow(param.key) << QString::fromLatin1(param.key);
    }

    // Starts at its default, and after every value written reads back that
    // value when the rule takes it, else what it held before.
    void everyParameter()
    {
        QFETCH(QString, key);
        const Parameter *param = ParameterTable::byKey(key);
        QString expected = QString::fromUtf8(param->defaultText);
        QCOMPARE(form->storedText(key), expected);
        for (const QString &value : probes(*param)) {
            form->setStoredText(key, value);
            if (param->takes(value))
                expected = value;
            QVERIFY2(form->storedText(key) == expected, qPrintable(key + QLatin1String(" <- ") + value));
        }
    }

    void writesTouchOnlyTheirOwnControl()
    {
        for (const Parameter &param : ParameterTable::all())
            form->setStoredText(QLatin1String(param.key), takenValue(param));
        for (const Parameter &param : ParameterTable::all())
            QCOMPARE(form->storedText(QLatin1String(param.key)), takenValue(param));
    }

    void unknownKeyIsHarmless()
    {
        form->setStoredText(QStringLiteral("Nope"), QStringLiteral("1"));
        QCOMPARE(form->storedText(QStringLiteral("Nope")), QString());
    }

    void toneBoxesByBit()
    {
        auto *first = form->findChild<QCheckBox *>("CheckBox11");
        auto *second = form->findChild<QCheckBox *>("CheckBox12");
        form->setStoredText(QStringLiteral("TONE"), QStringLiteral("1"));
        QVERIFY(first->isChecked() && !second->isChecked());
        form->setStoredText(QStringLiteral("TONE"), QStringLiteral("2"));
        QVERIFY(!first->isChecked() && second->isChecked());
        second->setChecked(false);
        QCOMPARE(form->storedText(QStringLiteral("TONE")), QStringLiteral("0"));
    }

    // A loaded value longer than typing allows shows whole; once the user
    // shortens it, typing is held to the field's length again.
    void longValueShowsWhole()
    {
        auto *e = form->findChild<QLineEdit *>("Edit140");
        form->setStoredText(QStringLiteral("HgUp"), QStringLiteral("12345"));
        QCOMPARE(e->text(), QStringLiteral("12345"));
        form->setEnabled(true);
        e->setFocus();
        e->setCursorPosition(5);
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, "789");
        QCOMPARE(e->text(), QStringLiteral("17"));
        QCOMPARE(e->maxLength(), 2);
    }

    void enabledPairs()
    {
        QVERIFY(form->toneOptionsEnabled());
        QVERIFY(!form->polarityOptionsEnabled());
        form->setToneOptionsEnabled(false);
        form->setPolarityOptionsEnabled(true);
        QVERIFY(!form->findChild<QCheckBox *>("CheckBox12")->isEnabledTo(form.get()));
        QVERIFY(form->findChild<QRadioButton *>("RadioButton13")->isEnabledTo(form.get()));
        QVERIFY(!form->toneOptionsEnabled());
        QVERIFY(form->polarityOptionsEnabled());
    }

    void deviceValues_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("design");
        QTest::newRow("PwOn") << int(DeviceValue::PwOn) << "Edit157"
                              << "0";
        QTest::newRow("SvHr") << int(DeviceValue::SvHr) << "Edit14"
                              << "0";
        QTest::newRow("SerN") << int(DeviceValue::SerN) << "Label22"
                              << "00000";
        QTest::newRow("FirmwareVersion") << int(DeviceValue::FirmwareVersion) << ""
                                         << "";
    }
    void deviceValues()
    {
        QFETCH(int, which);
        QFETCH(QString, control);
        QFETCH(QString, design);
        const auto value = DeviceValue(which);
        QCOMPARE(form->deviceValue(value), design);
        form->setDeviceValue(value, QStringLiteral("1234"));
        QCOMPARE(form->deviceValue(value), QStringLiteral("1234"));
        if (control.isEmpty()) {
            QCOMPARE(form->FirmwareVersion, QStringLiteral("1234"));
        } else {
            QWidget *w = form->findChild<QWidget *>(control);
            const QString shown = qobject_cast<QLabel *>(w) ? qobject_cast<QLabel *>(w)->text()
                                                            : qobject_cast<QLineEdit *>(w)->text();
            QCOMPARE(shown, QStringLiteral("1234"));
        }
    }
};

QTEST_MAIN(RecordTest)
#include "tst_record.moc"
