#include "readers/fst/fastlz.hpp"

namespace wavesift::fst {
namespace {

// Level 2 codes long distances as 8191 plus a 16-bit offset.
constexpr size_t kLevel2Far = 8191;

} // namespace

// The stream is a sequence of instructions, each opened by a control byte:
//  - below 32: a literal run of (ctrl + 1) bytes follows;
//  - otherwise a match: length (ctrl >> 5) + 2 (7 means "more length bytes follow"), distance
//    ((ctrl & 31) << 8) + next byte + 1 back from the end of the output.
// The first control byte also carries the level in its top three bits.
bool fastlz_decompress(Bytes in, size_t max_out, std::vector<uint8_t> &out) {
  out.clear();
  const size_t n = in.size();
  if (n == 0) return false;
  const unsigned level = (in[0] >> 5) + 1;
  if (level != 1 && level != 2) return false;
  // Every input byte yields at most 255 output bytes (level 2 length chains).
  if (max_out > n * 256 + 512) max_out = n * 256 + 512;
  out.resize(max_out);
  uint8_t *o = out.data();
  size_t ip = 0, op = 0;
  uint32_t ctrl = in[ip++] & 31;
  for (;;) {
    if (ctrl >= 32) {
      size_t len = (ctrl >> 5) - 1;
      size_t ofs = static_cast<size_t>(ctrl & 31) << 8;
      if (len == 6) {
        if (level == 1) {
          if (ip >= n) return false;
          len += in[ip++];
        } else {
          uint8_t code;
          do {
            if (ip >= n) return false;
            code = in[ip++];
            len += code;
          } while (code == 255);
        }
      }
      if (ip >= n) return false;
      const uint8_t code = in[ip++];
      // Distance back from op to the first byte copied.
      size_t back = ofs + code + 1;
      if (level == 2 && code == 255 && ofs == (31u << 8)) {
        if (ip + 2 > n) return false;
        const size_t far = (static_cast<size_t>(in[ip]) << 8) | in[ip + 1];
        ip += 2;
        back = far + kLevel2Far + 1;
      }
      len += 3;
      if (back > op || len > max_out - op) return false;
      const uint8_t *ref = o + op - back;
      for (size_t k = 0; k < len; ++k)
        o[op + k] = ref[k]; // may overlap: byte by byte
      op += len;
      if (ip >= n) break;
      ctrl = in[ip++];
    } else {
      const size_t len = ctrl + 1;
      if (len > max_out - op || len > n - ip) return false;
      for (size_t k = 0; k < len; ++k)
        o[op + k] = in[ip + k];
      op += len;
      ip += len;
      if (ip >= n) break;
      ctrl = in[ip++];
    }
  }
  out.resize(op);
  return true;
}

} // namespace wavesift::fst
