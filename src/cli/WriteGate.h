#pragma once

#include "device/WriteCheck.h"

#include <QString>

// A write refusal as the tool reports it, the field named by its label in
// the language in force and its key: "Délka tónu DTMF volby [ms] (TTon)
// holds '990'; allowed: Povolené hodnoty: 60 až 150 po 10".
QString describeRefusal(const WriteCheck::Refusal &refusal);
