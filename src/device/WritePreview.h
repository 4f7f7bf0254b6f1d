#pragma once

#include "settings/ParameterListing.h"

#include <QList>
#include <QPair>

class SettingsRecord;

// What a write will change in the communicator, shown before it sends
// anything: every parameter and counter whose value the communicator holds
// now differs from the one it will hold after the write. Both sides are
// taken as the communicator holds them (an empty switch time is 0, the half
// value with either separator is one value), in the order of the window's
// pages, then the counters.
namespace WritePreview
{

// Pairs of (now, after), with the page, the label in the language in force
// and the value as shown.
QList<QPair<ParameterListing::Line, ParameterListing::Line>> changes(const SettingsRecord &inDevice,
                                                                      const SettingsRecord &toWrite);

} // namespace WritePreview
