#include "app/ExchangeTexts.h"

#include "device/ReadableBytes.h"
#include "lang/LanguageTexts.h"

namespace ExchangeTexts
{

QString receivedForMessage(const QByteArray &bytes)
{
    // A flooding device must not grow the message box past the screen: only
    // the end of what came is shown, a few bytes to a line.
    const bool cut = bytes.size() > MessageBytes;
    const QByteArray shown = cut ? bytes.right(MessageBytes) : bytes;
    QString out = cut ? QStringLiteral("\u2026") : QString();
    for (qsizetype i = 0; i < shown.size(); i += MessageBytesPerLine) {
        if (i > 0)
            out += QLatin1Char('\n');
        out += readableBytes(shown.mid(i, MessageBytesPerLine));
    }
    return out;
}

QString communicationErrorText(const QByteArray &received)
{
    return LanguageTexts::text(Text::CommunicationError) + QStringLiteral("  ") + receivedForMessage(received);
}

QString noticeText(ExchangeNotice notice, const QByteArray &received)
{
    switch (notice) {
    case ExchangeNotice::CommunicationError:
        return communicationErrorText(received);
    case ExchangeNotice::NoCable:
        return LanguageTexts::text(Text::CommunicationError);
    case ExchangeNotice::PortNotOpened:
        return LanguageTexts::text(Text::WrongPortNumber);
    case ExchangeNotice::WrongMarker:
        return LanguageTexts::text(Text::MemoryContentsInvalid);
    }
    return QString();
}

QColor indicatorColour(ExchangeIndicator state)
{
    switch (state) {
    case ExchangeIndicator::StatusAnswer:
        return QColor(0, 0, 255);
    case ExchangeIndicator::Block:
        return QColor(166, 202, 240);
    case ExchangeIndicator::Stored:
        return QColor(255, 255, 0);
    case ExchangeIndicator::Sending:
        return QColor(0, 128, 128);
    case ExchangeIndicator::Failed:
        return QColor(255, 0, 0);
    }
    return QColor();
}

} // namespace ExchangeTexts
