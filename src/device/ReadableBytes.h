#pragma once

#include <QByteArray>
#include <QString>

// Received bytes as a line of text: printable characters as they are,
// others as <0A>.
QString readableBytes(const QByteArray &bytes);
