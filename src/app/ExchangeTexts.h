#pragma once

#include "device/ExchangeTypes.h"

#include <QByteArray>
#include <QColor>
#include <QString>

// What the window makes of the exchanges' events: the language text of each
// notice and the activity indicator's colours.
namespace ExchangeTexts
{

// The message box's text for a notice. The communication error shows
// CommunicationError, two spaces and the last MessageBytes bytes received (a
// leading ellipsis when there were more), MessageBytesPerLine to a line.
QString noticeText(ExchangeNotice notice, const QByteArray &received);
QString communicationErrorText(const QByteArray &received);
QString receivedForMessage(const QByteArray &bytes);
constexpr int MessageBytes = 64;
constexpr int MessageBytesPerLine = 16;

// Label166's colour: blue, sky blue, yellow, teal, red.
QColor indicatorColour(ExchangeIndicator state);

} // namespace ExchangeTexts
