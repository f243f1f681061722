// Late-bound automation: members called by name through IDispatch, VARIANTs to and from the
// program's variant, and the COM apartment of the calling thread. Windows files only.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

#include "base/variant.h"
#include "sheetexport/sheet_app.h"

// Owns one VARIANT and clears it.
class TOleVariant {
 public:
  TOleVariant() { VariantInit(&v_); }
  TOleVariant(const TOleVariant& other);
  TOleVariant(TOleVariant&& other) noexcept;
  TOleVariant& operator=(TOleVariant other) noexcept;
  ~TOleVariant() { VariantClear(&v_); }

  // An argument left out: the member takes its default.
  static TOleVariant Omitted();
  static TOleVariant Int(std::int32_t v);
  // An object argument, holding its own reference.
  static TOleVariant Object(IDispatch* object);

  // Hands the VARIANT over to the caller, leaving this one empty.
  VARIANT Detach() noexcept;
  VARIANT* get() { return &v_; }
  const VARIANT& operator*() const { return v_; }
  const VARIANT* operator->() const { return &v_; }

 private:
  VARIANT v_;
};

// Empty, integer (VT_I4 when it fits 32 bits, else VT_R8), double, UTF-8 text as BSTR, bool,
// date-time as VT_DATE.
TOleVariant ToOleVariant(const TVariant& value);
// Empty and null become empty; integers of every width, floats, currency and decimals, text,
// bool and dates their own kind; a cell error its text ("#N/A"); other errors (a member left
// out) empty; an array its first element. Objects raise ESheetAppError.
TVariant FromOleVariant(const VARIANT& value);
// A rows x columns SAFEARRAY of VARIANT, both indexes from 1, rows first, as Value2 takes it.
TOleVariant BlockToOleVariant(const TVariantBlock& block);

// Text of an automation result as the application would show it (VariantChangeType to BSTR).
std::string OleVariantText(const VARIANT& value);

// The text for a failed HRESULT: the system's message and the code in hex.
std::string HResultText(HRESULT hr);

// COM entered apartment-threaded on this thread for as long as any automation object of the
// thread lives; the last one to go leaves it again. When the thread is already in COM (in
// either model) that apartment is used and left alone.
class TComApartment {
 public:
  static std::shared_ptr<TComApartment> Enter();
  ~TComApartment();
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;

 private:
  TComApartment() = default;
  bool entered_ = false;
};

// The ids of one automation object's members, asked for once each.
struct TMemberIds;

// A counted reference to an automation object, calling its members by name. Every failure,
// an unknown name included, raises ESheetAppError with the application's description. Each
// member's id is asked for once per object (a cross-process call of its own) and kept while
// any reference to the object lives.
class TDispatch {
 public:
  TDispatch() = default;
  // Takes a reference of its own (AddRef); null stays null.
  explicit TDispatch(IDispatch* object);
  TDispatch(const TDispatch& other);
  TDispatch(TDispatch&& other) noexcept;
  TDispatch& operator=(TDispatch other) noexcept;
  ~TDispatch();

  IDispatch* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  // Arguments in the member's order.
  TOleVariant Call(const std::string& name, std::vector<TOleVariant> args = {}) const;
  TOleVariant Get(const std::string& name, std::vector<TOleVariant> args = {}) const;
  void Put(const std::string& name, TOleVariant value) const;

  // The same, for members that answer an object; a null or empty answer gives a null reference.
  TDispatch CallChild(const std::string& name, std::vector<TOleVariant> args = {}) const;
  TDispatch GetChild(const std::string& name, std::vector<TOleVariant> args = {}) const;

  // The object in an automation answer; null when the answer is empty or a null object.
  static TDispatch FromResult(const std::string& name, const TOleVariant& result);

 private:
  TOleVariant Invoke(const std::string& name, WORD kind, std::vector<TOleVariant>& args) const;
  DISPID IdOf(const std::string& name) const;

  std::shared_ptr<TComApartment> apartment_;
  IDispatch* object_ = nullptr;
  std::shared_ptr<TMemberIds> ids_;
};
