#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

#include <array>
#include <optional>

class SettingsRecord;

// The communicator's data: the 128-byte configuration block (read and
// written whole) and the 10-byte status answer to the version query, to and
// from the settings record. Pure functions over the record interface and
// bytes; the exchange hands in what it received and sends what it is given.
namespace DeviceCodec
{

inline constexpr int BlockSize = 128;
inline constexpr int StatusSize = 10;
inline constexpr unsigned char Marker = 0x55; // "U", first byte of every block

// Entry k (1..127) is the byte sent at block position k + 1. Entries are
// computed as integers; only their low 8 bits go on the line. Index 0 is
// unused. The buffer is in/out: an entry whose controls give no value (an
// option group with no button selected) keeps what it held.
using WriteBuffer = std::array<int, BlockSize>;

// Digit codes: "1".."9" are 1..9, "0" is 10, "*" 11, "#" 12, "P" 13, "F" 14
// and "D" 0. A character outside that table is written as the end code 15,
// so in a telephone number it ends the number there.
int digitCode(QChar c);
// The character of a code, or an empty text for the end codes 15, 16, 255
// and for the codes 17..254, which the communicator never stores.
QString digitText(int code);

// A telephone number of up to 16 characters in 8 bytes, two per byte (first
// in the low half); unused halves hold 15. Leading and trailing blanks are
// dropped, characters after the 16th ignored.
QByteArray packNumber(const QString &number);
// Reads up to the first end half byte.
QString unpackNumber(const QByteArray &bytes);

// A DTMF code of up to `length` characters, one byte each, unused bytes 255.
QByteArray encodeCode(const QString &code, int length);
// Bytes that decode to no character are skipped, the rest still read.
QString decodeCode(const QByteArray &bytes);

// The decimal separator the half values are shown with: the user's locale's.
QChar decimalSeparator();

// MaSp and TBtn: "1".."9" are 1..9, the half value 10, "15" 11, "30" 12,
// anything else 1. The half value is understood with either separator.
int halfCode(const QString &text);
// Position 3 (MaSp): nothing for codes that leave the field as it was.
std::optional<QString> halfMinutesText(int code, QChar decimalSeparator);
// Position 4 (TBtn): every code gives a text.
QString halfSecondsText(int code, QChar decimalSeparator);

// Decodes a received configuration block into the record. Returns false
// when the first byte is not the marker; the caller shows MESSAGE/36 once,
// and everything else is decoded all the same. Positions missing from a
// short block leave their parameters as they were.
bool decodeBlock(const QByteArray &block, SettingsRecord &record, QChar decimalSeparator);

// Fills entries 1..127 from the record, each parameter at the place its row
// gives; positions no row claims are reserved (0xFF). A numeric field that
// is not a number keeps the entry's previous value (the write check refuses
// such a record before anything is built); an empty one gives what its rule
// says it stands for (no switch time is 0).
void buildWriteBuffer(const SettingsRecord &record, WriteBuffer &buffer);

// The block a buffer's entries make on the line: the marker and the low 8
// bits of entries 1..127.
QByteArray blockOf(const WriteBuffer &buffer);

// The whole block as the communicator holds it: the marker and entries
// 1..127 (entries without a value are 0xFF).
QByteArray buildBlock(const SettingsRecord &record);

// The record as the communicator would hold it once written: its block,
// decoded again into into. Texts that mean the same value the same way (an
// empty switch time and 0, either decimal separator) come out alike, so two
// records compare by what the communicator would do with them.
void asHeld(const SettingsRecord &record, SettingsRecord &into, QChar decimalSeparator);

// The counters of a status answer when it belongs to a write: they go here
// instead of into the record, so the values about to be written stay the
// ones the user sees.
struct DeviceCounters {
    QString powerOnCount; // DevicePowerOnCount
    QString serviceHours; // DeviceServiceHours
};

// Decodes the first 10 bytes of a status answer: "V" firmware, "U" power-on
// count, "N" serial number high and low byte, "S" hours part and days part.
// The answer is taken only when it has every field, each letter at its place
// ("V" 1, "U" 3, "N" 5, "S" 8); then FirmwareVersion and SerN go into the
// record, PwOn and SvHr into the record or into *counters when that is given
// (a write's version query), and the result is true. An answer cut short or
// with a letter missing or misplaced (a garbled line) is no status: false,
// and neither the record nor *counters is touched.
bool decodeStatus(const QByteArray &answer, SettingsRecord &record, DeviceCounters *counters = nullptr);

} // namespace DeviceCodec
