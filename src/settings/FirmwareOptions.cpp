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
    // An option not offered is held at the value the communicator works with.
    const auto hold = [&record](FirmwareGate gate, bool offered) {
        if (const Parameter *param = ParameterTable::gated(gate); param && !offered)
            record.setStoredText(QLatin1String(param->key), QLatin1String(param->fixedText));
    };
    record.setToneOptionsEnabled(offer->tone);
    hold(FirmwareGate::ToneOptions, offer->tone);
    record.setPolarityOptionsEnabled(offer->polarity);
    hold(FirmwareGate::PolarityOptions, offer->polarity);
}

} // namespace FirmwareOptions
