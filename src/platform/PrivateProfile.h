#pragma once

#include "platform/SafeFile.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

// Reading and writing INI files the way the program has always kept its
// Config.ini: section and key names compare without regard to case, blanks
// around values are dropped, integers may be decimal or hexadecimal after
// "0x", "0X" or "$" (anything else counts as missing), a written key is
// rewritten where it stands, every other line (comments included) is kept,
// a new key goes to the end of its section and a new section to the end of
// the file. The file is replaced atomically, so a failed write never leaves a
// half-written file behind; a symbolic link is followed to the file it names.
// Only a regular file of at most SafeFile::IniLimit bytes is read (anything
// else reads as an empty file) or replaced (a write there fails). A UTF-8
// byte order mark at the start of the file is skipped when reading and kept
// when writing. Reading takes time in proportion to the file's size.
namespace PrivateProfile
{

// A file read and parsed once, for any number of look-ups. Only the first
// header of a section counts, and within it the first line of a key.
class Profile
{
  public:
    // The file, at most limit bytes; a file that cannot be read is empty,
    // and status() says why (Missing when it is not there).
    static Profile read(const QString &file, qint64 limit = SafeFile::IniLimit);
    // A text the caller has read and decoded itself.
    static Profile ofText(const QString &text);

    const SafeFile::Status &status() const { return m_status; }
    QString string(const QString &section, const QString &key, const QString &defaultValue) const;
    int integer(const QString &section, const QString &key, int defaultValue) const;
    // All keys of one section in file order, with their values.
    QList<QPair<QString, QString>> section(const QString &section) const;

  private:
    SafeFile::Status m_status;
    QHash<QString, QList<QPair<QString, QString>>> m_sections; // by folded name
    QHash<QString, QString> m_values;                          // folded "section\nkey"
};

QString readString(const QString &file, const QString &section, const QString &key,
                   const QString &defaultValue);
int readInt(const QString &file, const QString &section, const QString &key, int defaultValue);

// False when the file could not be written (the old file is then untouched).
bool writeString(const QString &file, const QString &section, const QString &key, const QString &value);

// All keys of one section in file order, with their values (for [Ports]).
QList<QPair<QString, QString>> readSection(const QString &file, const QString &section);

// The same for a text the caller has read and decoded itself.
QList<QPair<QString, QString>> readSectionOfText(const QString &text, const QString &section);

} // namespace PrivateProfile
