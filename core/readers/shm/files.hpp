#pragma once
// Finding the files of an SHM database.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "util/result.hpp"

namespace wavesift::shm {

struct DatabaseFiles {
  std::optional<std::string> dsn;
  std::vector<std::string> trn; // decoded in this order
};

// A directory, a .dsn file (its sibling .trn is used if present), a .trn file (its sibling
// .dsn likewise), or any other path, which is taken as the .dsn file.
Result<DatabaseFiles> resolve_database(const std::string &path);

} // namespace wavesift::shm
