#pragma once
// Failures of the FST container reader. Each carries the display text that users see inside
// the loader's messages ("FST open: " + text, ...), so the texts are fixed to the character.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "util/result.hpp"

namespace wavesift::fst {

// Outcome of an operation that yields nothing but may fail with a reader error.
class [[nodiscard]] Status {
public:
  Status() = default;
  Status(Error error) : error_(std::move(error)) {}
  bool ok() const { return !error_; }
  const std::string &text() const { return error_->message; }
  Error take_error() { return std::move(*error_); }

private:
  std::optional<Error> error_;
};

namespace errors {

// A zero-terminated string longer than `limit` bytes; `so_far` is what was read (shown lossily).
Error cstring_too_long(size_t limit, std::string_view so_far);
Error enum_table(std::string_view detail, std::string_view value);
Error leb128(unsigned bits);
Error parse_int();
Error lz4();
Error zlib();
Error gzip_header(std::string_view detail);
Error gzip_body(std::string_view detail);
Error utf8();
Error io();
Error not_finished_compressing();
Error block_type();
Error file_type();
Error vhdl_var_type();
Error vhdl_data_type();
Error var_type();
Error scope_type();
Error var_direction();
Error attribute_type();
Error misc_type();
Error missing_geometry();
Error missing_hierarchy();

} // namespace errors
} // namespace wavesift::fst
