#pragma once

#include <QString>

#include <optional>

class SettingsRecord;

// The tone signalling boxes and the button polarity exist only from certain
// firmware versions of the communicator. The main timer asks this rule on
// every tick with the version text of the last status answer.
namespace FirmwareOptions
{

struct Offer {
    bool tone = false;     // CheckBox11 / CheckBox12 (TONE)
    bool polarity = false; // RadioButton12 / RadioButton13 (PoBt)
    bool operator==(const Offer &) const = default;
};

// What a version text offers, or nothing when the text does not decide it.
// The version reads as "M.mm": the first character M and the last two
// characters mm. Tone is offered from 1.15, polarity from 1.20, and both by
// every 2.x. Texts of two characters or fewer decide nothing (no version
// known yet). A character that the rule has to read but is not a digit makes
// the text decide nothing, so a garbled version leaves the options as they
// are; a first digit other than 1 decides without the last two characters
// (so "2.0", which a version byte of 20 gives, offers both).
std::optional<Offer> offered(const QString &version);

// Applies the rule to the record: an offered option is enabled with its
// value untouched; an option not offered is disabled and held at its fixed
// value (TONE "3", PoBt "1"). Nothing changes when the version decides nothing.
void apply(const QString &version, SettingsRecord &record);

} // namespace FirmwareOptions
