#include "device/ReadableBytes.h"

QString readableBytes(const QByteArray &bytes)
{
    QString out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F)
            out += QLatin1Char(char(b));
        else
            out += QStringLiteral("<%1>").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}
