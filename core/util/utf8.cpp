#include "util/utf8.hpp"

#include <cstdint>

namespace wavesift::fst {

void append_lossy_utf8(std::string &out, std::string_view bytes) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  const auto *s = reinterpret_cast<const uint8_t *>(bytes.data());
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    const uint8_t b = s[i];
    if (b < 0x80) {
      size_t j = i + 1;
      while (j < n && s[j] < 0x80)
        ++j;
      out.append(bytes.data() + i, j - i);
      i = j;
      continue;
    }
    // Lead byte: number of continuation bytes and the allowed range of the first one
    // (Unicode Table 3-7, well-formed UTF-8 byte sequences).
    size_t need;
    uint8_t lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF)
      need = 1;
    else if (b == 0xE0)
      need = 2, lo = 0xA0;
    else if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF)
      need = 2;
    else if (b == 0xED)
      need = 2, hi = 0x9F;
    else if (b == 0xF0)
      need = 3, lo = 0x90;
    else if (b >= 0xF1 && b <= 0xF3)
      need = 3;
    else if (b == 0xF4)
      need = 3, hi = 0x8F;
    else {
      out += kReplacement;
      ++i;
      continue;
    }
    size_t got = 0;
    for (size_t k = 1; k <= need; ++k) {
      if (i + k >= n) break;
      const uint8_t c = s[i + k];
      const bool fits = k == 1 ? (c >= lo && c <= hi) : (c >= 0x80 && c <= 0xBF);
      if (!fits) break;
      ++got;
    }
    if (got == need) {
      out.append(bytes.data() + i, need + 1);
    } else {
      out += kReplacement;
    }
    i += got + 1;
  }
}

} // namespace wavesift::fst
