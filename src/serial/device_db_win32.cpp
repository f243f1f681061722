// The device list's database on Windows. The port map comes from the registry; the records of
// the devices of twelve classes from SetupAPI and the configuration manager, bound by name so
// that a system without them still lists the map's ports. The Windows 9x road (the spooler's
// EnumPorts) is not taken: the program runs on the NT family only.
#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/language/utf16_win32.h"
#include "serial/device_db_win32.h"
#include "serial/srportmap.h"

namespace {

// The classes asked, in order: three interface classes, then nine setup classes.
const GUID kInterfaceClasses[] = {
    {0x2C7089AA, 0x2E0E, 0x11D1, {0xB1, 0x14, 0x00, 0xC0, 0x4F, 0xC2, 0xAA, 0xE4}},  // modem
    {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}},  // COM port
    {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}},  // serial enum
};
const GUID kSetupClasses[] = {
    {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}},  // Ports
    {0x6BDD1FC5, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}},  // Infrared
    {0x4D36E964, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}},  // Adapter
    {0xE0CBF06C, 0xCD8B, 0x4647, {0xBB, 0x8A, 0x26, 0x3B, 0x43, 0xF0, 0xF9, 0x74}},  // Bluetooth
    {0x4D36E96D, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}},  // Modem
    {0x4D36E971,
     0xE325,
     0x11CE,
     {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}},  // Multifunction
    {0x50906CB8, 0xBA12, 0x11D1, {0xBF, 0x5D, 0x00, 0x00, 0xF8, 0x05, 0xF5, 0x30}},  // Multiport
    {0x8ECC055D, 0x047F, 0x11D1, {0xA5, 0x37, 0x00, 0x00, 0xF8, 0x75, 0x3E, 0xD1}},  // legacy
    {0xDF799E12, 0x3C56, 0x421B, {0xB2, 0x98, 0xB6, 0xD3, 0x64, 0x2B, 0xC8, 0x78}},
};

using TGetClassDevs = HDEVINFO(WINAPI*)(const GUID*, PCWSTR, HWND, DWORD);
using TDestroyList = BOOL(WINAPI*)(HDEVINFO);
using TEnumDeviceInfo = BOOL(WINAPI*)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
using TGetRegistryProperty = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD,
                                           PDWORD);
using TOpenDevRegKey = HKEY(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, DWORD, DWORD, REGSAM);
using TEnumInterfaces = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                      PSP_DEVICE_INTERFACE_DATA);
using TGetInterfaceDetail = BOOL(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                          PSP_DEVICE_INTERFACE_DETAIL_DATA_W, DWORD, PDWORD,
                                          PSP_DEVINFO_DATA);
using TGetInstanceId = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, PWSTR, DWORD, PDWORD);
using TIdListSize = CONFIGRET(WINAPI*)(PULONG, PCWSTR, ULONG);
using TIdList = CONFIGRET(WINAPI*)(PCWSTR, PWCHAR, ULONG, ULONG);
using TZwQueryKey = LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);

// Names as stored; those with a character-set form end in "A" and are bound by WideName.
struct TBinding {
  const char* Name;
  bool CharSet;
  bool Required;
};
const TBinding kSetupDi[] = {
    {"SetupDiGetClassDevsA", true, true},
    {"SetupDiDestroyDeviceInfoList", false, true},
    {"SetupDiEnumDeviceInfo", false, true},
    {"SetupDiGetDeviceRegistryPropertyA", true, true},
    {"SetupDiOpenDevRegKey", false, true},
    {"SetupDiEnumDeviceInterfaces", false, true},
    {"SetupDiGetDeviceInterfaceDetailA", true, true},
    {"SetupDiCreateDeviceInfoList", false, true},
    {"SetupDiCreateDeviceInfoA", true, true},
    {"SetupDiGetINFClassA", true, true},
    {"SetupDiSetDeviceRegistryPropertyA", true, true},
    {"SetupDiCallClassInstaller", false, true},
    {"SetupDiGetDeviceInstanceIdA", true, true},
    {"SetupDiRemoveDevice", false, false},
    {"SetupDiUnremoveDevice", false, false},
    {"SetupDiOpenDeviceInfoA", true, false},
    {"SetupDiSetClassInstallParamsA", true, true},
};
const TBinding kConfigManager[] = {
    {"CM_Locate_DevNodeA", true, true},     {"CM_Get_DevNode_Registry_PropertyA", true, true},
    {"CM_Get_Parent", false, true},         {"CM_Get_Device_ID_List_SizeA", true, true},
    {"CM_Get_Device_ID_ListA", true, true}, {"CM_Get_Child", false, true},
    {"CM_Get_Sibling", false, true},        {"CM_Request_Device_EjectA", true, false},
};
constexpr std::size_t kSetupDiCount = sizeof kSetupDi / sizeof kSetupDi[0];
constexpr std::size_t kConfigManagerCount = sizeof kConfigManager / sizeof kConfigManager[0];

// The bound libraries: kept from the first successful binding to the end of the program.
struct TSetupApi {
  std::mutex m;
  HMODULE setupApi = nullptr, cfgMgr = nullptr;
  bool bound = false;
  FARPROC setupDi[kSetupDiCount] = {};
  FARPROC cm[kConfigManagerCount] = {};

  ~TSetupApi() { Release(); }
  void Release() {
    if (cfgMgr) FreeLibrary(cfgMgr);
    if (setupApi) FreeLibrary(setupApi);
    setupApi = cfgMgr = nullptr;
    bound = false;
  }
  template <typename F>
  F SetupDi(std::size_t i) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(setupDi[i]));
  }
  template <typename F>
  F Cm(std::size_t i) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(cm[i]));
  }
};
TSetupApi& Api() {
  static TSetupApi api;
  return api;
}

FARPROC Bind(HMODULE lib, const TBinding& b) {
  const std::string name = b.CharSet ? WideName(b.Name) : std::string(b.Name);
  return GetProcAddress(lib, name.c_str());
}

bool LoadSetupApiLocked(TSetupApi& api) {
  if (api.bound) return true;
  api.setupApi = LoadLibraryW(L"SetupAPI.dll");
  if (!api.setupApi) return false;
  bool ok = true;
  for (std::size_t i = 0; i < kSetupDiCount; ++i) {
    api.setupDi[i] = Bind(api.setupApi, kSetupDi[i]);
    ok = ok && (api.setupDi[i] || !kSetupDi[i].Required);
  }
  HMODULE cmLib = api.setupApi;
  if (!GetProcAddress(api.setupApi, "CM_Locate_DevNodeW")) {
    api.cfgMgr = LoadLibraryW(L"cfgmgr32.dll");
    cmLib = api.cfgMgr;
  }
  for (std::size_t i = 0; i < kConfigManagerCount; ++i) {
    api.cm[i] = cmLib ? Bind(cmLib, kConfigManager[i]) : nullptr;
    ok = ok && (api.cm[i] || !kConfigManager[i].Required);
  }
  if (!ok) {
    api.Release();
    return false;
  }
  api.bound = true;
  return true;
}

// The places in the binding tables of the functions called here.
enum : std::size_t {
  kGetClassDevs = 0,
  kDestroyList = 1,
  kEnumDeviceInfo = 2,
  kGetRegistryProperty = 3,
  kOpenDevRegKey = 4,
  kEnumInterfaces = 5,
  kGetInterfaceDetail = 6,
  kGetInstanceId = 12,
};
enum : std::size_t { kIdListSize = 3, kIdList = 4 };

std::string DeviceProperty(const TSetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& dev, DWORD code) {
  alignas(wchar_t) BYTE buf[512];
  DWORD type = 0, size = 0;
  if (!api.SetupDi<TGetRegistryProperty>(kGetRegistryProperty)(set, &dev, code, &type, buf,
                                                               sizeof buf, &size))
    return "";
  std::wstring s(reinterpret_cast<const wchar_t*>(buf), size / sizeof(wchar_t));
  if (const auto zero = s.find(L'\0'); zero != std::wstring::npos) s.resize(zero);
  return Narrow(s);
}

std::string DeviceBusRelations(const TSetupApi& api, const std::wstring& id, bool bus) {
  const ULONG filter =
      bus ? CM_GETIDLIST_FILTER_BUSRELATIONS : CM_GETIDLIST_FILTER_REMOVALRELATIONS;
  ULONG len = 0;
  if (api.Cm<TIdListSize>(kIdListSize)(&len, id.c_str(), filter) != CR_SUCCESS || len == 0)
    return "";
  std::wstring buf(len, L'\0');
  if (api.Cm<TIdList>(kIdList)(id.c_str(), buf.data(), len, filter) != CR_SUCCESS) return "";
  return Narrow(JoinMultiSz<wchar_t>(buf.data(), len, L";"));
}

// The full path of an open key, below its root, from the kernel's name of it.
TKeyPath RegKeyPathOf(HKEY key) {
  TKeyPath result;
  const HMODULE ntdll = LoadLibraryW(L"ntdll.dll");
  if (!ntdll) return result;
  const auto query =
      reinterpret_cast<TZwQueryKey>(reinterpret_cast<void*>(GetProcAddress(ntdll, "ZwQueryKey")));
  constexpr int kKeyNameInformation = 3;
  ULONG size = 0;
  if (query && key) {
    query(key, kKeyNameInformation, nullptr, 0, &size);
    if (size >= sizeof(ULONG)) {
      std::vector<BYTE> block(size + 2, 0);
      if (query(key, kKeyNameInformation, block.data(), size, &size) >= 0) {
        ULONG nameBytes = 0;
        std::memcpy(&nameBytes, block.data(), sizeof nameBytes);
        nameBytes = std::min<ULONG>(nameBytes, size - sizeof(ULONG));
        std::wstring name(nameBytes / sizeof(wchar_t), L'\0');
        std::memcpy(name.data(), block.data() + sizeof(ULONG), name.size() * sizeof(wchar_t));
        result = SplitKernelKeyPath(Narrow(name));
      }
    }
  }
  FreeLibrary(ntdll);
  return result;
}

std::string RegValueString(HKEY root, const std::string& path, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  std::string result;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    std::wstring buf(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got) ==
        ERROR_SUCCESS) {
      std::size_t chars = got / sizeof(wchar_t);
      if (type == REG_SZ && chars > 0 && buf[chars - 1] == L'\0') --chars;
      buf.resize(chars);
      result = Narrow(buf);
    }
  }
  RegCloseKey(key);
  return result;
}

// The registry root of a path found by RegKeyPathOf; the records keep HKEY_LOCAL_MACHINE paths.
HKEY RootOf(TKeyRoot root) {
  return root == TKeyRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

void ReadCommon(const TSetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& dev, TsrDevice& r) {
  r.Driver = DeviceProperty(api, set, dev, SPDRP_DRIVER);
  r.Service = DeviceProperty(api, set, dev, SPDRP_SERVICE);
  r.NamePDO = DeviceProperty(api, set, dev, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME);
  r.Description = DeviceProperty(api, set, dev, SPDRP_DEVICEDESC);
  r.Manufacturer = DeviceProperty(api, set, dev, SPDRP_MFG);
  const GUID& g = dev.ClassGuid;
  r.GuidClass = GuidText(g.Data1, g.Data2, g.Data3, g.Data4);
}

void EnumDevices(const GUID& cls, bool presentOnly, bool byDevice, std::vector<TsrDevice>& records,
                 bool interfaces) {
  TSetupApi& api = Api();
  {
    std::lock_guard lock(api.m);
    if (!LoadSetupApiLocked(api)) return;
  }
  DWORD flags = 0;
  if (presentOnly) flags |= DIGCF_PRESENT;
  if (interfaces) flags |= DIGCF_DEVICEINTERFACE;
  const HDEVINFO set = api.SetupDi<TGetClassDevs>(kGetClassDevs)(&cls, nullptr, nullptr, flags);
  if (set == INVALID_HANDLE_VALUE) return;

  if (byDevice) {
    for (DWORD i = 0;; ++i) {
      SP_DEVINFO_DATA dev{};
      dev.cbSize = sizeof dev;
      if (!api.SetupDi<TEnumDeviceInfo>(kEnumDeviceInfo)(set, i, &dev)) break;
      TsrDevice r;
      ReadCommon(api, set, dev, r);
      const HKEY key = api.SetupDi<TOpenDevRegKey>(kOpenDevRegKey)(set, &dev, DICS_FLAG_GLOBAL, 0,
                                                                   DIREG_DEV, KEY_QUERY_VALUE);
      if (key != INVALID_HANDLE_VALUE && key) {
        const TKeyPath path = RegKeyPathOf(key);
        RegCloseKey(key);
        r.RegKey = path.Path;
        r.NameSymbolic = RegValueString(RootOf(path.Root), r.RegKey, L"SymbolicName");
        r.PortName = RegValueString(RootOf(path.Root), r.RegKey, L"PortName");
      }
      wchar_t id[256];
      if (api.SetupDi<TGetInstanceId>(kGetInstanceId)(set, &dev, id, 256, nullptr)) {
        r.InstanceId = Narrow(id);
        r.DevInst = dev.DevInst;
        r.BusRelations = DeviceBusRelations(api, id, true);
      }
      records.push_back(std::move(r));
    }
  } else {
    for (DWORD i = 0;; ++i) {
      SP_DEVICE_INTERFACE_DATA itf{};
      itf.cbSize = sizeof itf;
      if (!api.SetupDi<TEnumInterfaces>(kEnumInterfaces)(set, nullptr, &cls, i, &itf)) break;
      DWORD size = 0;
      const auto detail = api.SetupDi<TGetInterfaceDetail>(kGetInterfaceDetail);
      if (detail(set, &itf, nullptr, 0, &size, nullptr) ||
          GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        continue;
      std::vector<BYTE> block(size + sizeof(wchar_t), 0);
      auto* data = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(block.data());
      data->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
      SP_DEVINFO_DATA dev{};
      dev.cbSize = sizeof dev;
      if (!detail(set, &itf, data, size, nullptr, &dev)) continue;
      TsrDevice r;
      ReadCommon(api, set, dev, r);
      r.NameSymbolic = Narrow(data->DevicePath);
      records.push_back(std::move(r));
    }
  }
  api.SetupDi<TDestroyList>(kDestroyList)(set);
}

}  // namespace

bool TsrWin32DeviceDatabase::LoadSetupApi() {
  TSetupApi& api = Api();
  std::lock_guard lock(api.m);
  return LoadSetupApiLocked(api);
}

std::vector<TsrPortMapEntry> TsrWin32DeviceDatabase::PortMap() {
  std::vector<TsrPortMapEntry> map;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS)
    return map;
  for (DWORD i = 0;; ++i) {
    wchar_t name[260];
    alignas(wchar_t) BYTE data[260];
    DWORD nameLen = 260, dataLen = sizeof data, type = 0;
    if (RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data, &dataLen) != ERROR_SUCCESS)
      break;
    const std::wstring port(reinterpret_cast<const wchar_t*>(data), dataLen / sizeof(wchar_t));
    AddSerialCommValue(map, Narrow(std::wstring(name, nameLen)), Narrow(port));
  }
  RegCloseKey(key);
  return map;
}

std::vector<TsrDevice> TsrWin32DeviceDatabase::EnumerationRecords(bool presentOnly) {
  std::vector<TsrDevice> records;
  for (const GUID& cls : kInterfaceClasses) EnumDevices(cls, presentOnly, false, records, true);
  for (const GUID& cls : kSetupClasses) EnumDevices(cls, presentOnly, true, records, false);
  return records;
}

std::shared_ptr<TsrDeviceDatabase> SystemDeviceDatabase() {
  static const auto db = std::make_shared<TsrWin32DeviceDatabase>();
  return db;
}
