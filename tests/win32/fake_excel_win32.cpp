#include "fake_excel_win32.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sheetexport/a1_address.h"
#include "sheetexport/sheet_app_excel_win32.h"

namespace {

enum class Kind {
  App,
  Workbooks,
  Workbook,
  Worksheets,
  Sheet,
  Range,
  Font,
  Interior,
  Borders,
  Border,
  Outline,
  PageSetup
};

constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;
constexpr WORD kMethod = DISPATCH_METHOD;

struct Member {
  Kind kind;
  const char* name;
  WORD flags;
  int maxArgs;    // positional, a put's value not counted
  bool recorded;  // as the recording application records it
};

// The Excel members the program calls, with their invoke kinds as the type library has them.
const Member kMembers[] = {
    {Kind::App, "DisplayAlerts", kPut | kGet, 0, true},
    {Kind::App, "ScreenUpdating", kPut | kGet, 0, true},
    {Kind::App, "Visible", kPut | kGet, 0, true},
    {Kind::App, "Quit", kMethod, 0, true},
    {Kind::App, "International", kGet, 1, true},
    {Kind::App, "Workbooks", kGet, 0, false},
    {Kind::App, "ActiveWorkbook", kGet, 0, true},
    {Kind::Workbooks, "Count", kGet, 0, true},
    {Kind::Workbooks, "Add", kMethod, 1, true},
    {Kind::Workbooks, "Open", kMethod, 15, true},
    {Kind::Workbook, "Worksheets", kGet, 0, false},
    {Kind::Workbook, "ActiveSheet", kGet, 0, true},
    {Kind::Worksheets, "Count", kGet, 0, true},
    {Kind::Worksheets, "Item", kGet, 1, true},
    {Kind::Worksheets, "Add", kMethod, 4, true},
    {Kind::Sheet, "Name", kGet | kPut, 0, true},
    {Kind::Sheet, "Range", kGet, 2, false},
    {Kind::Sheet, "UsedRange", kGet, 0, true},
    {Kind::Sheet, "Outline", kGet, 0, false},
    {Kind::Sheet, "PageSetup", kGet, 0, false},
    {Kind::Sheet, "PrintPreview", kMethod, 1, true},
    {Kind::Sheet, "SaveAs", kMethod, 12, true},
    {Kind::Range, "Value2", kGet | kPut, 0, true},
    {Kind::Range, "NumberFormatLocal", kGet | kPut, 0, true},
    {Kind::Range, "MergeCells", kGet | kPut, 0, true},
    {Kind::Range, "ColumnWidth", kGet | kPut, 0, true},
    {Kind::Range, "EntireColumn", kGet, 0, false},
    {Kind::Range, "AutoFit", kMethod, 0, true},
    {Kind::Range, "Font", kGet, 0, false},
    {Kind::Range, "Interior", kGet, 0, false},
    {Kind::Range, "Borders", kGet, 0, false},
    {Kind::Range, "Orientation", kGet | kPut, 0, true},
    {Kind::Range, "WrapText", kGet | kPut, 0, true},
    {Kind::Range, "HorizontalAlignment", kGet | kPut, 0, true},
    {Kind::Range, "ClearContents", kMethod, 0, true},
    {Kind::Range, "Rows", kGet, 0, false},
    {Kind::Range, "Columns", kGet, 0, false},
    {Kind::Range, "Count", kGet, 0, true},
    {Kind::Range, "Group", kMethod, 4, true},
    {Kind::Range, "Row", kGet, 0, true},
    {Kind::Range, "Offset", kGet, 2, true},
    {Kind::Range, "Resize", kGet, 2, true},
    {Kind::Range, "AutoFilter", kMethod, 7, true},
    {Kind::Font, "Name", kGet | kPut, 0, true},
    {Kind::Font, "Size", kGet | kPut, 0, true},
    {Kind::Font, "Color", kGet | kPut, 0, true},
    {Kind::Font, "Bold", kGet | kPut, 0, true},
    {Kind::Font, "Italic", kGet | kPut, 0, true},
    {Kind::Font, "Underline", kGet | kPut, 0, true},
    {Kind::Interior, "Color", kGet | kPut, 0, true},
    {Kind::Borders, "Item", kGet, 1, false},
    {Kind::Border, "LineStyle", kGet | kPut, 0, true},
    {Kind::Border, "Weight", kGet | kPut, 0, true},
    {Kind::Border, "Color", kGet | kPut, 0, true},
    {Kind::Outline, "SummaryRow", kGet | kPut, 0, true},
    {Kind::Outline, "SummaryColumn", kGet | kPut, 0, true},
    {Kind::Outline, "ShowLevels", kMethod, 2, true},
    {Kind::PageSetup, "PrintGridlines", kGet | kPut, 0, true},
    {Kind::PageSetup, "CenterHeader", kGet | kPut, 0, true},
};

const Member* Find(Kind kind, const std::string& name) {
  for (const auto& m : kMembers)
    if (m.kind == kind && name == m.name) return &m;
  return nullptr;
}

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

// The value in the recording application's notation.
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

// The model's own reading of a VARIANT, apart from the code under test.
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

std::wstring gDeferredDescription;

HRESULT __stdcall FillDeferred(EXCEPINFO* info) {
  info->bstrDescription = SysAllocString(gDeferredDescription.c_str());
  info->scode = static_cast<SCODE>(0x800A03EC);
  return S_OK;
}

class FakeObject final : public IDispatch {
 public:
  FakeObject(std::shared_ptr<FakeExcel> excel, Kind kind, std::string path)
      : excel_(std::move(excel)), kind_(kind), path_(std::move(path)) {
    ++excel_->LiveObjects;
  }
  ~FakeObject() { --excel_->LiveObjects; }

  int Book = 0, SheetIndex = 0;
  std::string First, Last;
  enum { Cells, RowCount, ColumnCount } Counting = Cells;

  HRESULT __stdcall QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG __stdcall AddRef() override { return ++refs_; }
  ULONG __stdcall Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT __stdcall GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1) return E_INVALIDARG;
    const std::string name = Narrow(names[0], std::wcslen(names[0]));
    ++excel_->IdLookups;
    if (!asked_.insert(name).second) ++excel_->RepeatedLookups;
    if (!Find(kind_, name)) {
      ids[0] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    ids[0] = excel_->IdOf(name);
    return S_OK;
  }

  HRESULT __stdcall Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* info, UINT*) override {
    ++excel_->Invocations;
    const Member* m = Find(kind_, excel_->NameOf(id));
    if (!m || (flags & m->flags) != flags || flags == 0) return DISP_E_MEMBERNOTFOUND;
    if (lcid != LOCALE_USER_DEFAULT) return DISP_E_UNKNOWNLCID;
    const bool put = flags == kPut;
    if (put && (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
      return DISP_E_PARAMNOTFOUND;
    if (!put && params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    // Positional arguments come last first, after the named ones.
    std::vector<const VARIANT*> args;
    for (UINT i = params->cArgs; i > params->cNamedArgs; --i)
      args.push_back(&params->rgvarg[i - 1]);
    if (static_cast<int>(args.size()) > m->maxArgs) return DISP_E_BADPARAMCOUNT;
    const VARIANT* value = put ? &params->rgvarg[0] : nullptr;

    if (m->recorded) {
      // The recorder names the interface's call: number formats in the user's notation.
      const bool local = std::strcmp(m->name, "NumberFormatLocal") == 0;
      std::string line = path_ + "." + (local ? "NumberFormat" : m->name);
      if (!args.empty()) {
        line += "(";
        for (std::size_t i = 0; i < args.size(); ++i)
          line += (i ? "," : "") + ValueText(*args[i], false);
        line += ")";
      }
      if (put) line += "=" + ValueText(*value, std::strcmp(m->name, "Color") == 0);
      excel_->Calls.push_back(line);
      for (const auto& f : excel_->Failures) {
        if (line.rfind(f.Prefix, 0) != 0) continue;
        if (f.Result != DISP_E_EXCEPTION) return f.Result;
        if (!info) return DISP_E_EXCEPTION;
        *info = EXCEPINFO{};
        info->bstrSource = SysAllocString(L"Microsoft Excel");
        if (f.Deferred) {
          gDeferredDescription = f.Description;
          info->pfnDeferredFillIn = FillDeferred;
        } else {
          info->bstrDescription = SysAllocString(f.Description.c_str());
          info->scode = static_cast<SCODE>(0x800A03EC);
        }
        return DISP_E_EXCEPTION;
      }
    }
    VARIANT scratch;
    VariantInit(&scratch);
    const HRESULT hr = Perform(m->name, args, value, result ? result : &scratch, info);
    VariantClear(&scratch);
    return hr;
  }

 private:
  FakeObject* Child(Kind kind, std::string path) {
    return new FakeObject(excel_, kind, std::move(path));
  }
  FakeObject* RangeChild(const std::string& first, const std::string& last, std::string path) {
    auto* r = Child(Kind::Range, std::move(path));
    r->Book = Book;
    r->SheetIndex = SheetIndex;
    r->First = first;
    r->Last = last;
    return r;
  }
  FakeObject* RangeAt(const std::string& first, const std::string& last) {
    return RangeChild(first, last, "Range(" + first + ":" + last + ")");
  }
  FakeObject* SheetChild(int book, int index) {
    auto* s = Child(Kind::Sheet, "Sheet");
    s->Book = book;
    s->SheetIndex = index;
    return s;
  }
  FakeObject* BookChild(int book) {
    auto* b = Child(Kind::Workbook, "Workbook");
    b->Book = book;
    return b;
  }
  static LONG IntArg(const std::vector<const VARIANT*>& args, std::size_t i) {
    return i < args.size() && args[i]->vt == VT_I4 ? args[i]->lVal : 0;
  }
  static std::string TextArg(const std::vector<const VARIANT*>& args, std::size_t i) {
    return i < args.size() && args[i]->vt == VT_BSTR ? BstrText(args[i]->bstrVal) : std::string();
  }
  static HRESULT Refuse(EXCEPINFO* info, const wchar_t* text) {
    if (info) {
      *info = EXCEPINFO{};
      info->bstrDescription = SysAllocString(text);
      info->scode = static_cast<SCODE>(0x800A03EC);
    }
    return DISP_E_EXCEPTION;
  }

  HRESULT Perform(const std::string& name, const std::vector<const VARIANT*>& args,
                  const VARIANT* value, VARIANT* result, EXCEPINFO* info) {
    FakeExcel& x = *excel_;
    switch (kind_) {
      case Kind::App:
        if (name == "International") {
          SetModelValue(TVariant(x.InternationalCodes[IntArg(args, 0)]), result);
        } else if (name == "Workbooks") {
          return Give(result, Child(Kind::Workbooks, "Workbooks"));
        } else if (name == "ActiveWorkbook") {
          if (x.Books.empty()) {
            result->vt = VT_DISPATCH;
            result->pdispVal = nullptr;
            return S_OK;
          }
          return Give(result, BookChild(static_cast<int>(x.Books.size()) - 1));
        }
        return S_OK;
      case Kind::Workbooks:
        if (name == "Count") {
          SetModelValue(TVariant(std::int64_t(x.Books.size())), result);
        } else if (name == "Add") {
          x.Books.push_back({"Sheet1"});
          return Give(result, BookChild(static_cast<int>(x.Books.size()) - 1));
        } else if (name == "Open") {
          x.Books.push_back({"Sheet1", "Data"});
          return Give(result, BookChild(static_cast<int>(x.Books.size()) - 1));
        }
        return S_OK;
      case Kind::Workbook:
        if (name == "Worksheets") {
          auto* c = Child(Kind::Worksheets, "Worksheets");
          c->Book = Book;
          return Give(result, c);
        }
        return Give(result, SheetChild(Book, 0));  // ActiveSheet
      case Kind::Worksheets: {
        auto& book = x.Books[Book];
        if (name == "Count") {
          SetModelValue(TVariant(std::int64_t(book.size())), result);
          return S_OK;
        }
        if (name == "Item") {
          const LONG i = IntArg(args, 0);
          if (i < 1 || i > static_cast<LONG>(book.size()))
            return Refuse(info, L"Subscript out of range");
          return Give(result, SheetChild(Book, static_cast<int>(i) - 1));
        }
        book.push_back("Sheet" + std::to_string(book.size() + 1));  // Add
        return Give(result, SheetChild(Book, static_cast<int>(book.size()) - 1));
      }
      case Kind::Sheet:
        if (name == "Name") {
          if (value)
            x.Books[Book][SheetIndex] = BstrText(value->bstrVal);
          else
            SetModelValue(TVariant(x.Books[Book][SheetIndex]), result);
        } else if (name == "Range") {
          const std::string first = TextArg(args, 0);
          return Give(result, RangeAt(first, args.size() > 1 ? TextArg(args, 1) : first));
        } else if (name == "UsedRange") {
          const auto colon = x.UsedRangeAddress.find(':');
          return Give(result, RangeAt(x.UsedRangeAddress.substr(0, colon),
                                      x.UsedRangeAddress.substr(colon + 1)));
        } else if (name == "Outline") {
          auto* o = Child(Kind::Outline, "Outline");
          o->Book = Book;
          o->SheetIndex = SheetIndex;
          return Give(result, o);
        } else if (name == "PageSetup") {
          return Give(result, Child(Kind::PageSetup, "PageSetup"));
        }
        return S_OK;
      case Kind::Range:
        return PerformRange(name, args, value, result);
      case Kind::Outline:
        if (name == "ShowLevels" && !x.GroupedSheets.count({Book, SheetIndex}))
          return Refuse(info, L"ShowLevels method of Outline class failed");
        return S_OK;
      default:
        break;
    }
    if (kind_ == Kind::Borders)
      return Give(result, Child(Kind::Border, path_ + "(" + std::to_string(IntArg(args, 0)) + ")"));
    return S_OK;
  }

  static HRESULT Give(VARIANT* result, FakeObject* child) {
    result->vt = VT_DISPATCH;
    result->pdispVal = child;  // the new object's one reference
    return S_OK;
  }

  // A value as the cell keeps it: text typed into a cell that is not formatted as text is read
  // as a number or a date-time when it is one, in the user's notation, and a date takes a
  // date format of Excel's own.
  void Store(const std::string& cell, const VARIANT& v) {
    FakeExcel& x = *excel_;
    const auto format = x.Formats.find(cell);
    const bool text = format != x.Formats.end() && format->second == "@";
    if (v.vt == VT_BSTR && !text && SysStringLen(v.bstrVal) > 0 && v.bstrVal[0] != L'=') {
      double number = 0;
      DATE date = 0;
      if (SUCCEEDED(VarR8FromStr(v.bstrVal, LOCALE_USER_DEFAULT, 0, &number))) {
        x.Cells[cell] = number;
        return;
      }
      if (SUCCEEDED(VarDateFromStr(v.bstrVal, LOCALE_USER_DEFAULT, 0, &date))) {
        x.Cells[cell] = TDateTime{date};
        x.Formats[cell] = "m/d/yyyy h:mm";
        return;
      }
    }
    x.Cells[cell] = ModelValue(v);
  }

  HRESULT PerformRange(const std::string& name, const std::vector<const VARIANT*>& args,
                       const VARIANT* value, VARIANT* result) {
    FakeExcel& x = *excel_;
    const auto a = ParseA1(First), z = ParseA1(Last);
    if (name == "Value2") {
      if (!value) {
        const auto it = a ? x.Cells.find(A1Name(*a)) : x.Cells.end();
        SetModelValue(it == x.Cells.end() ? TVariant{} : it->second, result);
      } else if (value->vt == (VT_ARRAY | VT_VARIANT)) {
        VariantClear(&x.LastArray);
        VariantCopy(&x.LastArray, const_cast<VARIANT*>(value));
        LONG rows = 0, columns = 0;
        SafeArrayGetUBound(value->parray, 1, &rows);
        SafeArrayGetUBound(value->parray, 2, &columns);
        for (LONG r = 1; a && z && r <= rows && a->Row + r - 1 <= z->Row; ++r)
          for (LONG c = 1; c <= columns && a->Column + c - 1 <= z->Column; ++c) {
            LONG at[2] = {r, c};
            VARIANT cell;
            VariantInit(&cell);
            SafeArrayGetElement(value->parray, at, &cell);
            Store(A1Name({a->Column + static_cast<int>(c) - 1, a->Row + static_cast<int>(r) - 1}),
                  cell);
            VariantClear(&cell);
          }
      } else if (a) {
        Store(A1Name(*a), *value);
      }
    } else if (name == "NumberFormatLocal" && value) {
      for (int row = a ? a->Row : 1; a && z && row <= z->Row; ++row)
        for (int col = a->Column; col <= z->Column; ++col)
          x.Formats[A1Name({col, row})] = BstrText(value->bstrVal);
    } else if (name == "Group" && Counting == RowCount) {
      x.GroupedSheets.insert({Book, SheetIndex});
    } else if (name == "EntireColumn") {
      return Give(result, RangeChild(First, Last, path_ + ".EntireColumn"));
    } else if (name == "Font") {
      return Give(result, Child(Kind::Font, path_ + ".Font"));
    } else if (name == "Interior") {
      return Give(result, Child(Kind::Interior, path_ + ".Interior"));
    } else if (name == "Borders") {
      return Give(result, Child(Kind::Borders, path_ + ".Borders"));
    } else if (name == "ClearContents") {
      for (int row = a ? a->Row : 1; a && z && row <= z->Row; ++row)
        for (int col = a->Column; col <= z->Column; ++col) x.Cells.erase(A1Name({col, row}));
    } else if (name == "Rows" || name == "Columns") {
      auto* r = RangeChild(First, Last, path_ + "." + name);
      r->Counting = name == "Rows" ? RowCount : ColumnCount;
      return Give(result, r);
    } else if (name == "Count") {
      const int rows = a && z ? z->Row - a->Row + 1 : 0;
      const int columns = a && z ? z->Column - a->Column + 1 : 0;
      const int n = Counting == RowCount      ? rows
                    : Counting == ColumnCount ? columns
                                              : rows * columns;
      SetModelValue(TVariant(std::int64_t(n)), result);
    } else if (name == "Row") {
      SetModelValue(TVariant(std::int64_t(a ? a->Row : 0)), result);
    } else if (name == "Offset" || name == "Resize") {
      if (!a || !z) return Give(result, RangeAt("?", "?"));
      TCellPos from = *a, to = *z;
      const LONG dr = IntArg(args, 0), dc = IntArg(args, 1);
      if (name == "Offset") {
        from.Row += dr, to.Row += dr, from.Column += dc, to.Column += dc;
      } else {
        to.Row = from.Row + dr - 1, to.Column = from.Column + dc - 1;
      }
      return Give(result, RangeAt(A1Name(from), A1Name(to)));
    }
    return S_OK;
  }

  std::shared_ptr<FakeExcel> excel_;
  Kind kind_;
  std::string path_;
  ULONG refs_ = 1;
  std::set<std::string> asked_;
};

}  // namespace

FakeExcel::FakeExcel()
    : InternationalCodes{{17, "/"}, {18, ":"}, {19, "y"}, {20, "m"},
                         {21, "d"}, {22, "h"}, {23, "m"}, {24, "s"}} {
  VariantInit(&LastArray);
}

DISPID FakeExcel::IdOf(const std::string& name) {
  const auto it = ids_.find(name);
  if (it != ids_.end()) return it->second;
  names_.push_back(name);
  return ids_[name] = static_cast<DISPID>(names_.size());
}

std::string FakeExcel::NameOf(DISPID id) const {
  return id >= 1 && id <= static_cast<DISPID>(names_.size()) ? names_[id - 1] : std::string();
}

FakeExcel::~FakeExcel() {
  VariantClear(&LastArray);
}

IDispatch* FakeExcel::NewApplication() {
  return new FakeObject(shared_from_this(), Kind::App, "App");
}

std::shared_ptr<TSheetApplication> FakeExcelSystem::StartNewInstance() {
  Excel->Calls.push_back("StartNewInstance");
  IDispatch* app = Excel->NewApplication();
  auto out = CreateExcelApplication(app);
  app->Release();
  return out;
}

std::shared_ptr<TSheetApplication> FakeExcelSystem::AttachOrStartInstance() {
  Excel->Calls.push_back("AttachOrStartInstance");
  IDispatch* app = Excel->NewApplication();
  auto out = CreateExcelApplication(app);
  app->Release();
  return out;
}

TSheetSystem::TWindow FakeExcelSystem::FindTopLevelWindow(const std::string& className) {
  Excel->Calls.push_back("FindTopLevelWindow(" + className + ")");
  return 0;
}

void FakeExcelSystem::SendCloseAndWait(TWindow window) {
  Excel->Calls.push_back("SendCloseAndWait(" + std::to_string(window) + ")");
}

bool FakeExcelSystem::CurrentUserKeyExists(const std::string& key) {
  Excel->Calls.push_back("KeyExists(" + key + ")");
  for (const auto& k : ExistingKeys)
    if (k == key) return true;
  return false;
}

std::string FakeExcelSystem::ClassCurrentVersion(const std::string& progId) {
  Excel->Calls.push_back("CurVer(" + progId + ")");
  return progId == "Excel.Application" ? CurVer : std::string();
}
