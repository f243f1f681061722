// The fake Excel's reading and writing of VARIANTs, apart from the code under test: texts,
// the recording application's notation of a value, and the values its model keeps.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

#include "base/variant.h"

std::string Narrow(const wchar_t* w, std::size_t n);
std::string BstrText(BSTR b);
std::string Number(double d);
// The value in the recording application's notation; colours as "$RRGGBB" numbers.
std::string ValueText(const VARIANT& v, bool color);
TVariant ModelValue(const VARIANT& v);
void SetModelValue(const TVariant& t, VARIANT* v);
