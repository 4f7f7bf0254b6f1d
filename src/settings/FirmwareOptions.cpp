#include "settings/FirmwareOptions.h"

#include "settings/SettingsRecord.h"

namespace FirmwareOptions
{

namespace
{
std::optional<int> digitValue(QChar c)
{
    if (c < QLatin1Char('0') || c > QLatin1Char('9'))
        return std::nullopt;
    return c.unicode() - '0';
}
} // namespace

std::optional<Offer> offered(const QString &version)
{
    if (version.size() <= 2)
        return std::nullopt;
    const std::optional<int> major = digitValue(version.front());
    if (!major)
        return std::nullopt;
    if (*major == 2)
        return Offer{true, true};
    if (*major != 1)
        return Offer{false, false};

    // Only the 1.x versions need the minor part.
    const std::optional<int> tens = digitValue(version.at(version.size() - 2));
    const std::optional<int> units = digitValue(version.back());
    if (!tens || !units)
        return std::nullopt;
    const int minor = *tens * 10 + *units;
    return Offer{minor >= 15, minor >= 20};
}

void apply(const QString &version, SettingsRecord &record)
{
    const std::optional<Offer> offer = offered(version);
    if (!offer)
        return;
    record.setToneOptionsEnabled(offer->tone);
    if (!offer->tone)
        record.setStoredText(QStringLiteral("TONE"), QStringLiteral("3"));
    record.setPolarityOptionsEnabled(offer->polarity);
    if (!offer->polarity)
        record.setStoredText(QStringLiteral("PoBt"), QStringLiteral("1"));
}

} // namespace FirmwareOptions
