#include "settings/PdfFile.h"

#include <QRegularExpression>

PdfFile::PdfFile(const QString &path) : m_path(path), m_file(path)
{
}

Failure PdfFile::failure(const SafeFile::Status &status) const
{
    return Failure{Failure::Kind::File, m_path, status.reason(), status.error};
}

Result<QString> PdfFile::writePath() const
{
    if (!m_file.status().ok())
        return failure(m_file.status());
    return m_file.temporaryPath();
}

Result<void> PdfFile::commit()
{
    if (!m_file.status().ok())
        return failure(m_file.status());
    const SafeFile::Contents written = SafeFile::read(m_file.temporaryPath(), SafeFile::PdfLimit);
    if (!written.ok() || !isComplete(written.bytes))
        return Failure{Failure::Kind::File, m_path,
                       QStringLiteral("the PDF file could not be written completely")};
    if (!m_file.commit())
        return failure(m_file.status());
    return {};
}

bool PdfFile::isComplete(const QByteArray &pdf)
{
    if (!pdf.startsWith("%PDF-"))
        return false;
    const QByteArray end = pdf.right(1024);
    static const QRegularExpression trailer(QStringLiteral("startxref\\s+(\\d{1,12})\\s+%%EOF\\s*$"));
    const QRegularExpressionMatch m = trailer.match(QString::fromLatin1(end));
    if (!m.hasMatch())
        return false;
    const qint64 offset = m.captured(1).toLongLong();
    if (offset <= 0 || offset >= pdf.size())
        return false;
    // A cross-reference table, or the object holding a cross-reference stream.
    static const QRegularExpression stream(QStringLiteral("^\\d+\\s+\\d+\\s+obj\\b"));
    const QByteArray at = pdf.mid(offset, 32);
    return at.startsWith("xref") || stream.match(QString::fromLatin1(at)).hasMatch();
}
