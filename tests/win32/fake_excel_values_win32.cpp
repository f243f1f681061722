#include "fake_excel_values_win32.h"

#include <cstdio>

std::string Narrow(const wchar_t* w, std::size_t n) {
  if (n == 0) return {};
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(n), out.data(), size, nullptr, nullptr);
  return out;
}

std::string BstrText(BSTR b) {
  return b ? Narrow(b, SysStringLen(b)) : std::string();
}

std::string Number(double d) {
  char b[40];
  std::snprintf(b, sizeof b, "%g", d);
  return b;
}

std::string ValueText(const VARIANT& v, bool color) {
  char b[48];
  switch (v.vt) {
    case VT_EMPTY:
      return "Empty";
    case VT_I4:
      if (color) {
        std::snprintf(b, sizeof b, "$%06lX", static_cast<unsigned long>(v.lVal));
        return b;
      }
      return std::to_string(v.lVal);
    case VT_R8:
      return Number(v.dblVal);
    case VT_BSTR:
      return "\"" + BstrText(v.bstrVal) + "\"";
    case VT_BOOL:
      return v.boolVal == VARIANT_TRUE ? "true" : v.boolVal == VARIANT_FALSE ? "false" : "bool?";
    case VT_DATE:
      std::snprintf(b, sizeof b, "Date(%g)", v.date);
      return b;
    case VT_ERROR:
      return v.scode == DISP_E_PARAMNOTFOUND ? "?" : "Error";
    case VT_ARRAY | VT_VARIANT: {
      LONG r = 0, c = 0;
      SafeArrayGetUBound(v.parray, 1, &r);
      SafeArrayGetUBound(v.parray, 2, &c);
      return "[" + std::to_string(r) + "x" + std::to_string(c) + "]";
    }
    default:
      return "vt" + std::to_string(v.vt);
  }
}

TVariant ModelValue(const VARIANT& v) {
  switch (v.vt) {
    case VT_I4:
      return std::int64_t{v.lVal};
    case VT_R8:
      return v.dblVal;
    case VT_BSTR:
      return BstrText(v.bstrVal);
    case VT_BOOL:
      return v.boolVal != VARIANT_FALSE;
    case VT_DATE:
      return TDateTime{v.date};
    default:
      return {};
  }
}

void SetModelValue(const TVariant& t, VARIANT* v) {
  VariantInit(v);
  if (const auto* i = std::get_if<std::int64_t>(&t)) {
    v->vt = VT_I4;
    v->lVal = static_cast<LONG>(*i);
  } else if (const auto* d = std::get_if<double>(&t)) {
    v->vt = VT_R8;
    v->dblVal = *d;
  } else if (const auto* s = std::get_if<std::string>(&t)) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, s->data(), static_cast<int>(s->size()), nullptr, 0);
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    MultiByteToWideChar(CP_UTF8, 0, s->data(), static_cast<int>(s->size()), v->bstrVal, n);
  } else if (const auto* b = std::get_if<bool>(&t)) {
    v->vt = VT_BOOL;
    v->boolVal = *b ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (const auto* dt = std::get_if<TDateTime>(&t)) {
    v->vt = VT_DATE;
    v->date = dt->Value;
  }
}
