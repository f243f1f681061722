#include "sheetexport/dispatch_win32.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/language/utf16_win32.h"
#include "text/string_table.h"

TOleVariant::TOleVariant(const TOleVariant& other) {
  VariantInit(&v_);
  const HRESULT hr = VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
  if (FAILED(hr)) throw ESheetAppError("A value could not be copied: " + HResultText(hr));
}

TOleVariant::TOleVariant(TOleVariant&& other) noexcept : v_(other.v_) {
  VariantInit(&other.v_);
}

TOleVariant& TOleVariant::operator=(TOleVariant other) noexcept {
  std::swap(v_, other.v_);
  return *this;
}

TOleVariant TOleVariant::Omitted() {
  TOleVariant v;
  v.v_.vt = VT_ERROR;
  v.v_.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

TOleVariant TOleVariant::Int(std::int32_t value) {
  TOleVariant v;
  v.v_.vt = VT_I4;
  v.v_.lVal = value;
  return v;
}

TOleVariant TOleVariant::Object(IDispatch* object) {
  TOleVariant v;
  v.v_.vt = VT_DISPATCH;
  v.v_.pdispVal = object;
  if (object) object->AddRef();
  return v;
}

VARIANT TOleVariant::Detach() noexcept {
  VARIANT out = v_;
  VariantInit(&v_);
  return out;
}

namespace {

BSTR AllocBstr(const std::string& utf8) {
  const std::wstring w = Widen(utf8);
  BSTR b = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
  if (!b) throw ESheetAppError("Out of memory for a text value");
  return b;
}

std::string BstrText(BSTR b) {
  return b ? Narrow(std::wstring_view(b, SysStringLen(b))) : std::string();
}

// Excel hands cell errors over as VT_ERROR with its own codes in the control facility.
const char* CellErrorText(SCODE code) {
  if (HRESULT_FACILITY(code) != FACILITY_CONTROL) return nullptr;
  switch (HRESULT_CODE(code)) {
    case 2000:
      return "#NULL!";
    case 2007:
      return "#DIV/0!";
    case 2015:
      return "#VALUE!";
    case 2023:
      return "#REF!";
    case 2029:
      return "#NAME?";
    case 2036:
      return "#NUM!";
    case 2042:
      return "#N/A";
    default:
      return nullptr;
  }
}

TVariant FromArray(const VARIANT& value) {
  SAFEARRAY* a = (value.vt & VT_BYREF) ? *value.pparray : value.parray;
  if (!a || a->cDims == 0) return {};
  std::vector<LONG> first(a->cDims);
  for (UINT d = 0; d < a->cDims; ++d) {
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(a, d + 1, &lower);
    SafeArrayGetUBound(a, d + 1, &upper);
    if (upper < lower) return {};
    first[d] = lower;
  }
  TOleVariant element;
  const VARTYPE type = value.vt & VT_TYPEMASK;
  HRESULT hr;
  if (type == VT_VARIANT) {
    hr = SafeArrayGetElement(a, first.data(), element.get());
  } else if (type == VT_DECIMAL) {
    hr = SafeArrayGetElement(a, first.data(), &element.get()->decVal);
    if (SUCCEEDED(hr)) element.get()->vt = type;
  } else {
    // Every member of the VARIANT's union starts at the same place.
    hr = SafeArrayGetElement(a, first.data(), &element.get()->llVal);
    if (SUCCEEDED(hr)) element.get()->vt = type;
  }
  if (FAILED(hr)) throw ESheetAppError("An array value could not be read: " + HResultText(hr));
  return FromOleVariant(*element);
}

double AsDouble(const VARIANT& value) {
  TOleVariant d;
  const HRESULT hr = VariantChangeType(d.get(), const_cast<VARIANT*>(&value), 0, VT_R8);
  if (FAILED(hr)) throw ESheetAppError("A number could not be read: " + HResultText(hr));
  return d->dblVal;
}

}  // namespace

TOleVariant ToOleVariant(const TVariant& value) {
  TOleVariant out;
  VARIANT& v = *out.get();
  struct Visitor {
    VARIANT& v;
    void operator()(std::monostate) const {}
    void operator()(std::int64_t x) const {
      if (x >= std::numeric_limits<std::int32_t>::min() &&
          x <= std::numeric_limits<std::int32_t>::max()) {
        v.vt = VT_I4;
        v.lVal = static_cast<LONG>(x);
      } else {
        v.vt = VT_R8;
        v.dblVal = static_cast<double>(x);
      }
    }
    void operator()(double x) const {
      v.vt = VT_R8;
      v.dblVal = x;
    }
    void operator()(const std::string& x) const {
      v.bstrVal = AllocBstr(x);
      v.vt = VT_BSTR;
    }
    void operator()(bool x) const {
      v.vt = VT_BOOL;
      v.boolVal = x ? VARIANT_TRUE : VARIANT_FALSE;
    }
    void operator()(TDateTime x) const {
      v.vt = VT_DATE;
      v.date = x.Value;
    }
  };
  std::visit(Visitor{v}, value);
  return out;
}

TVariant FromOleVariant(const VARIANT& value) {
  if (value.vt & VT_ARRAY) return FromArray(value);
  if (value.vt & VT_BYREF) {
    TOleVariant direct;
    const HRESULT hr = VariantCopyInd(direct.get(), const_cast<VARIANT*>(&value));
    if (FAILED(hr)) throw ESheetAppError("A value could not be read: " + HResultText(hr));
    return FromOleVariant(*direct);
  }
  switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return {};
    case VT_I1:
      return std::int64_t{value.cVal};
    case VT_I2:
      return std::int64_t{value.iVal};
    case VT_I4:
      return std::int64_t{value.lVal};
    case VT_INT:
      return std::int64_t{value.intVal};
    case VT_I8:
      return std::int64_t{value.llVal};
    case VT_UI1:
      return std::int64_t{value.bVal};
    case VT_UI2:
      return std::int64_t{value.uiVal};
    case VT_UI4:
      return std::int64_t{value.ulVal};
    case VT_UINT:
      return std::int64_t{value.uintVal};
    case VT_UI8:
      if (value.ullVal > static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max()))
        return static_cast<double>(value.ullVal);
      return static_cast<std::int64_t>(value.ullVal);
    case VT_R4:
      return static_cast<double>(value.fltVal);
    case VT_R8:
      return value.dblVal;
    case VT_CY:
    case VT_DECIMAL:
      return AsDouble(value);
    case VT_BSTR:
      return BstrText(value.bstrVal);
    case VT_BOOL:
      return value.boolVal != VARIANT_FALSE;
    case VT_DATE:
      return TDateTime{value.date};
    case VT_ERROR:
      if (const char* text = CellErrorText(value.scode)) return std::string(text);
      return {};
    case VT_DISPATCH:
    case VT_UNKNOWN:
      throw ESheetAppError("The application answered an object where a value was expected");
    default:
      throw ESheetAppError("The application answered a value of unknown type " +
                           std::to_string(value.vt));
  }
}

TOleVariant BlockToOleVariant(const TVariantBlock& block) {
  const int rows = block.Rows > 0 ? block.Rows : 0;
  const int columns = block.Columns > 0 ? block.Columns : 0;
  SAFEARRAYBOUND bounds[2];
  bounds[0].cElements = static_cast<ULONG>(rows);
  bounds[0].lLbound = 1;
  bounds[1].cElements = static_cast<ULONG>(columns);
  bounds[1].lLbound = 1;
  SAFEARRAY* a = SafeArrayCreate(VT_VARIANT, 2, bounds);
  if (!a) throw ESheetAppError("Out of memory for a block of values");
  TOleVariant out;
  out.get()->vt = VT_ARRAY | VT_VARIANT;
  out.get()->parray = a;
  if (rows == 0 || columns == 0) return out;
  VARIANT* cells = nullptr;
  HRESULT hr = SafeArrayAccessData(a, reinterpret_cast<void**>(&cells));
  if (FAILED(hr)) throw ESheetAppError("A block of values could not be built: " + HResultText(hr));
  try {
    // The first index runs fastest in memory.
    for (int c = 0; c < columns; ++c)
      for (int r = 0; r < rows; ++r)
        cells[static_cast<std::size_t>(c) * rows + r] = ToOleVariant(block.At(r, c)).Detach();
  } catch (...) {
    SafeArrayUnaccessData(a);
    throw;
  }
  SafeArrayUnaccessData(a);
  return out;
}

std::string OleVariantText(const VARIANT& value) {
  if (value.vt == VT_BSTR) return BstrText(value.bstrVal);
  if (value.vt == VT_EMPTY || value.vt == VT_NULL) return {};
  TOleVariant text;
  const HRESULT hr = VariantChangeTypeEx(text.get(), const_cast<VARIANT*>(&value),
                                         LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL, VT_BSTR);
  if (FAILED(hr)) throw ESheetAppError("A value could not be read as text: " + HResultText(hr));
  return BstrText(text->bstrVal);
}

std::string HResultText(HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring s(text ? text : L"", text ? n : 0);
  if (text) LocalFree(text);
  while (!s.empty() &&
         (s.back() == L'\r' || s.back() == L'\n' || s.back() == L' ' || s.back() == L'.'))
    s.pop_back();
  if (s.empty()) return std::string("error ") + code;
  return Narrow(s) + " (" + code + ")";
}

std::shared_ptr<TComApartment> TComApartment::Enter() {
  thread_local std::weak_ptr<TComApartment> current;
  if (auto a = current.lock()) return a;
  std::shared_ptr<TComApartment> a(new TComApartment);
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // S_FALSE (already in this apartment) needs its CoUninitialize as well; a thread already in
  // the multithreaded apartment keeps it, and out-of-process calls work from there too.
  a->entered_ = SUCCEEDED(hr);
  if (FAILED(hr) && hr != RPC_E_CHANGED_MODE)
    throw ESheetAppError(Str(TS::ComNotStarted, {HResultText(hr)}));
  current = a;
  return a;
}

TComApartment::~TComApartment() {
  if (entered_) CoUninitialize();
}

struct TMemberIds {
  std::map<std::string, DISPID> Ids;
};

namespace {

// The ids of an object that a reference already holds: an application hands the same object
// out again (its sheet, its collections) as the same interface pointer. An entry lives only
// while a reference holds the object, so an address taken over by a new object never finds the
// ids of the old one. One table for the process, not per thread: MinGW's thread-local objects
// with destructors are not safe to leave behind at a thread's end.
std::shared_ptr<TMemberIds> MemberIdsOf(IDispatch* object) {
  static std::mutex m;
  static std::unordered_map<IDispatch*, std::weak_ptr<TMemberIds>> known;
  static std::size_t pruneAt = 64;
  std::lock_guard lock(m);
  std::weak_ptr<TMemberIds>& entry = known[object];
  if (auto ids = entry.lock()) return ids;
  auto ids = std::make_shared<TMemberIds>();
  entry = ids;
  if (known.size() > pruneAt) {
    std::erase_if(known, [](const auto& e) { return e.second.expired(); });
    pruneAt = std::max<std::size_t>(64, 2 * known.size());
  }
  return ids;
}

}  // namespace

TDispatch::TDispatch(IDispatch* object) {
  if (!object) return;
  apartment_ = TComApartment::Enter();
  object_ = object;
  object_->AddRef();
  ids_ = MemberIdsOf(object_);
}

TDispatch::TDispatch(const TDispatch& other)
    : apartment_(other.apartment_), object_(other.object_), ids_(other.ids_) {
  if (object_) object_->AddRef();
}

TDispatch::TDispatch(TDispatch&& other) noexcept
    : apartment_(std::move(other.apartment_)),
      object_(std::exchange(other.object_, nullptr)),
      ids_(std::move(other.ids_)) {}

TDispatch& TDispatch::operator=(TDispatch other) noexcept {
  std::swap(apartment_, other.apartment_);
  std::swap(object_, other.object_);
  std::swap(ids_, other.ids_);
  return *this;
}

TDispatch::~TDispatch() {
  // Before the apartment may go.
  if (object_) object_->Release();
}

TOleVariant TDispatch::Call(const std::string& name, std::vector<TOleVariant> args) const {
  return Invoke(name, DISPATCH_METHOD, args);
}

TOleVariant TDispatch::Get(const std::string& name, std::vector<TOleVariant> args) const {
  return Invoke(name, DISPATCH_PROPERTYGET, args);
}

void TDispatch::Put(const std::string& name, TOleVariant value) const {
  std::vector<TOleVariant> args;
  args.push_back(std::move(value));
  Invoke(name, DISPATCH_PROPERTYPUT, args);
}

TDispatch TDispatch::CallChild(const std::string& name, std::vector<TOleVariant> args) const {
  return FromResult(name, Call(name, std::move(args)));
}

TDispatch TDispatch::GetChild(const std::string& name, std::vector<TOleVariant> args) const {
  return FromResult(name, Get(name, std::move(args)));
}

TDispatch TDispatch::FromResult(const std::string& name, const TOleVariant& result) {
  const VARIANT& v = *result;
  switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return {};
    case VT_DISPATCH:
      return TDispatch(v.pdispVal);
    case VT_DISPATCH | VT_BYREF:
      return TDispatch(v.ppdispVal ? *v.ppdispVal : nullptr);
    case VT_UNKNOWN: {
      if (!v.punkVal) return {};
      IDispatch* d = nullptr;
      if (FAILED(v.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))) || !d)
        break;
      TDispatch out(d);
      d->Release();
      return out;
    }
    default:
      break;
  }
  throw ESheetAppError(name + " did not answer an automation object");
}

DISPID TDispatch::IdOf(const std::string& name) const {
  const auto known = ids_->Ids.find(name);
  if (known != ids_->Ids.end()) return known->second;
  std::wstring wide = Widen(name);
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr))
    throw ESheetAppError("Unknown automation member " + name + ": " + HResultText(hr));
  ids_->Ids.emplace(name, id);
  return id;
}

TOleVariant TDispatch::Invoke(const std::string& name, WORD kind,
                              std::vector<TOleVariant>& args) const {
  if (!object_) throw ESheetAppError("No automation object to call " + name + " on");
  const DISPID id = IdOf(name);

  // Invoke takes the arguments last first; the values stay owned by args.
  std::vector<VARIANT> reversed(args.size());
  for (std::size_t i = 0; i < args.size(); ++i) reversed[args.size() - 1 - i] = *args[i];
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = reversed.empty() ? nullptr : reversed.data();
  params.cArgs = static_cast<UINT>(reversed.size());
  if (kind == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  TOleVariant result;
  EXCEPINFO info{};
  UINT badArgument = 0;
  HRESULT hr =
      object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params,
                      kind == DISPATCH_PROPERTYPUT ? nullptr : result.get(), &info, &badArgument);
  if (hr == DISP_E_EXCEPTION) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    std::string text = BstrText(info.bstrDescription);
    const HRESULT code = info.scode ? info.scode : static_cast<HRESULT>(info.wCode);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    if (text.empty()) text = name + ": " + HResultText(code ? code : hr);
    throw ESheetAppError(text);
  }
  if (FAILED(hr)) {
    std::string text = name + ": " + HResultText(hr);
    if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND)
      text += ", argument " + std::to_string(args.size() - badArgument);
    throw ESheetAppError(text);
  }
  return result;
}
