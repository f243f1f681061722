// Text of a variant as the engine compares and measures it: integers in decimal, floating
// point with up to 15 significant digits, booleans as True/False, date-times as their number.
#pragma once

#include <string>

#include "base/variant.h"

std::string VarToStr(const TVariant& value);
