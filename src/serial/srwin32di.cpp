#include "serial/srwin32di.h"

#include <algorithm>
#include <charconv>

#include "serial/srportmap.h"

namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

// The number after "COM", or 0 when the rest is no number.
std::int32_t ComNumber(std::string_view name) {
  const std::string_view rest = name.substr(3);
  std::int32_t n = 0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), n);
  if (ec != std::errc() || end != rest.data() + rest.size()) return 0;
  return n;
}

void TakeRecord(TsrDevice& device, const TsrDevice& record) {
  device.Service = record.Service;
  device.Description = record.Description;
  if (!device.Description.empty())
    device.NameFriendly = device.NameFriendly + " (" + device.Description + ")";
  device.Driver = record.Driver;
  device.Manufacturer = record.Manufacturer;
  // A record found by its description may carry no port name; the map's name still opens it.
  if (std::string name = TrimPortName(record.PortName); !name.empty())
    device.PortName = std::move(name);
  device.RegKey = record.RegKey;
}

std::vector<TsrDevice>::iterator FindRecord(std::vector<TsrDevice>& records,
                                            const std::string& dosName) {
  const std::string inDescription = "(" + dosName + ")";
  return std::find_if(records.begin(), records.end(), [&](const TsrDevice& r) {
    return SameTextAscii(r.PortName, dosName) ||
           r.Description.find(inDescription) != std::string::npos;
  });
}

}  // namespace

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

std::string TrimPortName(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

bool AddByPortNumber(std::vector<TsrPortMapEntry>& list, const TsrPortMapEntry& entry) {
  for (const auto& e : list)
    if (e.Port == entry.Port && e.Value == entry.Value) return false;
  if (list.empty() || list.back().Number < entry.Number) {
    list.push_back(entry);
    return true;
  }
  const auto at = std::find_if(list.begin(), list.end(),
                               [&](const TsrPortMapEntry& e) { return e.Number > entry.Number; });
  if (at == list.end()) return false;
  list.insert(at, entry);
  return true;
}

TsrDevice* TsrDeviceList::Item(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return items_[static_cast<std::size_t>(i)].second.get();
}

int TsrDeviceList::IndexOfDevice(const TsrDevice* device) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<std::size_t>(i)].second.get() == device) return i;
  return -1;
}

int TsrDeviceList::IndexOfPortNo(std::int32_t n) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<std::size_t>(i)].second->Data == n) return i;
  return -1;
}

int TsrDeviceList::DeviceAdd(std::unique_ptr<TsrDevice> device, TsrBaseIO* parent) {
  device->fIndex = Count();
  device->fParent = parent;
  std::string name = device->NameFriendly;
  items_.emplace_back(std::move(name), std::move(device));
  return Count() - 1;
}

int TsrDeviceList::DeviceInsert(std::unique_ptr<TsrDevice> device, TsrBaseIO* parent) {
  if (items_.empty() || items_.back().second->Data < device->Data)
    return DeviceAdd(std::move(device), parent);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const std::int32_t data = items_[i].second->Data;
    if (data == device->Data) return -1;
    if (data > device->Data) {
      device->fIndex = static_cast<int>(i);
      device->fParent = parent;
      std::string name = device->NameFriendly;
      items_.emplace(items_.begin() + static_cast<std::ptrdiff_t>(i), std::move(name),
                     std::move(device));
      for (std::size_t j = i + 1; j < items_.size(); ++j) ++items_[j].second->fIndex;
      return static_cast<int>(i);
    }
  }
  return -1;
}

void DeviceListLoad(TsrDeviceList& list, TsrEnumPorts mode, TsrDeviceDatabase& db,
                    TsrBaseIO* parent) {
  const bool presentOnly = mode == epFullPresent;
  const bool withInfo = mode != epQuickAll;
  std::vector<TsrDevice> records;
  if (withInfo) records = db.EnumerationRecords(presentOnly);
  // Without any record the database could not be read: the map's ports stay, bare.
  const bool noRecords = records.empty();

  std::vector<TsrPortMapEntry> map;
  for (const auto& entry : db.PortMap()) AddByPortNumber(map, entry);

  for (const auto& entry : map) {
    auto device = std::make_unique<TsrDevice>();
    device->NameFriendly = TrimPortName(entry.Port);
    device->NameDeviceDos = device->NameFriendly;
    device->NamePDO = entry.Value;
    device->Data = entry.Number;
    device->PortName = device->NameDeviceDos;
    if (withInfo) {
      const auto match = FindRecord(records, device->NameDeviceDos);
      if (match != records.end()) {
        TakeRecord(*device, *match);
        records.erase(match);
      } else if (presentOnly && !noRecords) {
        continue;
      }
    }
    list.DeviceInsert(std::move(device), parent);
  }

  if (!withInfo) return;
  std::int32_t nextOther = 4097;
  for (const auto& record : records) {
    if (record.PortName.empty() || StartsWith(record.PortName, "LPT")) continue;
    // A COM port of a present device is in the map; one that is not is an adapter that was
    // plugged in once, whatever the enumeration's own filter let through. Without any map (a
    // port named by the user alone) the records stand for themselves.
    if (presentOnly && !map.empty() && StartsWith(record.PortName, "COM")) continue;
    auto device = std::make_unique<TsrDevice>();
    device->NameFriendly = record.PortName;
    device->NameDeviceDos = record.PortName;
    for (const auto& entry : map)
      if (SameTextAscii(entry.Port, record.PortName)) {
        device->NamePDO = entry.Value;
        break;
      }
    device->Data = StartsWith(record.PortName, "COM") ? ComNumber(record.PortName) : nextOther++;
    TakeRecord(*device, record);
    list.DeviceInsert(std::move(device), parent);
  }
}
