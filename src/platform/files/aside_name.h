// Where a damaged file is kept for a look rather than overwritten or deleted: a free name beside
// it, stamped with the time ("current_user.reg.damaged-20261210-114205", then "-2" and up).
#pragma once

#include <filesystem>

std::filesystem::path DamagedAsideName(const std::filesystem::path& file);
