#pragma once
// The compressions FST uses: zlib streams (geometry, time tables, frames, value changes),
// gzip (hierarchy, whole-file wrapper), LZ4 blocks (hierarchy, value changes) and FastLZ.
//
// Output buffers grow with the data actually produced, never to a size merely claimed by a
// length field, so a corrupt length cannot cause a huge allocation.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "readers/fst/cursor.hpp"
#include "readers/fst/error.hpp"

namespace wavesift::fst {

// Inflates a zlib stream that must produce exactly `expected` bytes (else the zlib error).
Status inflate_zlib(Bytes in, uint64_t expected, std::vector<uint8_t> &out);

// A length-prefixed block that is stored raw when both lengths are equal, else zlib-compressed
// (geometry, time tables, frames).
Status read_maybe_zlib(Bytes in, uint64_t uncompressed, std::vector<uint8_t> &out);

// Checks the 10-byte gzip member header at the cursor and moves past it.
Status read_gzip_header(Cursor &in);

// Inflates raw deflate data into exactly `expected` bytes (else the zlib error).
Status inflate_raw(Bytes in, uint64_t expected, std::vector<uint8_t> &out);

// Decompresses an LZ4 block into exactly `expected` bytes (else the lz4 error).
Status lz4_block(Bytes in, uint64_t expected, std::vector<uint8_t> &out);

// Inflates the raw deflate body of the whole-file gzip wrapper, keeping at most `limit` bytes.
// Ends early, without error, where the stream ends.
Status inflate_wrapper(Bytes in, uint64_t limit, std::vector<uint8_t> &out);

} // namespace wavesift::fst
