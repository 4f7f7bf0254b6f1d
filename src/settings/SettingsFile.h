#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class SettingsRecord;

// The .kvr settings file: 45 records of 50 bytes in parameter-table order,
// no header. A record is a key field (length 6, "Dial: ", ten zero bytes)
// and a value field (length 0..32, the stored text, blanks up to offset 48,
// a zero byte at 49). Values are single-byte characters (Latin-1 here; all
// stored values are ASCII in practice). The loader goes by position and
// never looks at the key fields.
//
// Failures come back as a Failure whose subject is the file and whose reason
// is the run-time text the program has always shown for file failures ("File
// not found", "File access denied", "Read beyond end of file", "Disk full",
// "I/O error %d", ...), with the system's error number where there is one;
// nothing is thrown.
namespace SettingsFile
{

inline constexpr int RecordSize = 50;
inline constexpr int RecordCount = 45;
inline constexpr int FileSize = RecordSize * RecordCount;
// Older files end after Nou2 (43 records) or after TONE (44).
inline constexpr int MinimumRecords = 43;
// The characters a value field holds.
inline constexpr int ValueRoom = 32;

// The 2250 bytes of a file holding the record's stored texts.
QByteArray encode(const SettingsRecord &record);

// Applies file contents to the record. Fewer than 43 whole records change
// nothing and give "Read beyond end of file". Without a TONE record the tone
// boxes are disabled and both checked; without a PoBt record the polarity
// stays. Records after the 45th are not read. The failure names no file.
Result<void> apply(const QByteArray &contents, SettingsRecord &record);

// Writes the record to path. The bytes go to a temporary file in the same
// folder, which replaces the target only when it is complete and flushed,
// so a failed write leaves any old file as it was. An existing file that is
// not writable, and anything under the name that is not a regular file (a
// folder, a device, a named pipe, a socket, a link to nothing), is refused
// ("File access denied"); a symbolic link to a regular file is followed, so
// the file it names is replaced and the link stays.
Result<void> write(const QString &path, const SettingsRecord &record);

// Writes each record to its path as write() does, but flushed to the disk
// together (SafeFile::replaceAll): every file is complete before any
// replaces its target. The failure names the file that failed; files not
// yet in place when it failed are not written.
Result<void> writeAll(const QList<std::pair<QString, const SettingsRecord *>> &files);

// Loads path into the record; needs read access only. Only a regular file
// (or a link to one) of at most SafeFile::SettingsLimit bytes is read;
// anything else is "File access denied".
Result<void> load(const QString &path, SettingsRecord &record);

// The value texts of the file at path exactly as its records hold them
// (blanks kept), in file order; read and checked as load does. A file of 43
// or 44 records gives for the missing ones the texts load gives them.
Result<QStringList> storedTexts(const QString &path);

// The run-time text for a system error number.
QString errorText(int errorNumber);

// Test hook: called at each step of a write with the step number: -1
// before the temporary file is created, 0..44 before each record goes to it,
// 45 before it replaces the target. A non-zero result is taken as the error
// number of a failure at that step. Pass nullptr to remove it.
inline constexpr int StepCreate = -1;
inline constexpr int StepReplace = RecordCount;
void setWriteFaultHook(std::function<int(int record)> hook);

} // namespace SettingsFile
