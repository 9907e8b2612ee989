#pragma once
// Test helper: reads the corpus's expected dumps (gzip-compressed JSON) and compares a loaded
// TraceData with one. Test-only code: small and strict rather than fast.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <zlib.h>

#include "signal/value.hpp"
#include "trace/records.hpp"

namespace json_dump {

struct Json {
  enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
  bool boolean = false;
  std::string text; // number text or string content
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  const Json *find(std::string_view key) const {
    for (const auto &m : members)
      if (m.first == key) return &m.second;
    return nullptr;
  }
  const Json &at(std::string_view key) const {
    const Json *j = find(key);
    if (!j) throw std::runtime_error("missing key " + std::string(key));
    return *j;
  }
  uint64_t u64() const { return std::stoull(text); }
  double real() const { return std::strtod(text.c_str(), nullptr); }
};

class Parser {
public:
  explicit Parser(std::string_view s) : s_(s) {}
  Json parse() {
    Json j = value();
    ws();
    if (i_ != s_.size()) fail("trailing data");
    return j;
  }

private:
  [[noreturn]] void fail(const char *what) {
    throw std::runtime_error(std::string("json: ") + what + " at " + std::to_string(i_));
  }
  void ws() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
      ++i_;
  }
  bool take(char c) {
    ws();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!take(c)) fail("unexpected character");
  }
  void append_utf8(std::string &out, uint32_t cp) {
    if (cp < 0x80)
      out += static_cast<char>(cp);
    else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  uint32_t hex4() {
    if (i_ + 4 > s_.size()) fail("short escape");
    const uint32_t v = std::stoul(std::string(s_.substr(i_, 4)), nullptr, 16);
    i_ += 4;
    return v;
  }
  std::string string() {
    expect('"');
    std::string out;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) fail("bad escape");
      c = s_[i_++];
      switch (c) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'u': {
        uint32_t cp = hex4();
        if (cp >= 0xD800 && cp < 0xDC00 && i_ + 6 <= s_.size() && s_[i_] == '\\' &&
            s_[i_ + 1] == 'u') {
          i_ += 2;
          const uint32_t lo = hex4();
          cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        }
        append_utf8(out, cp);
        break;
      }
      default:
        out += c;
      }
    }
    if (i_ >= s_.size()) fail("unterminated string");
    ++i_;
    return out;
  }
  Json value() {
    ws();
    if (i_ >= s_.size()) fail("end of input");
    Json j;
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      j.type = Json::Type::Object;
      if (take('}')) return j;
      do {
        ws();
        std::string key = string();
        expect(':');
        j.members.emplace_back(std::move(key), value());
      } while (take(','));
      expect('}');
    } else if (c == '[') {
      ++i_;
      j.type = Json::Type::Array;
      if (take(']')) return j;
      do
        j.items.push_back(value());
      while (take(','));
      expect(']');
    } else if (c == '"') {
      j.type = Json::Type::String;
      j.text = string();
    } else if (s_.substr(i_, 4) == "null") {
      i_ += 4;
    } else if (s_.substr(i_, 4) == "true") {
      i_ += 4;
      j.type = Json::Type::Bool;
      j.boolean = true;
    } else if (s_.substr(i_, 5) == "false") {
      i_ += 5;
      j.type = Json::Type::Bool;
    } else {
      const size_t b = i_;
      while (i_ < s_.size() &&
             std::string_view("+-0123456789.eE").find(s_[i_]) != std::string_view::npos)
        ++i_;
      if (b == i_) fail("bad value");
      j.type = Json::Type::Number;
      j.text = std::string(s_.substr(b, i_ - b));
    }
    return j;
  }

  std::string_view s_;
  size_t i_ = 0;
};

inline std::string read_gzip(const std::string &path) {
  gzFile f = gzopen(path.c_str(), "rb");
  if (!f) throw std::runtime_error("cannot open " + path);
  std::string out;
  char buf[1 << 16];
  int n;
  while ((n = gzread(f, buf, sizeof buf)) > 0)
    out.append(buf, n);
  gzclose(f);
  return out;
}

inline Json load(const std::string &path) {
  return Parser(read_gzip(path)).parse();
}

// The expected value a dump entry encodes.
inline wavesift::SignalValue expected_value(const Json &j) {
  using wavesift::SignalValue;
  if (j.type == Json::Type::Null) return SignalValue();
  const auto &[kind, v] = j.members.at(0);
  if (kind == "int") return SignalValue::of_int(v.u64());
  if (kind == "logic") {
    wavesift::Bits bits;
    for (char c : v.text)
      bits.push_back(wavesift::logic_bit_from_char(c));
    return SignalValue::of_logic(std::move(bits));
  }
  if (kind == "real") {
    if (v.type == Json::Type::String) {
      if (v.text == "nan") return SignalValue::of_real(NAN);
      return SignalValue::of_real(v.text == "inf" ? INFINITY : -INFINITY);
    }
    return SignalValue::of_real(v.real());
  }
  if (kind == "text") return SignalValue::of_text(v.text);
  if (kind == "wide") {
    wavesift::Words w;
    for (const Json &x : v.items)
      w.push_back(x.u64());
    return SignalValue::of_wide(std::move(w));
  }
  throw std::runtime_error("unknown value kind " + kind);
}

// Equal by the value rule, except that reals may differ by a relative ~2e-16 and NaN matches NaN.
inline bool matches(const wavesift::SignalValue &got, const wavesift::SignalValue &want) {
  using wavesift::Tag;
  if (got.tag() == Tag::Real && want.tag() == Tag::Real) {
    const double a = got.as_real(), b = want.as_real();
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    if (a == b) return true;
    return std::fabs(a - b) <= 4e-16 * std::max(std::fabs(a), std::fabs(b));
  }
  return got == want;
}

inline std::string describe(const wavesift::SignalValue &v) {
  using wavesift::Tag;
  std::ostringstream o;
  switch (v.tag()) {
  case Tag::Int:
    o << "Int " << v.as_int();
    break;
  case Tag::Wide:
    o << "Wide[" << v.as_wide().size() << "]";
    break;
  case Tag::Logic:
    o << "Logic ";
    for (auto b : v.as_logic())
      o << "01xz"[static_cast<int>(b)];
    break;
  case Tag::Real:
    o.precision(17);
    o << "Real " << v.as_real();
    break;
  case Tag::Text:
    o << "Text \"" << v.as_text() << "\"";
    break;
  case Tag::NoValue:
    o << "NoValue";
    break;
  }
  return o.str();
}

} // namespace json_dump

namespace wavesift {
// Readable values in test failure messages.
inline void PrintTo(const SignalValue &v, std::ostream *os) {
  *os << json_dump::describe(v);
}
} // namespace wavesift
