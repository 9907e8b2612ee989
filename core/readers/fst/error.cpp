#include "readers/fst/error.hpp"

#include "util/utf8.hpp"

namespace wavesift::fst::errors {

Error cstring_too_long(size_t limit, std::string_view so_far) {
  std::string text =
      "failed to read a null terminated string because it exceeds the expected size of " +
      std::to_string(limit) + " bytes.\n";
  append_lossy_utf8(text, so_far);
  return Error{std::move(text)};
}

Error enum_table(std::string_view detail, std::string_view value) {
  std::string text = "failed to parse an enum table string: ";
  text += detail;
  text += '\n';
  text += value;
  return Error{std::move(text)};
}

Error leb128(unsigned bits) {
  return Error{"failed to read leb128 integer, more than the expected " + std::to_string(bits) +
               " bits"};
}

Error parse_int() {
  return Error{"failed to parse an integer"};
}
Error lz4() {
  return Error{"failed to decompress with lz4"};
}
Error zlib() {
  return Error{"failed to decompress with zlib"};
}
Error gzip_header(std::string_view detail) {
  return Error{"failed to parse a gzip header: " + std::string(detail)};
}
Error gzip_body(std::string_view detail) {
  return Error{"failed to decompress gzip stream: " + std::string(detail)};
}
Error utf8() {
  return Error{"failed to decode string"};
}
Error io() {
  return Error{"I/O operation failed"};
}
Error not_finished_compressing() {
  return Error{"The FST file is still being compressed into its final GZIP wrapper."};
}
Error block_type() {
  return Error{"Unexpected block type"};
}
Error file_type() {
  return Error{"Unexpected file type"};
}
Error vhdl_var_type() {
  return Error{"Unexpected vhdl variable type"};
}
Error vhdl_data_type() {
  return Error{"Unexpected vhdl data type"};
}
Error var_type() {
  return Error{"Unexpected variable type"};
}
Error scope_type() {
  return Error{"Unexpected scope type"};
}
Error var_direction() {
  return Error{"Unexpected variable direction"};
}
Error attribute_type() {
  return Error{"Unexpected attribute type"};
}
Error misc_type() {
  return Error{"Unexpected misc attribute type"};
}
Error missing_geometry() {
  return Error{"The FST file is incomplete: geometry block is missing."};
}
Error missing_hierarchy() {
  return Error{"The FST file is incomplete: hierarchy block is missing."};
}

} // namespace wavesift::fst::errors
