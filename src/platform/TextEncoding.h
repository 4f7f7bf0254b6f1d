#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Text files written by hand or by older Windows tools: UTF-8 (with or
// without a byte order mark) or a single-byte Windows code page.
namespace TextEncoding
{

// Drops a UTF-8 byte order mark from the start of the bytes; true when there was one.
bool stripUtf8Bom(QByteArray &bytes);

bool isValidUtf8(QByteArrayView bytes);

// Windows-1250, the Central European code page (Czech, Slovak, Polish, ...).
// Its five unassigned bytes become U+FFFD.
QString fromCp1250(QByteArrayView bytes);

// A byte order mark skipped; the rest read as UTF-8 when it is valid UTF-8,
// else as Windows-1250.
QString decodeUtf8OrCp1250(QByteArray bytes);

} // namespace TextEncoding
