#include "readers/shm/files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "util/text.hpp"

namespace wavesift::shm {
namespace fs = std::filesystem;
namespace {

std::string ascii_lower(std::string_view s) {
  std::string out(s);
  for (char &c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool ends_with(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool is_directory(const std::string &path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool path_exists(const fs::path &p) {
  std::error_code ec;
  return fs::exists(p, ec);
}

Result<DatabaseFiles> from_directory(const std::string &path) {
  const Error none{"No .dsn/.trn in " + path};
  DatabaseFiles files;
  std::error_code ec;
  fs::directory_iterator it(path, ec);
  if (ec) return none;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    const std::string name = ascii_lower(it->path().filename().native());
    if (name.size() <= 3) continue;
    // Several .dsn files: the last one listed is used.
    if (ends_with(name, ".dsn"))
      files.dsn = it->path().native();
    else if (ends_with(name, ".trn"))
      files.trn.push_back(it->path().native());
  }
  if (ec) return none;
  if (!files.dsn && files.trn.empty()) return none;
  std::sort(files.trn.begin(), files.trn.end());
  return files;
}

} // namespace

Result<DatabaseFiles> resolve_database(const std::string &path) {
  // A path with a NUL byte is no directory; reading it as the design file then fails.
  if (path.find('\0') == std::string::npos && is_directory(path)) return from_directory(path);

  const fs::path p(path);
  std::string ext = p.extension().native();
  if (!ext.empty()) ext.erase(0, 1); // the leading '.'
  ext = text::valid_utf8(ext) ? ascii_lower(ext) : std::string();

  DatabaseFiles files;
  if (ext == "trn") {
    files.trn.push_back(path);
    const fs::path dsn = fs::path(p).replace_extension("dsn");
    if (path_exists(dsn)) files.dsn = dsn.native();
  } else {
    files.dsn = path;
    if (ext == "dsn") {
      const fs::path trn = fs::path(p).replace_extension("trn");
      if (path_exists(trn)) files.trn.push_back(trn.native());
    }
  }
  return files;
}

} // namespace wavesift::shm
