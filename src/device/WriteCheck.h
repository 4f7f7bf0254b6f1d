#pragma once

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class SettingsRecord;

// What a write may put on the line. The field checks run only when the focus
// leaves a field, and loaded files are not checked at all, so a record can
// hold texts the communicator would take wrongly: a tone of 990 ms goes out
// as 0x3A (30 ms), 300 repeats as 0x2C (44), a one-digit hang-up code as
// "01 FF". Before a write sends anything, every field is run through its own
// check on its current text, in block order, and every value must fit the
// bits its block position gives it.
namespace WriteCheck
{

// The first field that stops a write.
struct Refusal {
    QString key;     // settings-file key (TTon), or the counter's name (SvHr, PwOn)
    QString control; // object name of the control holding it (Edit152; an option group's box)
    QString text;    // its text as it stands, or the option value it was given
    QString allowed; // what it may hold, in the language in force ("60 až 150 po 10")
};

// Runs the checks over the whole record, in the order of the configuration
// block (fields that share a byte in file order): every parameter and the
// counters at their places. An edit field is refused when its check would
// reject its text or change it (blanks at both ends aside, and the half value
// counts with either separator), or when its value does not fit its byte or
// half byte, or when a code or telephone number holds a character without a
// digit code or more characters than its bytes take; an empty field whose
// rule says what it stands for (no switch time is 0) counts as that. An
// option group, check box or tone pair is refused when the record was given
// a value that is none of its choices (MemoryRecord::unshownText): the tool
// sends nothing rather than the value it shows instead. A counter is refused
// outside 0 to its largest value. decimalSeparator is the system's, as the
// field checks use it. Nothing when the record can be written as it is.
std::optional<Refusal> firstRefusal(const SettingsRecord &record, QChar decimalSeparator);

// A read-back that differs from the block sent, listed so that no difference
// goes unsaid: the block positions (1-based, as the communicator counts)
// where the two blocks differ and none of the parameters or counters listed
// (by key or counter name) lies: the marker, a byte no parameter uses, or a
// parameter's byte whose value reads the same (a bit of a shared byte).
QList<int> unlistedBytes(const QByteArray &sent, const QByteArray &readBack, const QStringList &listedKeys);

} // namespace WriteCheck
