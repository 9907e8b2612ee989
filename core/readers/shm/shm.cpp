#include "readers/shm/shm.hpp"

#include "readers/shm/dsn.hpp"
#include "readers/shm/files.hpp"
#include "readers/shm/trn.hpp"
#include "util/read_file.hpp"

namespace wavesift::shm {

Result<TraceData> from_file(const std::string &path) {
  Result<DatabaseFiles> files = resolve_database(path);
  if (!files.ok()) return Error{files.error()};

  TraceData record;
  if (const auto &dsn_path = files.value().dsn) {
    Result<std::vector<uint8_t>> bytes = read_file_bytes(*dsn_path);
    if (!bytes.ok()) return Error{"DSN: " + bytes.error()};
    Result<Design> design = parse_dsn(bytes.value());
    if (!design.ok()) return Error{design.error()};
    record.scopes = std::move(design.value().scopes);
    record.signal_names = std::move(design.value().signal_names);
    for (SignalId id = 0; id < record.signal_names.size(); ++id) {
      record.name_to_id.emplace(record.signal_names[id], id);
      record.widths.emplace(record.signal_names[id], 1);
    }
  }

  const size_t names = record.signal_names.size();
  std::vector<TrnFile> decoded;
  for (const std::string &trn : files.value().trn) {
    // An unreadable or unrecognised transition file is skipped, not reported.
    Result<std::vector<uint8_t>> bytes = read_file_bytes(trn);
    if (!bytes.ok()) continue;
    if (auto file = decode_trn(bytes.value(), names)) decoded.push_back(std::move(*file));
  }
  write_transitions(decoded, names, record);
  return record;
}

} // namespace wavesift::shm
