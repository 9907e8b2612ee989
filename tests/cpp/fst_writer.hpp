#pragma once
// Test helper: writes FST images block by block, so tests can build exactly the file shape
// (and the exact corruption) they need. Values are given as the characters a reader delivers.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <lz4.h>
#include <optional>
#include <string>
#include <vector>
#include <zlib.h>

namespace fst_writer {

using Bytes = std::vector<uint8_t>;

inline void put_u64(Bytes &b, uint64_t v) {
  for (int k = 7; k >= 0; --k)
    b.push_back(static_cast<uint8_t>(v >> (8 * k)));
}
inline void put_varint(Bytes &b, uint64_t v) {
  while (v >= 0x80) {
    b.push_back(static_cast<uint8_t>(v) | 0x80);
    v >>= 7;
  }
  b.push_back(static_cast<uint8_t>(v));
}
inline void put_svarint(Bytes &b, int64_t v) {
  for (;;) {
    const uint8_t low = v & 0x7F;
    v >>= 7;
    const bool done = (v == 0 && !(low & 0x40)) || (v == -1 && (low & 0x40));
    b.push_back(done ? low : low | 0x80);
    if (done) return;
  }
}
inline void put_str(Bytes &b, const std::string &s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
}
inline void append(Bytes &b, const Bytes &more) {
  b.insert(b.end(), more.begin(), more.end());
}

inline Bytes zlib(const Bytes &in) {
  uLongf n = compressBound(in.size());
  Bytes out(n);
  compress2(out.data(), &n, in.data(), in.size(), 9);
  out.resize(n);
  return out;
}
inline Bytes gzip(const Bytes &in) {
  z_stream zs{};
  deflateInit2(&zs, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&zs, in.size()) + 32);
  zs.next_in = const_cast<Bytef *>(in.data());
  zs.avail_in = in.size();
  zs.next_out = out.data();
  zs.avail_out = out.size();
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}
inline Bytes lz4(const Bytes &in) {
  Bytes out(LZ4_compressBound(static_cast<int>(in.size())) + 1);
  const int n = LZ4_compress_default(reinterpret_cast<const char *>(in.data()),
                                     reinterpret_cast<char *>(out.data()),
                                     static_cast<int>(in.size()), static_cast<int>(out.size()));
  out.resize(n);
  return out;
}
// FastLZ level 1 with literal runs only (a valid stream, if not a small one).
inline Bytes fastlz_literals(const Bytes &in) {
  Bytes out;
  for (size_t i = 0; i < in.size(); i += 32) {
    const size_t n = std::min<size_t>(32, in.size() - i);
    out.push_back(static_cast<uint8_t>(n - 1));
    out.insert(out.end(), in.begin() + i, in.begin() + i + n);
  }
  return out;
}

// ---- hierarchy ----
struct Hierarchy {
  Bytes bytes;
  uint32_t handles = 0;

  Hierarchy &scope(const std::string &name, uint8_t type = 0, const std::string &comp = "") {
    bytes.push_back(254);
    bytes.push_back(type);
    put_str(bytes, name);
    put_str(bytes, comp);
    return *this;
  }
  Hierarchy &upscope() {
    bytes.push_back(255);
    return *this;
  }
  // Returns the variable's handle (a new one unless `alias` is given).
  uint32_t var(const std::string &name, uint32_t length, uint8_t type = 16, uint32_t alias = 0,
               uint8_t direction = 0) {
    bytes.push_back(type);
    bytes.push_back(direction);
    put_str(bytes, name);
    put_varint(bytes, length);
    put_varint(bytes, alias);
    return alias ? alias : ++handles;
  }
  Hierarchy &attr(uint8_t type, uint8_t subtype, const std::string &name, uint64_t arg) {
    bytes.push_back(252);
    bytes.push_back(type);
    bytes.push_back(subtype);
    put_str(bytes, name);
    put_varint(bytes, arg);
    return *this;
  }
  Hierarchy &attr_end() {
    bytes.push_back(253);
    return *this;
  }
};

// ---- value changes ----
// One record of a signal's chain: the time index (in the block's table) and the value:
// characters for bit vectors, the text for variable-length signals, 8 bytes for reals.
struct Change {
  uint64_t at;
  std::string value;
};
inline std::string real_bytes(double d) {
  std::string s(8, '\0');
  std::memcpy(s.data(), &d, 8);
  return s;
}

enum class Pack { Raw, Zlib, Lz4, FastLz };

struct Block {
  uint8_t type = 1; // 1, 5 or 8
  uint64_t start = 0, end = 0;
  std::vector<uint64_t> times;
  std::string frame;                       // concatenated initial values of all signals
  std::vector<std::vector<Change>> chains; // per handle - 1 (missing: no data)
  std::vector<int64_t> alias_of;           // per handle - 1: index it shares, or -1
  Pack pack = Pack::Zlib;
  bool compress_frame = true;
  bool compress_times = true;
};

struct File {
  uint64_t start = 0, end = 0;
  int8_t timescale = -9;
  uint8_t file_type = 0;
  std::vector<uint32_t> geometry; // per handle: bits; 0 real; 0xFFFFFFFF variable-length
  Hierarchy hierarchy;
  uint8_t hierarchy_type = 4; // 4 gzip, 6 lz4, 7 lz4 twice
  std::vector<Block> blocks;
  bool geometry_compressed = true;
  bool with_header = true, with_geometry = true, with_hierarchy = true;
  std::optional<Bytes> blackout; // raw body after the section length
  bool gzip_wrapped = false;
};

inline uint32_t bits_of(uint32_t geom) {
  return geom == 0 ? 8 : geom == 0xFFFFFFFF ? 0 : geom;
}

inline Bytes encode_chain(const std::vector<Change> &changes, uint32_t geom) {
  Bytes b;
  uint64_t prev = 0;
  const uint32_t len = bits_of(geom);
  for (const Change &c : changes) {
    const uint64_t delta = c.at - prev;
    prev = c.at;
    if (geom == 0) { // real
      put_varint(b, (delta << 1) | 1);
      b.insert(b.end(), c.value.begin(), c.value.end());
    } else if (len == 0) { // variable-length
      put_varint(b, delta << 1);
      put_varint(b, c.value.size());
      b.insert(b.end(), c.value.begin(), c.value.end());
    } else if (len == 1) {
      const char ch = c.value.at(0);
      if (ch == '0' || ch == '1') {
        put_varint(b, (delta << 2) | (static_cast<uint64_t>(ch == '1') << 1));
      } else {
        const std::string codes = "xzhuwl-?";
        put_varint(b, (delta << 4) | (codes.find(ch) << 1) | 1);
      }
    } else if (c.value.find_first_not_of("01") == std::string::npos) {
      put_varint(b, delta << 1); // two-state: packed bits
      Bytes packed((len + 7) / 8, 0);
      for (uint32_t k = 0; k < len; ++k)
        if (c.value.at(k) == '1') packed[k / 8] |= 0x80 >> (k % 8);
      append(b, packed);
    } else {
      put_varint(b, (delta << 1) | 1);
      b.insert(b.end(), c.value.begin(), c.value.end());
    }
  }
  return b;
}

inline Bytes block_bytes(const Block &blk, const std::vector<uint32_t> &geometry) {
  Bytes body; // after the section length
  put_u64(body, blk.start);
  put_u64(body, blk.end);
  put_u64(body, 0);
  const Bytes frame(blk.frame.begin(), blk.frame.end());
  const Bytes frame_packed = blk.compress_frame ? zlib(frame) : frame;
  put_varint(body, frame.size());
  put_varint(body, frame_packed.size());
  put_varint(body, geometry.size());
  append(body, frame_packed);
  put_varint(body, geometry.size());
  const size_t changes_start = body.size();
  body.push_back(blk.pack == Pack::Lz4 ? '4' : blk.pack == Pack::FastLz ? 'F' : 'Z');
  std::vector<int64_t> offsets(geometry.size(), -1);
  for (size_t h = 0; h < blk.chains.size() && h < geometry.size(); ++h) {
    if (blk.chains[h].empty()) continue;
    const Bytes plain = encode_chain(blk.chains[h], geometry[h]);
    offsets[h] = static_cast<int64_t>(body.size() - changes_start);
    switch (blk.pack) {
    case Pack::Raw:
      put_varint(body, 0);
      append(body, plain);
      break;
    case Pack::Zlib:
      put_varint(body, plain.size());
      append(body, zlib(plain));
      break;
    case Pack::Lz4:
      put_varint(body, plain.size());
      append(body, lz4(plain));
      break;
    case Pack::FastLz:
      put_varint(body, plain.size());
      append(body, fastlz_literals(plain));
      break;
    }
  }
  // Index.
  Bytes index;
  int64_t prev = 0;
  uint64_t zeros = 0;
  auto flush_zeros = [&] {
    if (zeros) put_varint(index, zeros << 1);
    zeros = 0;
  };
  for (size_t h = 0; h < geometry.size(); ++h) {
    const int64_t alias = h < blk.alias_of.size() ? blk.alias_of[h] : -1;
    if (alias >= 0) {
      flush_zeros();
      if (blk.type == 8) {
        put_svarint(index, ((-(alias + 1)) * 2) | 1);
      } else {
        put_varint(index, 0);
        put_varint(index, alias + 1);
      }
    } else if (offsets[h] >= 0) {
      flush_zeros();
      const int64_t delta = offsets[h] - prev;
      prev = offsets[h];
      if (blk.type == 8)
        put_svarint(index, (delta << 1) | 1);
      else
        put_varint(index, (static_cast<uint64_t>(delta) << 1) | 1);
    } else {
      ++zeros;
    }
  }
  flush_zeros();
  append(body, index);
  put_u64(body, index.size());
  // Time section.
  Bytes deltas;
  uint64_t last = 0;
  for (uint64_t t : blk.times) {
    put_varint(deltas, t - last);
    last = t;
  }
  Bytes packed = blk.compress_times ? zlib(deltas) : deltas;
  if (blk.compress_times && packed.size() == deltas.size()) packed = deltas; // equal means raw
  append(body, packed);
  put_u64(body, deltas.size());
  put_u64(body, packed.size());
  put_u64(body, blk.times.size());
  Bytes out{blk.type};
  put_u64(out, body.size() + 8);
  append(out, body);
  return out;
}

inline Bytes header_bytes(const File &f) {
  Bytes b{0};
  put_u64(b, 329);
  put_u64(b, f.start);
  put_u64(b, f.end);
  const double e = M_E;
  uint8_t eb[8];
  std::memcpy(eb, &e, 8);
  b.insert(b.end(), eb, eb + 8);
  put_u64(b, 0);
  put_u64(b, 1);
  put_u64(b, f.geometry.size());
  put_u64(b, f.geometry.size());
  put_u64(b, f.blocks.size());
  b.push_back(static_cast<uint8_t>(f.timescale));
  Bytes version(128, 0), date(119, 0);
  const std::string v = "fst_writer test";
  std::memcpy(version.data(), v.data(), v.size());
  append(b, version);
  append(b, date);
  b.push_back(f.file_type);
  put_u64(b, 0);
  return b;
}

inline Bytes geometry_bytes(const File &f) {
  Bytes plain;
  for (uint32_t g : f.geometry)
    put_varint(plain, g);
  Bytes packed = f.geometry_compressed ? zlib(plain) : plain;
  if (packed.size() == plain.size() && f.geometry_compressed) packed = plain;
  Bytes b{3};
  put_u64(b, 24 + packed.size());
  put_u64(b, plain.size());
  put_u64(b, f.geometry.size());
  append(b, packed);
  return b;
}

inline Bytes hierarchy_bytes(const File &f) {
  const Bytes &h = f.hierarchy.bytes;
  Bytes payload;
  if (f.hierarchy_type == 6)
    payload = lz4(h);
  else if (f.hierarchy_type == 7) {
    const Bytes once = lz4(h);
    put_varint(payload, once.size());
    append(payload, lz4(once));
  } else
    payload = gzip(h);
  Bytes b{f.hierarchy_type};
  put_u64(b, 16 + payload.size());
  put_u64(b, h.size());
  append(b, payload);
  return b;
}

inline Bytes build(const File &f) {
  Bytes out;
  if (f.with_header) append(out, header_bytes(f));
  for (const Block &blk : f.blocks)
    append(out, block_bytes(blk, f.geometry));
  if (f.blackout) {
    out.push_back(2);
    put_u64(out, 8 + f.blackout->size());
    append(out, *f.blackout);
  }
  if (f.with_geometry) append(out, geometry_bytes(f));
  if (f.with_hierarchy) append(out, hierarchy_bytes(f));
  if (!f.gzip_wrapped) return out;
  Bytes wrapped{254};
  const Bytes gz = gzip(out);
  put_u64(wrapped, 16 + gz.size());
  put_u64(wrapped, out.size());
  append(wrapped, gz);
  return wrapped;
}

} // namespace fst_writer
