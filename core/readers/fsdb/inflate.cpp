#include "readers/fsdb/inflate.hpp"

#include <algorithm>
#include <climits>
#include <cstring>
#include <zlib.h>

namespace wavesift::fsdb {
namespace {

// zlib counts in 32-bit units; longer inputs are offered only up to that size. No bounded
// inflate can need more, since 4 GiB of input always yields more than 4 MiB of output or an
// error before it ends.
uInt clamp_len(size_t n) {
  return static_cast<uInt>(std::min<size_t>(n, UINT_MAX));
}

} // namespace

struct Inflater::State {
  z_stream z{};
  bool ready = false;
};

Inflater::Inflater() : state_(std::make_unique<State>()) {
  state_->ready = inflateInit(&state_->z) == Z_OK;
}

Inflater::~Inflater() {
  if (state_->ready) inflateEnd(&state_->z);
}

OneShot Inflater::inflate_once(std::span<const uint8_t> in, size_t limit) {
  OneShot r;
  if (!state_->ready || inflateReset(&state_->z) != Z_OK) return r;
  if (out_size_ < limit) {
    out_.reset(new uint8_t[limit]); // left uninitialised: only produced bytes are read
    out_size_ = limit;
  }
  z_stream &z = state_->z;
  z.next_in = const_cast<Bytef *>(in.data());
  z.avail_in = clamp_len(in.size());
  z.next_out = out_.get();
  z.avail_out = static_cast<uInt>(limit);
  const int rc = inflate(&z, Z_FINISH);
  r.consumed = static_cast<size_t>(z.total_in);
  r.produced = static_cast<size_t>(z.total_out);
  switch (rc) {
  case Z_STREAM_END:
    r.status = InflateStatus::Done;
    break;
  case Z_OK:
    r.status = InflateStatus::Progress;
    break;
  case Z_BUF_ERROR:
    r.status = InflateStatus::BufferError;
    break;
  default:
    r.status = InflateStatus::Error;
    break;
  }
  return r;
}

std::optional<Inflated> Inflater::try_decompress(std::span<const uint8_t> in) {
  if (in.size() < 2) return std::nullopt;
  OneShot r = inflate_once(in, kFirstInflateLimit);
  if (r.status == InflateStatus::Error) return std::nullopt;
  if (r.status == InflateStatus::BufferError) {
    r = inflate_once(in, kSecondInflateLimit);
    if (r.status == InflateStatus::Error) return std::nullopt;
  }
  if (r.produced == 0) return std::nullopt;
  Inflated result;
  result.bytes.assign(out_.get(), out_.get() + r.produced);
  result.consumed = r.consumed;
  return result;
}

std::optional<Inflated> try_zlib_decompress(std::span<const uint8_t> in) {
  Inflater inflater;
  return inflater.try_decompress(in);
}

bool inflate_stream(std::span<const uint8_t> in,
                    const std::function<void(std::span<const uint8_t>)> &sink) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  constexpr size_t kChunk = 64 * 1024;
  auto chunk = std::make_unique<uint8_t[]>(kChunk);
  const uint8_t *next = in.data();
  size_t left = in.size();
  bool ok = false;
  for (;;) {
    if (z.avail_in == 0 && left > 0) {
      z.next_in = const_cast<Bytef *>(next);
      z.avail_in = clamp_len(left);
      next += z.avail_in;
      left -= z.avail_in;
    }
    z.next_out = chunk.get();
    z.avail_out = static_cast<uInt>(kChunk);
    const int rc = inflate(&z, Z_NO_FLUSH);
    const size_t produced = kChunk - z.avail_out;
    if (produced > 0) sink(std::span<const uint8_t>(chunk.get(), produced));
    if (rc == Z_STREAM_END) {
      ok = true;
      break;
    }
    // Z_BUF_ERROR with input left over cannot happen (the output was empty); without input it
    // means the stream was cut short.
    if (rc != Z_OK) break;
    if (z.avail_in == 0 && left == 0 && produced < kChunk) break;
  }
  inflateEnd(&z);
  return ok;
}

std::optional<std::vector<uint8_t>> inflate_all(std::span<const uint8_t> in) {
  std::vector<uint8_t> out;
  const bool ok = inflate_stream(
      in, [&](std::span<const uint8_t> c) { out.insert(out.end(), c.begin(), c.end()); });
  if (!ok) return std::nullopt;
  return out;
}

} // namespace wavesift::fsdb
