#include "fake_excel_win32.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "fake_excel_members_win32.h"
#include "fake_excel_values_win32.h"
#include "sheetexport/a1_address.h"
#include "sheetexport/sheet_app_excel_win32.h"

namespace {

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

  int Book = 0, SheetIndex = 0, Chart = -1;
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
    if (!FindMember(kind_, name)) {
      ids[0] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    ids[0] = excel_->IdOf(name);
    return S_OK;
  }

  HRESULT __stdcall Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* info, UINT*) override {
    ++excel_->Invocations;
    const Member* m = FindMember(kind_, excel_->NameOf(id));
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
        for (std::size_t i = 0; i < args.size(); ++i) line += (i ? "," : "") + Shown(*args[i]);
        line += ")";
      }
      if (put) line += "=" + Shown(*value, std::strcmp(m->name, "Color") == 0);
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
  // Objects given as arguments are named by their path, as the recorder names them.
  static std::string Shown(const VARIANT& v, bool color = false) {
    if (v.vt == VT_DISPATCH && v.pdispVal) return static_cast<FakeObject*>(v.pdispVal)->path_;
    return ValueText(v, color);
  }
  static const FakeObject* ObjectArg(const VARIANT* v, Kind kind) {
    if (!v || v->vt != VT_DISPATCH || !v->pdispVal) return nullptr;
    const auto* o = static_cast<const FakeObject*>(v->pdispVal);
    return o->kind_ == kind ? o : nullptr;
  }
  static bool IsFalse(const VARIANT& v) { return v.vt == VT_BOOL && v.boolVal == VARIANT_FALSE; }
  static bool IsNumber(const VARIANT& v) { return v.vt == VT_I4 || v.vt == VT_R8; }
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
        // Add: Before or After, never both, must be a sheet of this workbook.
        const bool before = !args.empty() && args[0]->vt != VT_ERROR;
        const bool afterGiven = args.size() > 1 && args[1]->vt != VT_ERROR;
        const FakeObject* after = afterGiven ? ObjectArg(args[1], Kind::Sheet) : nullptr;
        if (before || (afterGiven && (!after || after->Book != Book)))
          return Refuse(info, L"Add method of Sheets class failed");
        const int at = after ? after->SheetIndex + 1 : static_cast<int>(book.size());
        book.insert(book.begin() + at, "Sheet" + std::to_string(book.size() + 1));
        return Give(result, SheetChild(Book, at));
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
        } else if (name == "ChartObjects") {
          auto* c = Child(Kind::ChartObjects, "ChartObjects");
          c->Book = Book;
          c->SheetIndex = SheetIndex;
          return Give(result, c);
        }
        return S_OK;
      case Kind::PageSetup:
        return PerformPageSetup(name, value, info);
      case Kind::ChartObjects:
      case Kind::ChartObject:
      case Kind::Chart:
      case Kind::ChartTitle:
      case Kind::SeriesCollection:
      case Kind::Series:
        return PerformChart(name, args, value, result, info);
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

  // Excel takes False or a number in range for the zoom and the page counts, a landscape or
  // portrait orientation, and a text for the title rows.
  HRESULT PerformPageSetup(const std::string& name, const VARIANT* value, EXCEPINFO* info) {
    if (!value) return S_OK;
    const bool number = IsNumber(*value);
    const LONG n = value->vt == VT_I4 ? value->lVal : 0;
    bool ok = true;
    if (name == "Zoom")
      ok = IsFalse(*value) || (number && n >= 10 && n <= 400);
    else if (name == "FitToPagesWide" || name == "FitToPagesTall")
      ok = IsFalse(*value) || (number && n >= 1 && n <= 32767);
    else if (name == "Orientation")
      ok = number && (n == 1 || n == 2);
    else if (name == "PrintTitleRows")
      ok = value->vt == VT_BSTR;
    if (ok) return S_OK;
    const std::wstring text =
        L"Unable to set the " + std::wstring(name.begin(), name.end()) + L" property";
    return Refuse(info, text.c_str());
  }

  HRESULT PerformChart(const std::string& name, const std::vector<const VARIANT*>& args,
                       const VARIANT* value, VARIANT* result, EXCEPINFO* info) {
    FakeExcel& x = *excel_;
    if (kind_ == Kind::ChartObjects) {  // Add(Left, Top, Width, Height), all required
      if (args.size() != 4 ||
          !std::all_of(args.begin(), args.end(), [](const VARIANT* a) { return IsNumber(*a); }))
        return DISP_E_PARAMNOTFOUND;
      x.Charts.push_back({Book, SheetIndex});
      auto* o = Child(Kind::ChartObject, "ChartObject");
      o->Chart = static_cast<int>(x.Charts.size()) - 1;
      return Give(result, o);
    }
    FakeExcel::FakeChart& chart = x.Charts.at(static_cast<std::size_t>(Chart));
    const auto child = [&](Kind kind, const char* path) {
      auto* o = Child(kind, path);
      o->Chart = Chart;
      return Give(result, o);
    };
    const auto chartType = [](const VARIANT& v) {
      return v.vt == VT_I4 && (v.lVal == 51 || v.lVal == 4 || v.lVal == 52 || v.lVal == 65);
    };
    if (kind_ == Kind::ChartObject) return child(Kind::Chart, "Chart");
    if (kind_ == Kind::Chart) {
      if (name == "ChartType" && value && !chartType(*value))
        return Refuse(info, L"Unable to set the ChartType property of the Chart class");
      if (name == "SetSourceData") {
        const FakeObject* source = args.empty() ? nullptr : ObjectArg(args[0], Kind::Range);
        if (!source) return Refuse(info, L"SetSourceData method of Chart class failed");
        const auto a = ParseA1(source->First), z = ParseA1(source->Last);
        chart.Series = a && z ? z->Column - a->Column + 1 : 0;
      }
      if (name == "HasTitle" && value) chart.HasTitle = value->boolVal != VARIANT_FALSE;
      if (name == "ChartTitle") {
        if (!chart.HasTitle)
          return Refuse(info, L"Unable to get the ChartTitle property of the Chart class");
        return child(Kind::ChartTitle, "ChartTitle");
      }
      if (name == "SeriesCollection") return child(Kind::SeriesCollection, "SeriesCollection");
      return S_OK;
    }
    if (kind_ == Kind::ChartTitle) {
      if (value) chart.Title = BstrText(value->bstrVal);
      return S_OK;
    }
    if (kind_ == Kind::SeriesCollection) {
      if (name == "NewSeries") ++chart.Series;
      if (name == "Item" && (args.empty() || args[0]->vt != VT_I4 || args[0]->lVal < 1 ||
                             args[0]->lVal > chart.Series))
        return Refuse(info, L"Invalid Parameter");
      return child(Kind::Series, "Series");
    }
    // Series: values and categories are ranges; the type and axis group Excel's codes.
    if (!value) return S_OK;
    if ((name == "Values" || name == "XValues") && !ObjectArg(value, Kind::Range))
      return Refuse(info, L"Unable to set the Values property of the Series class");
    if (name == "ChartType" && !chartType(*value))
      return Refuse(info, L"Unable to set the ChartType property of the Series class");
    if (name == "AxisGroup" && !(value->vt == VT_I4 && (value->lVal == 1 || value->lVal == 2)))
      return Refuse(info, L"Unable to set the AxisGroup property of the Series class");
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
  // Cells of the first sheet by their name, of later sheets after the sheet's name.
  std::string Key(TCellPos pos) const {
    const std::string cell = A1Name(pos);
    return SheetIndex == 0 ? cell : excel_->Books[Book][SheetIndex] + "!" + cell;
  }
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
        const auto it = a ? x.Cells.find(Key(*a)) : x.Cells.end();
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
            Store(Key({a->Column + static_cast<int>(c) - 1, a->Row + static_cast<int>(r) - 1}),
                  cell);
            VariantClear(&cell);
          }
      } else if (a) {
        Store(Key(*a), *value);
      }
    } else if (name == "NumberFormatLocal" && value) {
      for (int row = a ? a->Row : 1; a && z && row <= z->Row; ++row)
        for (int col = a->Column; col <= z->Column; ++col)
          x.Formats[Key({col, row})] = BstrText(value->bstrVal);
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
        for (int col = a->Column; col <= z->Column; ++col) x.Cells.erase(Key({col, row}));
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
    } else if (name == "Left" || name == "Top") {
      const double at =
          name == "Left" ? (a ? a->Column - 1 : 0) * 48.0 : (a ? a->Row - 1 : 0) * 15.0;
      SetModelValue(TVariant(at), result);
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
