#pragma once

#include "platform/Result.h"
#include "platform/SafeFile.h"

#include <QByteArray>
#include <QString>

// A PDF file that is either written completely or not at all. A PDF writer
// (QPdfWriter, or QPrinter printing to a file) reports no failure of the
// disk: on a full disk it leaves a truncated or empty file and its painter
// ends as if all went well. So the document goes to a new file beside the
// target, is checked to be whole on the disk, and only then replaces the
// target; until then an old file of that name stays as it was. A target
// that exists and is not a regular file (a device such as /dev/full, a named
// pipe, a folder) is refused; a link is followed to the file it names.
//
//     PdfFile out(path);
//     const Result<QString> writePath = out.writePath();
//     if (!writePath) ... writePath.failure()          // refused
//     QPdfWriter pdf(*writePath);
//     ... draw ...
//     if (Result<void> done = out.commit(); !done) ... // not written
class PdfFile
{
  public:
    explicit PdfFile(const QString &path);

    // Where the PDF writer is to write, or why the target is refused.
    Result<QString> writePath() const;

    // Checks the document at writePath() and moves it over the target.
    // Fails when it is not a complete PDF file (the disk failed) or cannot
    // be moved; the target is then untouched and the new file removed.
    Result<void> commit();

    // Whether the bytes are a whole PDF file: the header, the end-of-file
    // marker, and the cross-reference table where the trailer says it is
    // (a piece lost on the way moves it).
    static bool isComplete(const QByteArray &pdf);

  private:
    Failure failure(const SafeFile::Status &status) const;

    QString m_path;
    SafeFile::Replacement m_file;
};
