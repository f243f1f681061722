#include "datetime.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace {

constexpr std::int64_t kMsPerDay = 24LL * 60 * 60 * 1000;
// std::chrono::sys_days counts from 1970-01-01; the program's day 0 is 1899-12-30.
constexpr int kEpochShift = 25569;

}  // namespace

bool IsValidDate(int year, int month, int day) {
  using namespace std::chrono;
  return year >= 1 && year <= 9999 &&
         year_month_day{std::chrono::year{year}, std::chrono::month(static_cast<unsigned>(month)),
                        std::chrono::day(static_cast<unsigned>(day))}
             .ok() &&
         month >= 1 && day >= 1;
}

std::optional<TDateTime> TryEncodeDate(int year, int month, int day) {
  using namespace std::chrono;
  if (!IsValidDate(year, month, day)) return std::nullopt;
  const sys_days d =
      year_month_day{std::chrono::year{year}, std::chrono::month(static_cast<unsigned>(month)),
                     std::chrono::day(static_cast<unsigned>(day))};
  return TDateTime{static_cast<double>(d.time_since_epoch().count() + kEpochShift)};
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  return TDateTime{static_cast<double>(ms) / kMsPerDay};
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond) {
  const auto date = TryEncodeDate(year, month, day);
  return TDateTime{(date ? date->Value : 0.0) +
                   EncodeTime(hour, minute, second, millisecond).Value};
}

TDateParts DecodeDateTime(TDateTime value) {
  using namespace std::chrono;
  // Round to the millisecond first so that 0.99999999 of a day does not read as 23:59:59.999...
  const auto total = static_cast<std::int64_t>(std::llround(value.Value * kMsPerDay));
  std::int64_t days = total / kMsPerDay;
  std::int64_t ms = total % kMsPerDay;
  if (ms < 0) {
    ms += kMsPerDay;
    --days;
  }
  const year_month_day ymd{sys_days{std::chrono::days{days - kEpochShift}}};
  TDateParts p;
  p.Year = static_cast<int>(ymd.year());
  p.Month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  p.Day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  p.Hour = static_cast<int>(ms / 3600000);
  p.Minute = static_cast<int>(ms / 60000 % 60);
  p.Second = static_cast<int>(ms / 1000 % 60);
  p.Millisecond = static_cast<int>(ms % 1000);
  return p;
}

TDateTime Now() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  // Only the main thread asks for the time, so the shared buffer of localtime is safe here.
  const std::tm* tm = std::localtime(&t);
  const int ms =
      static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return EncodeDateTime(tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min,
                        tm->tm_sec, ms);
}
