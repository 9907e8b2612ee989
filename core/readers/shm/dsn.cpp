#include "readers/shm/dsn.hpp"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "util/byte_order.hpp"
#include "util/text.hpp"

namespace wavesift::shm {
namespace {

constexpr uint32_t kMagic = 0xA19511BF;
constexpr size_t kHeaderSize = 128;
constexpr size_t kMinWalkSize = 140;
constexpr size_t kDefaultWindow = 256;  // payload bytes examined when `next` is unusable
constexpr size_t kNameRefWindow = 64;   // bytes examined at a signal's name reference
constexpr size_t kTagSearchSpan = 1036; // how far past a record a following tag is sought

enum class Kind { Other, Signal, Scope };

Kind kind_of(uint32_t tag) {
  switch (tag) {
  case 0x00090700:
  case 0x00290700:
    return Kind::Signal;
  case 0x00070501:
  case 0x00270501:
  case 0x00070601:
    return Kind::Scope;
  default:
    return Kind::Other;
  }
}

bool is_known_tag(uint32_t tag) {
  switch (tag) {
  case 0x00010102: // META_V1
  case 0x00031102: // META_V2
  case 0x00070501: // SCOPE_DEF
  case 0x00270501: // SCOPE_DEF
  case 0x00070601: // SCOPE_INST
  case 0x000F0400: // SOURCE_FILE
  case 0x00090700: // SIGNAL
  case 0x00290700: // SIGNAL
  case 0x00020C07: // BUS_SIGNAL
  case 0x00100B02: // VAR_TYPE_A
  case 0x00100B04: // VAR_TYPE_T
  case 0x00100B05: // VAR_TYPE_B
  case 0x00120C0B: // VAR_TYPE_V
  case 0x00140B07: // VAR_TYPE_C
    return true;
  default:
    return false;
  }
}

// Tags seen in the wild share a few upper halves; the walk resynchronises on any of them.
bool is_plausible_tag(uint32_t tag) {
  if (is_known_tag(tag)) return true;
  switch (tag >> 16) {
  case 0x0002:
  case 0x0007:
  case 0x0009:
  case 0x000F:
  case 0x0010:
  case 0x0014:
  case 0x0027:
  case 0x0029:
    return true;
  default:
    return false;
  }
}

class Walker {
public:
  explicit Walker(std::span<const uint8_t> data) : d_(data) {}

  Design run() {
    const size_t len = d_.size();
    size_t i = kHeaderSize;
    // Every step sets i past its old value, so the walk ends within len steps.
    for (;;) {
      if (i + 4 > len) break;
      const uint32_t tag = be32(d_, i);
      if (tag == 0) {
        i += 4;
        if (i + 12 > len) break;
        continue;
      }
      const size_t w = i + 12;
      const size_t next = i + 8 <= len ? be32(d_, i + 4) : 0;
      const size_t y = i + 12 <= len ? be32(d_, i + 8) : 0;
      const bool next_ok = i < next && next <= len;
      const size_t from = i < y && y <= len ? std::max(w, y) : w;
      const size_t to = next_ok ? next : std::min(len, i + kDefaultWindow);
      const std::vector<std::string> window = extract_strings(d_, from, to);

      switch (kind_of(tag)) {
      case Kind::Signal:
        signal(window, i, y);
        break;
      case Kind::Scope:
        for (const std::string &s : window)
          if (s.size() >= 2) out_.scopes.push_back(s);
        break;
      case Kind::Other:
        break;
      }

      if (next_ok) {
        i = next;
      } else {
        const size_t limit = std::min(len - 12, i + kTagSearchSpan);
        size_t found = 0;
        for (size_t p = w; p < limit; p += 4) {
          if (is_plausible_tag(be32(d_, p))) {
            found = p;
            break;
          }
        }
        if (found == 0) break;
        i = found;
      }
      if (i + 12 > len) break;
    }
    return std::move(out_);
  }

private:
  // A reference that points back into the file names the signal; otherwise the record's own
  // payload does.
  void signal(const std::vector<std::string> &window, size_t i, size_t y) {
    if (y != 0 && y < i && y < d_.size()) {
      for (const std::string &s : extract_strings(d_, y, std::min(d_.size(), y + kNameRefWindow)))
        if (add_name(s)) return;
      return;
    }
    for (const std::string &s : window)
      add_name(s);
  }

  bool add_name(const std::string &s) {
    if (!is_identifier(s) || !known_.insert(s).second) return false;
    out_.signal_names.push_back(s);
    return true;
  }

  std::span<const uint8_t> d_;
  Design out_;
  std::unordered_set<std::string> known_;
};

} // namespace

std::vector<std::string> extract_strings(std::span<const uint8_t> data, size_t from, size_t to) {
  std::vector<std::string> out;
  const size_t end = std::min(to, data.size());
  for (size_t a = from; a < end;) {
    if (data[a] < 0x20 || data[a] > 0x7E) {
      ++a;
      continue;
    }
    size_t b = a;
    while (b < end && data[b] != 0)
      ++b;
    const std::string_view s(reinterpret_cast<const char *>(data.data() + a), b - a);
    if (text::valid_utf8(s)) out.emplace_back(s);
    a = b + 1;
  }
  return out;
}

bool is_identifier(std::string_view s) {
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (s.empty() || !(letter(s[0]) || s[0] == '_')) return false;
  for (const char c : s) {
    const bool ok = letter(c) || (c >= '0' && c <= '9') || c == '$' || c == '(' || c == ')' ||
                    c == '.' || c == '[' || c == ']' || c == '_';
    if (!ok) return false;
  }
  return true;
}

Result<Design> parse_dsn(std::span<const uint8_t> data) {
  if (data.size() >= kHeaderSize && be32(data, 0) != kMagic) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(be32(data, 0)));
    return Error{std::string("Bad DSN magic: 0x") + hex};
  }
  if (data.size() < kMinWalkSize) return Design{};
  return Walker(data).run();
}

} // namespace wavesift::shm
