#pragma once
// Constants of the FST container format (GTKWave's fstapi.h names them FST_BL_*, FST_ST_*, ...).
#include <cstddef>
#include <cstdint>

namespace wavesift::fst {

enum class BlockType : uint8_t {
  Header = 0,
  ValueChanges = 1, // FST_BL_VCDATA
  Blackout = 2,
  Geometry = 3,
  Hierarchy = 4,         // gzip
  ValueChangesAlias = 5, // FST_BL_VCDATA_DYN_ALIAS
  HierarchyLz4 = 6,
  HierarchyLz4Duo = 7,    // LZ4 applied twice
  ValueChangesAlias2 = 8, // FST_BL_VCDATA_DYN_ALIAS2
  GzipWrapper = 254,      // the whole file, gzip-compressed
  Skip = 255,             // a block still being written
};

// Hierarchy entry tags besides variable types 0..29.
inline constexpr uint8_t kTagAttributeBegin = 252;
inline constexpr uint8_t kTagAttributeEnd = 253;
inline constexpr uint8_t kTagScope = 254;
inline constexpr uint8_t kTagUpScope = 255;

inline constexpr uint8_t kMaxVarType = 29;
inline constexpr uint8_t kVarTypePort = 18; // stored length is 3 * bits + 2
inline constexpr uint8_t kMaxScopeType = 22;
inline constexpr uint8_t kMaxDirection = 5;
inline constexpr uint8_t kMaxFileType = 2;

enum class AttributeType : uint8_t { Misc = 0, Array = 1, Enum = 2, Pack = 3 };
inline constexpr uint8_t kMaxAttributeType = 3;

enum class MiscType : uint8_t {
  Comment = 0,
  EnvVar = 1,
  SupVar = 2, // VHDL type information
  PathName = 3,
  SourceStem = 4,
  SourceInstantiationStem = 5,
  ValueList = 6,
  EnumTable = 7,
  Unknown = 8,
};
inline constexpr uint8_t kMaxMiscType = 8;
inline constexpr uint8_t kMaxVhdlVarType = 5;
inline constexpr uint8_t kMaxVhdlDataType = 16;
inline constexpr unsigned kSupVarDataTypeBits = 10;

// Longest zero-terminated names the reader accepts.
inline constexpr size_t kMaxNameSize = 65536;
inline constexpr size_t kMaxAttributeSize = 65536 + 4096;

// Header block field sizes (the date field is 119 bytes, followed by the file type and
// time zero, in what block_format.txt shows as a 128-byte date).
inline constexpr size_t kVersionSize = 128;
inline constexpr size_t kDateSize = 119;

// Size of the wrapper block's own fields: type, section length, uncompressed length.
inline constexpr size_t kWrapperHeaderSize = 17;

} // namespace wavesift::fst
