#pragma once

#include "device/WriteCheck.h"

#include <QString>

// A write refusal as the tool reports it: "TTon (Edit152) holds '990';
// allowed: 60 to 150 in steps of 10".
QString describeRefusal(const WriteCheck::Refusal &refusal);
