#include "platform/files/aside_name.h"

#include <cstdio>
#include <string>
#include <system_error>

#include "base/datetime.h"

namespace fs = std::filesystem;

fs::path DamagedAsideName(const fs::path& file) {
  const TDateParts p = DecodeDateTime(Now());
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, ".damaged-%04d%02d%02d-%02d%02d%02d", p.Year, p.Month, p.Day,
                p.Hour, p.Minute, p.Second);
  fs::path aside = file;
  aside += stamp;
  std::error_code ec;
  // A link standing there is taken as taken: it is never followed.
  for (int n = 2; fs::exists(fs::symlink_status(aside, ec)); ++n) {
    aside = file;
    aside += std::string(stamp) + "-" + std::to_string(n);
  }
  return aside;
}
