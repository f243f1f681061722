// What lies around Excel's automation: starting it where none is registered, windows by
// class, the current user's registry keys and the COM apartment of the calling thread.
// Before the Windows headers, whose macros take some of the engine's names.
#include "sheetexport/sx_excel_export.h"

#include <gtest/gtest.h>

#include <thread>

#include "fake_excel_win32.h"
#include "sheetexport/dispatch_win32.h"
#include "sheetexport/sheet_app_excel_win32.h"
#include "sheetexport/sheet_system.h"

namespace {

bool ExcelRegistered() {
  CLSID clsid;
  return SUCCEEDED(CLSIDFromProgID(L"Excel.Application", &clsid));
}

TEST(ExcelSystem, WithoutExcelStartingRaises) {
  const HRESULT entered = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const bool registered = ExcelRegistered();
  if (SUCCEEDED(entered)) CoUninitialize();
  if (registered) GTEST_SKIP() << "Excel is installed here";
  auto system = CreateExcelSheetSystem();
  for (int attach = 0; attach < 2; ++attach) {
    try {
      if (attach)
        system->AttachOrStartInstance();
      else
        system->StartNewInstance();
      ADD_FAILURE() << "an application without Excel";
    } catch (const ESheetAppError& e) {
      EXPECT_NE(std::string(e.what()).find("Excel"), std::string::npos) << e.what();
    }
  }
  // The engine's connect fails the same way and stays unconnected.
  TsxExcelExport x(system, FormatSettings{});
  EXPECT_THROW(x.Connect(), ESheetAppError);
  EXPECT_FALSE(x.Connected());
}

// A running "Excel" of our own: the fake's application in the running object table under a
// class id that the current user's "Excel.Application" names for the test. Only where no
// Excel is registered, so a real one is never shadowed.
TEST(ExcelSystem, AttachTakesTheRunningInstance) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  struct Leave {
    ~Leave() { CoUninitialize(); }
  } leave;
  if (ExcelRegistered()) GTEST_SKIP() << "Excel is installed here";
  const wchar_t* clsidText = L"{5D1A6C3E-2B7F-4E1A-9C44-0A1B2C3D4E5F}";
  const std::wstring progId = L"Software\\Classes\\Excel.Application";
  struct Unregister {
    std::wstring key;
    std::vector<HKEY> roots;
    ~Unregister() {
      for (HKEY root : roots) RegDeleteTreeW(root, key.c_str());
    }
  } unregister{progId, {}};
  const auto name = [&](HKEY root) {
    HKEY k = nullptr;
    if (RegCreateKeyExW(root, (progId + L"\\CLSID").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &k, nullptr) != ERROR_SUCCESS)
      return;
    unregister.roots.push_back(root);
    RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsidText),
                   static_cast<DWORD>((wcslen(clsidText) + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
  };
  name(HKEY_CURRENT_USER);
  // Wine's class root does not take the user's classes in; its machine is the test's own.
  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  if (!ExcelRegistered() && wine) name(HKEY_LOCAL_MACHINE);
  CLSID clsid;
  ASSERT_EQ(CLSIDFromString(clsidText, &clsid), S_OK);
  ASSERT_TRUE(ExcelRegistered()) << "the test's class id is found by its name";

  auto excel = std::make_shared<FakeExcel>();
  auto system = CreateExcelSheetSystem();
  EXPECT_THROW(system->StartNewInstance(), ESheetAppError) << "no server for the class";
  {
    IDispatch* running = excel->NewApplication();
    DWORD cookie = 0;
    ASSERT_EQ(RegisterActiveObject(running, clsid, ACTIVEOBJECT_STRONG, &cookie), S_OK);
    running->Release();
    auto app = system->AttachOrStartInstance();
    RevokeActiveObject(cookie, nullptr);
    app->SetVisible(true);
    EXPECT_EQ(app->Workbooks()->Count(), 0);
  }
  EXPECT_EQ(excel->Calls, (std::vector<std::string>{"App.Visible=true", "Workbooks.Count"}));
  EXPECT_EQ(excel->LiveObjects, 0);
  EXPECT_THROW(system->AttachOrStartInstance(), ESheetAppError)
      << "nothing running: it starts one, which fails";
}

LRESULT CALLBACK ClosingWindow(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_CLOSE) {
    DestroyWindow(w);
    return 0;
  }
  return DefWindowProcW(w, message, wp, lp);
}

LRESULT CALLBACK StubbornWindow(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_CLOSE) return 0;
  return DefWindowProcW(w, message, wp, lp);
}

HWND MakeWindow(const std::wstring& className, WNDPROC proc) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = className.c_str();
  RegisterClassW(&wc);
  return CreateWindowExW(0, className.c_str(), L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

TEST(ExcelSystem, FindsAndClosesTopLevelWindowsByClass) {
  // Never XLMAIN: a running Excel on the test machine must not be closed.
  const std::string pid = std::to_string(GetCurrentProcessId());
  const std::string closing = "Q2ETestClosing" + pid, stubborn = "Q2ETestStubborn" + pid;
  const HWND a = MakeWindow(std::wstring(closing.begin(), closing.end()), ClosingWindow);
  const HWND b = MakeWindow(std::wstring(stubborn.begin(), stubborn.end()), StubbornWindow);
  if (!a || !b) GTEST_SKIP() << "no window station for top-level windows here";
  auto system = CreateExcelSheetSystem();
  EXPECT_EQ(system->FindTopLevelWindow(closing), reinterpret_cast<TSheetSystem::TWindow>(a));
  EXPECT_EQ(system->FindTopLevelWindow(stubborn), reinterpret_cast<TSheetSystem::TWindow>(b));
  EXPECT_EQ(system->FindTopLevelWindow("Q2ETestNoSuchClass" + pid), 0u);
  system->SendCloseAndWait(system->FindTopLevelWindow(closing));
  EXPECT_FALSE(IsWindow(a)) << "closed before the call returned";
  EXPECT_EQ(system->FindTopLevelWindow(closing), 0u);
  system->SendCloseAndWait(system->FindTopLevelWindow(stubborn));
  EXPECT_EQ(system->FindTopLevelWindow(stubborn), reinterpret_cast<TSheetSystem::TWindow>(b));
  DestroyWindow(b);
}

TEST(ExcelSystem, TestsKeysOfTheCurrentUser) {
  const std::wstring base = L"Software\\Quarrow2ExcelTest" + std::to_wstring(GetCurrentProcessId());
  const std::string key = "\\Software\\Quarrow2ExcelTest" + std::to_string(GetCurrentProcessId()) +
                          "\\Office\\14.0\\Excel";
  auto system = CreateExcelSheetSystem();
  EXPECT_FALSE(system->CurrentUserKeyExists(key));
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (base + L"\\Office\\14.0\\Excel").c_str(), 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(k);
  EXPECT_TRUE(system->CurrentUserKeyExists(key));
  EXPECT_TRUE(system->CurrentUserKeyExists(key.substr(1))) << "with or without the backslash";
  EXPECT_FALSE(system->CurrentUserKeyExists(key + "\\Missing"));
  EXPECT_FALSE(system->CurrentUserKeyExists("\\Software\\Quarrow2ExcelTest" +
                                            std::to_string(GetCurrentProcessId()) +
                                            "\\Office\\12.0\\Excel"));
  RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
  EXPECT_FALSE(system->CurrentUserKeyExists(key)) << "the test key is gone again";
}

// A class of the test's own, never Excel's: other tests of the machine may ask for Excel's.
TEST(ExcelSystem, ReadsTheCurrentVersionOfARegisteredClass) {
  const std::wstring progId = L"Q2ETest" + std::to_wstring(GetCurrentProcessId()) + L".Application";
  const std::string name(progId.begin(), progId.end());
  auto system = CreateExcelSheetSystem();
  EXPECT_EQ(system->ClassCurrentVersion(name), "") << "not registered";
  // Wine's class root does not take the user's classes in; its machine is the test's own.
  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  const HKEY root = wine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  const std::wstring key = L"Software\\Classes\\" + progId;
  struct Unregister {
    HKEY root;
    std::wstring key;
    ~Unregister() { RegDeleteTreeW(root, key.c_str()); }
  } unregister{root, key};
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(k);
  EXPECT_EQ(system->ClassCurrentVersion(name), "") << "registered without a current version";
  ASSERT_EQ(RegCreateKeyExW(root, (key + L"\\CurVer").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &k, nullptr),
            ERROR_SUCCESS);
  const std::wstring current = progId + L".16";
  RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(current.c_str()),
                 static_cast<DWORD>((current.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
  EXPECT_EQ(system->ClassCurrentVersion(name), name + ".16");
}

// Whether this thread is in the single-threaded apartment right now: joining it again answers
// S_FALSE then (and is undone at once).
bool InSingleThreadedApartment() {
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(hr)) CoUninitialize();
  return hr == S_FALSE;
}

TEST(ComApartment, EnteredWhileObjectsLiveAndLeftWithTheLast) {
  std::thread([] {
    EXPECT_FALSE(InSingleThreadedApartment());
    {
      auto excel = std::make_shared<FakeExcel>();
      IDispatch* raw = excel->NewApplication();
      auto app = CreateExcelApplication(raw);
      raw->Release();
      EXPECT_TRUE(InSingleThreadedApartment());
      auto books = app->Workbooks();
      const auto first = TComApartment::Enter();
      EXPECT_EQ(TComApartment::Enter(), first) << "one apartment per thread";
      app.reset();
      EXPECT_TRUE(InSingleThreadedApartment()) << "the workbooks object still lives";
    }
    EXPECT_FALSE(InSingleThreadedApartment()) << "left with the last object";
  }).join();
}

TEST(ComApartment, AThreadInTheMultithreadedApartmentKeepsIt) {
  std::thread([] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
      const auto apartment = TComApartment::Enter();
      auto excel = std::make_shared<FakeExcel>();
      IDispatch* raw = excel->NewApplication();
      auto app = CreateExcelApplication(raw);
      raw->Release();
      EXPECT_EQ(app->International(18), ":");
    }
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "still in it";
    CoUninitialize();
    CoUninitialize();
  }).join();
}

}  // namespace
