// The classes of field types that decide what the export writes and how it formats it.
#pragma once

#include "base/field_type.h"

constexpr bool IsMemoType(TFieldType t) {
  return t == ftMemo || t == ftFmtMemo || t == ftOraClob || t == ftWideMemo;
}

constexpr bool IsNumericType(TFieldType t) {
  switch (t) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
    case ftLongWord:
    case ftShortint:
    case ftSingle:
      return true;
    default:
      return false;
  }
}

constexpr bool IsDateType(TFieldType t) {
  return t == ftDate || t == ftTime || t == ftDateTime || t == ftTimeStamp || t == ftOraTimeStamp;
}

constexpr bool IsExportableType(TFieldType t) {
  switch (t) {
    case ftString:
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftAutoInc:
    case ftMemo:
    case ftFmtMemo:
    case ftWideString:
    case ftLargeint:
    case ftOraClob:
    case ftVariant:
    case ftTimeStamp:
    case ftFMTBcd:
    case ftFixedWideChar:
    case ftWideMemo:
    case ftOraTimeStamp:
    case ftOraInterval:
    case ftLongWord:
    case ftShortint:
    case ftSingle:
      return true;
    default:
      return false;
  }
}
