#include "readers/fst/codecs.hpp"

#include <algorithm>
#include <cstdio>
#include <lz4.h>
#include <string>
#include <zlib.h>

namespace wavesift::fst {
namespace {

// zlib cannot expand data by more than about 1032:1.
constexpr uint64_t kDeflateRatio = 1040;
constexpr size_t kChunk = 1 << 16;

uInt clamp_uint(uint64_t n) {
  return static_cast<uInt>(std::min<uint64_t>(n, 1u << 30));
}

// Inflates all of `in` with an initialised stream into `out`, growing it up to `limit` bytes.
// Returns the last zlib code (Z_STREAM_END when the stream ended).
int inflate_into(z_stream &zs, Bytes in, uint64_t limit, std::vector<uint8_t> &out) {
  out.clear();
  zs.next_in = const_cast<Bytef *>(in.data());
  uint64_t in_left = in.size();
  int rc = Z_OK;
  for (;;) {
    if (out.size() == limit) {
      // Full: the stream must end here without producing more.
      uint8_t probe;
      zs.next_out = &probe;
      zs.avail_out = 1;
      zs.avail_in = clamp_uint(in_left);
      const uInt before = zs.avail_in;
      rc = inflate(&zs, Z_NO_FLUSH);
      in_left -= before - zs.avail_in;
      if (zs.avail_out == 0) return Z_BUF_ERROR; // more output than allowed
      return rc;
    }
    const size_t have = out.size();
    const uint64_t want = std::min<uint64_t>(limit - have, std::max<uint64_t>(have, kChunk));
    out.resize(have + want);
    zs.next_out = out.data() + have;
    zs.avail_out = static_cast<uInt>(want);
    zs.avail_in = clamp_uint(in_left);
    const uInt before = zs.avail_in;
    rc = inflate(&zs, Z_NO_FLUSH);
    in_left -= before - zs.avail_in;
    out.resize(have + (want - zs.avail_out));
    if (rc == Z_STREAM_END) return rc;
    if (rc != Z_OK) return rc;
    if (zs.avail_out != 0 && in_left == 0) return Z_BUF_ERROR; // input ran out
  }
}

Status inflate_exact(Bytes in, uint64_t expected, std::vector<uint8_t> &out, int window_bits) {
  if (expected > in.size() * kDeflateRatio + 64) return errors::zlib();
  z_stream zs{};
  if (inflateInit2(&zs, window_bits) != Z_OK) return errors::zlib();
  const int rc = inflate_into(zs, in, expected, out);
  inflateEnd(&zs);
  if (rc != Z_STREAM_END || out.size() != expected) return errors::zlib();
  return {};
}

std::string hex_byte(uint8_t b) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%x", b);
  return buf;
}

} // namespace

Status inflate_zlib(Bytes in, uint64_t expected, std::vector<uint8_t> &out) {
  return inflate_exact(in, expected, out, 15);
}

Status inflate_raw(Bytes in, uint64_t expected, std::vector<uint8_t> &out) {
  return inflate_exact(in, expected, out, -15);
}

Status read_maybe_zlib(Bytes in, uint64_t uncompressed, std::vector<uint8_t> &out) {
  if (uncompressed == in.size()) {
    out.assign(in.begin(), in.end());
    return {};
  }
  return inflate_zlib(in, uncompressed, out);
}

Status read_gzip_header(Cursor &in) {
  Bytes h;
  if (!in.bytes(10, h)) return in.error();
  if (h[0] != 0x1f || h[1] != 0x8b) {
    std::string got = "[";
    for (size_t k = 0; k < h.size(); ++k)
      got += (k ? ", " : "") + hex_byte(h[k]);
    return errors::gzip_header("expected magic bytes (0x1f, 0x8b) got " + got + "]");
  }
  if (h[2] != 8)
    return errors::gzip_header("expected deflate compression (8) got " + hex_byte(h[2]));
  if (h[3] != 0)
    return errors::gzip_header("TODO currently extra flags are not supported " +
                               std::to_string(h[3]));
  return {};
}

Status lz4_block(Bytes in, uint64_t expected, std::vector<uint8_t> &out) {
  // An LZ4 block expands at most 255:1; larger claims cannot be honest.
  if (expected > in.size() * 255 + 64 || in.size() > INT32_MAX || expected > INT32_MAX)
    return errors::lz4();
  out.resize(expected);
  const int n = LZ4_decompress_safe(reinterpret_cast<const char *>(in.data()),
                                    reinterpret_cast<char *>(out.data()),
                                    static_cast<int>(in.size()), static_cast<int>(expected));
  if (n < 0 || static_cast<uint64_t>(n) != expected) return errors::lz4();
  return {};
}

Status inflate_wrapper(Bytes in, uint64_t limit, std::vector<uint8_t> &out) {
  z_stream zs{};
  if (inflateInit2(&zs, -15) != Z_OK) return errors::gzip_body("Mem");
  out.clear();
  zs.next_in = const_cast<Bytef *>(in.data());
  uint64_t in_left = in.size();
  int rc = Z_OK;
  while (out.size() < limit) {
    const size_t have = out.size();
    const uint64_t want = std::min<uint64_t>(limit - have, std::max<uint64_t>(have, kChunk));
    out.resize(have + want);
    zs.next_out = out.data() + have;
    zs.avail_out = static_cast<uInt>(want);
    zs.avail_in = clamp_uint(in_left);
    const uInt before = zs.avail_in;
    rc = inflate(&zs, Z_NO_FLUSH);
    in_left -= before - zs.avail_in;
    out.resize(have + (want - zs.avail_out));
    if (rc == Z_STREAM_END) break;
    if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT) {
      inflateEnd(&zs);
      return errors::gzip_body("Data");
    }
    if (rc != Z_OK || (zs.avail_out != 0 && in_left == 0)) {
      inflateEnd(&zs);
      return errors::gzip_body("Buf");
    }
  }
  inflateEnd(&zs);
  return {};
}

} // namespace wavesift::fst
