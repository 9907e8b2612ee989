#pragma once
// The two zlib operations the FSDB reader relies on: a bounded one-shot inflate used to probe
// for streams, and a full inflate whose output is handed over chunk by chunk.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace wavesift::fsdb {

inline constexpr size_t kFirstInflateLimit = size_t{1} << 20;  // 1 MiB
inline constexpr size_t kSecondInflateLimit = size_t{4} << 20; // 4 MiB

struct Inflated {
  std::vector<uint8_t> bytes; // never empty
  size_t consumed = 0;        // input bytes the inflater took
};

enum class InflateStatus { Error, Done, Progress, BufferError };

struct OneShot {
  InflateStatus status = InflateStatus::Error;
  size_t consumed = 0;
  size_t produced = 0;
};

// Reuses one zlib state and its output buffers across many attempts, so that probing every
// candidate header in a file costs no allocation per attempt.
class Inflater {
public:
  Inflater();
  ~Inflater();
  Inflater(const Inflater &) = delete;
  Inflater &operator=(const Inflater &) = delete;

  // One inflate call with Z_FINISH of a range that starts with a zlib header into a buffer of
  // `limit` bytes; the output stays readable through output() until the next call.
  OneShot inflate_once(std::span<const uint8_t> in, size_t limit);
  const uint8_t *output() const { return out_.get(); }

  // One attempt to inflate a zlib stream at the start of the range: into 1 MiB, and again into
  // 4 MiB when the first attempt could not progress (output full or input exhausted).
  std::optional<Inflated> try_decompress(std::span<const uint8_t> in);

private:
  struct State;
  std::unique_ptr<State> state_;
  std::unique_ptr<uint8_t[]> out_;
  size_t out_size_ = 0;
};

// try_decompress with a fresh inflater.
std::optional<Inflated> try_zlib_decompress(std::span<const uint8_t> in);

// Inflates a complete zlib stream to its end, passing the output to `sink` in order, chunk by
// chunk. True only when the stream reached its end inside the range; trailing bytes after it
// are ignored.
bool inflate_stream(std::span<const uint8_t> in,
                    const std::function<void(std::span<const uint8_t>)> &sink);

// inflate_stream collected into one buffer; for small streams and tests.
std::optional<std::vector<uint8_t>> inflate_all(std::span<const uint8_t> in);

} // namespace wavesift::fsdb
