#pragma once
// The FST container reader: header, geometry, hierarchy, time table and value changes of an
// FST waveform file, decoded by our own code (format reference: GTKWave's fstapi.c).
//
// Usage:
//   auto opened = fst::Reader::open_fd(fd);          // reads the blocks and the time table
//   if (!opened.ok()) report(opened.error());       // the reader's error text
//   fst::Reader &r = opened.value();
//   Status s = r.walk_hierarchy([&](const fst::HierarchyEntry &e) { ... });
//   s = r.read_value_changes([&](uint64_t time, uint32_t handle, const fst::Value &v) { ... });
//
// Conventions where the format leaves a reader a choice (those the corpus dumps follow):
//  - The time table is every block's time chain in file order, so a block boundary repeats
//    the previous block's last time. When the first block's chain is empty or begins after
//    the block's start time, that start time is put first in the table.
//  - Each block begins with a frame of all values at its start time. Only the first block's
//    frame is delivered, and only in that same case, as changes at the start time.
//  - Changes after the header's end time are not delivered.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readers/fst/cursor.hpp"
#include "readers/fst/error.hpp"
#include "readers/fst/format.hpp"
#include "util/function_ref.hpp"
#include "util/mapped_file.hpp"
#include "util/result.hpp"

namespace wavesift::fst {

struct Header {
  uint64_t start_time = 0;
  uint64_t end_time = 0;
  uint64_t memory_used_by_writer = 0;
  uint64_t scope_count = 0;
  uint64_t var_count = 0;
  uint64_t max_handle = 0;
  uint64_t value_change_block_count = 0;
  int8_t timescale_exponent = 0;
  std::string version;
  std::string date;
  uint8_t file_type = 0; // 0 Verilog, 1 VHDL, 2 both
  uint64_t time_zero = 0;
};

enum class EntryKind : uint8_t { Scope, UpScope, Var, AttributeBegin, AttributeEnd };

// One hierarchy entry. Views point into the reader's hierarchy buffer and are valid only
// during the callback.
struct HierarchyEntry {
  EntryKind kind = EntryKind::UpScope;
  uint8_t type = 0;      // scope type, variable type or attribute type
  uint8_t subtype = 0;   // variable direction or attribute subtype
  std::string_view name; // scope, variable or attribute name
  std::string_view component;
  uint32_t length = 0; // variable bit length; (stored - 2) / 3 for type 18 (port)
  uint32_t handle = 0; // variable handle (the aliased handle for an alias)
  bool is_alias = false;
  uint64_t arg = 0; // attribute argument
};

// One delivered value: a real, or bytes (one character per bit, most significant first; the
// text itself for variable-length signals). Bytes are valid only during the callback.
struct Value {
  // Position of the change's time step in time_table(), so that callers need not search
  // for the time.
  size_t step = 0;
  bool is_real = false;
  double real = 0;
  const uint8_t *data = nullptr;
  size_t size = 0;
  std::string_view bytes() const { return {reinterpret_cast<const char *>(data), size}; }
};

using HierarchyFn = FunctionRef<void(const HierarchyEntry &)>;
using ChangeFn = FunctionRef<void(uint64_t time, uint32_t handle, const Value &value)>;

class Reader {
public:
  // Reads the file behind fd (which stays the caller's to close).
  static Result<Reader> open_fd(int fd);
  // Reads an FST image held in memory (copied).
  static Result<Reader> open_bytes(Bytes data);

  const Header &header() const { return header_; }
  // Times of the value-change steps, ascending, in the file's time unit.
  const std::optional<std::vector<uint64_t>> &time_table() const { return time_table_; }
  std::optional<std::vector<uint64_t>> take_time_table() { return std::move(time_table_); }
  // Number of signal handles (1 .. signal_count()).
  size_t signal_count() const { return lengths_.size(); }

  // Calls `fn` for every hierarchy entry in file order.
  Status walk_hierarchy(HierarchyFn fn) const;
  // Calls `fn` for every value change of every signal over the whole time range. Changes of
  // one signal arrive in time order; signals are delivered one after another within a block.
  Status read_value_changes(ChangeFn fn) const;

private:
  struct Block {
    uint64_t offset = 0; // of the section length field
    uint64_t length = 0; // section length
    uint64_t start = 0, end = 0;
    uint64_t time_bytes = 0;                 // compressed length of the time section
    size_t table_begin = 0, table_count = 0; // its chain inside time_table_
    BlockType type = BlockType::ValueChanges;
  };
  struct Scratch;

  Reader() = default;
  Status unwrap();
  Status scan_blocks();
  Status read_header(Cursor &c);
  Status read_geometry(Cursor &c);
  Status read_blackout(Cursor &c);
  Status read_block_info(Cursor &c, BlockType type);
  Status read_time_chain(uint64_t offset, uint64_t length, std::vector<uint64_t> &chain,
                         uint64_t &time_bytes) const;
  Status hierarchy_bytes(std::vector<uint8_t> &out) const;
  Status read_block(const Block &b, bool first, ChangeFn fn, Scratch &s) const;
  Status walk_chain(Bytes chain, uint64_t index, const Block &b, size_t limit, ChangeFn fn,
                    Scratch &s) const;
  Status deliver_frame(Bytes frame, uint64_t frame_handles, uint64_t time, ChangeFn fn,
                       Scratch &s) const;
  double to_double(const uint8_t *p) const;

  MappedFile file_;
  std::vector<uint8_t> owned_;
  Bytes data_;

  Header header_;
  bool have_header_ = false;
  bool incomplete_header_ = false;
  bool big_endian_doubles_ = false;
  std::vector<uint32_t> lengths_; // per handle - 1: bits (8 for reals, 0 variable-length)
  std::vector<uint8_t> is_real_;
  bool have_geometry_ = false;
  std::vector<Block> blocks_;
  BlockType hierarchy_type_ = BlockType::Hierarchy;
  uint64_t hierarchy_offset_ = 0;
  bool have_hierarchy_ = false;
  std::optional<std::vector<uint64_t>> time_table_;
};

} // namespace wavesift::fst
