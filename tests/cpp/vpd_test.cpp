// VPD reader: header checks, the choice of name sections, and the names taken from them.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "readers/vpd/vpd.hpp"

namespace wavesift {
namespace {

using Strings = std::vector<std::string>;
using namespace std::string_literals;

// A VPD image built byte by byte: magic, offset table, and sections written at chosen offsets.
struct VpdImage {
  std::vector<uint8_t> bytes;

  explicit VpdImage(size_t size) : bytes(size, 0) { le32(0, 0x12345678); }

  void le32(size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k)
      bytes[at + k] = uint8_t(v >> (8 * k));
  }
  void slot(size_t j, uint32_t offset) { le32(48 + 4 * j, offset); }
  // Writes text at `at`; embedded "\0" bytes terminate names.
  void put(size_t at, std::string_view text) {
    ASSERT_LE(at + text.size(), bytes.size());
    std::copy(text.begin(), text.end(), bytes.begin() + at);
  }
};

TraceData load(const VpdImage &img) {
  auto r = vpd::from_bytes(img.bytes);
  EXPECT_TRUE(r.ok()) << r.error();
  return r.ok() ? std::move(r.value()) : TraceData{};
}

void expect_empty_trace(const TraceData &t) {
  EXPECT_TRUE(t.signal_names.empty());
  EXPECT_TRUE(t.scopes.empty());
  EXPECT_EQ(t.timestamps, std::vector<uint64_t>{0});
  EXPECT_EQ(t.store.id_bound(), 0u);
}

TEST(VpdHeader, RejectsShortFilesAndWrongMagic) {
  struct Case {
    std::vector<uint8_t> bytes;
    std::string error;
  };
  std::vector<uint8_t> short_file = VpdImage(128).bytes;
  short_file.pop_back();
  std::vector<uint8_t> wrong(128, 0);
  wrong[0] = 1, wrong[1] = 2, wrong[2] = 3, wrong[3] = 4;
  std::vector<uint8_t> big_endian_magic(128, 0);
  big_endian_magic[0] = 0x12, big_endian_magic[1] = 0x34, big_endian_magic[2] = 0x56,
  big_endian_magic[3] = 0x78;
  const Case cases[] = {
      {{}, "VPD file too small"},
      {short_file, "VPD file too small"},
      {wrong, "Not a VPD file (magic=0x04030201)"},
      {std::vector<uint8_t>(128, 0), "Not a VPD file (magic=0x00000000)"},
      {big_endian_magic, "Not a VPD file (magic=0x78563412)"},
      {std::vector<uint8_t>(200, 0xAB), "Not a VPD file (magic=0xABABABAB)"},
  };
  for (const auto &c : cases) {
    const auto r = vpd::from_bytes(c.bytes);
    ASSERT_FALSE(r.ok()) << c.error;
    EXPECT_EQ(r.error(), c.error);
  }
}

TEST(VpdHeader, FileErrorsNameThePath) {
  const std::string missing = "/nonexistent-dir/trace.vpd";
  auto r = vpd::from_file(missing);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), "Failed to read " + missing + ": No such file or directory");

  const std::string dir = ::testing::TempDir();
  r = vpd::from_file(dir);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), "Failed to read " + dir + ": Is a directory");
}

TEST(VpdHeader, MagicAloneLoadsAnEmptyTrace) {
  expect_empty_trace(load(VpdImage(128)));
  // Offsets at 128, at the file length and beyond it point at nothing.
  VpdImage img(300);
  img.slot(0, 128);
  img.slot(1, 300);
  img.slot(2, 0xFFFFFFFF);
  img.put(128, "/FoldedTop/\0top.a\0"s);
  expect_empty_trace(load(img));
}

TEST(VpdFile, ReadsFromDisk) {
  VpdImage img(256);
  img.slot(0, 160);
  img.put(160, "WithMask\0top.cpu.clk\0"s);
  const std::string path = ::testing::TempDir() + "vpd_reads_from_disk.vpd";
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(img.bytes.data()), std::streamsize(img.bytes.size()));
  }
  auto r = vpd::from_file(path);
  std::remove(path.c_str());
  ASSERT_TRUE(r.ok()) << r.error();
  EXPECT_EQ(r.value().signal_names, (Strings{"WithMask", "top.cpu.clk"}));
}

// Which sections are read: a keyword in a head string, or more than three names in the head.
TEST(VpdSections, KeywordOrNameCountInTheHeadSelectsASection) {
  struct Case {
    const char *what;
    std::string head;
    bool read;
  };
  const Case cases[] = {
      // "/FoldedTop/" is no name itself, so only the keyword can select the section.
      {"FoldedTop in a head string", "/FoldedTop/\0"s, true},
      {"WithMask inside a longer string", "(x)WithMask{y}\0"s, true},
      {"head string opened by a space", " FoldedTop/\0"s, true},
      {"keyword not ended by NUL", "/FoldedTop/\x01"s, false},
      {"keyword in another case", "/foldedtop/\0"s, false},
      {"three names", "aa\0bb\0cc\0"s, false},
      {"four names", "aa\0bb\0cc\0dd\0"s, true},
      {"four runs, one not a name", "aa\0bb\0cc\0d\0"s, false},
      {"four names, one repeated", "aa\0bb\0aa\0cc\0"s, true},
      {"nothing", ""s, false},
  };
  for (const auto &c : cases) {
    VpdImage img(512);
    img.slot(0, 200);
    img.put(200, c.head);
    img.put(200 + 128 + 10, "late.name\0"s); // past the head: found only when read in full
    const TraceData t = load(img);
    EXPECT_EQ(t.name_to_id.contains("late.name"), c.read) << c.what;
  }
}

TEST(VpdSections, KeywordMustLieInTheFirst128Bytes) {
  for (const size_t at : {size_t(100), size_t(118), size_t(119)}) {
    // "/WithMask\0" is 10 bytes: its NUL is inside the head only when it starts at 118 or before.
    VpdImage img(600);
    img.slot(0, 200);
    img.put(200 + at, "/WithMask\0"s);
    img.put(200 + 300, "sig.x\0"s);
    EXPECT_EQ(load(img).signal_names.size(), at <= 118 ? 1u : 0u) << at;
  }
}

TEST(VpdSections, FourNamesInTheHeadReadTheWholeSection) {
  VpdImage img(512);
  img.slot(0, 256);
  img.put(256, "top.aa\0top.bb\0top.u.cc\0dd\0"s);
  img.put(256 + 200, "top.u.ee\0"s);
  const TraceData t = load(img);
  EXPECT_EQ(t.signal_names, (Strings{"top.aa", "top.bb", "top.u.cc", "dd", "top.u.ee"}));
  EXPECT_EQ(t.scopes, (Strings{"top", "top.u"}));
  for (size_t k = 0; k < t.signal_names.size(); ++k) {
    EXPECT_EQ(t.name_to_id.at(t.signal_names[k]), k);
    EXPECT_EQ(t.widths.at(t.signal_names[k]), 1u);
  }
  EXPECT_EQ(t.timestamps, std::vector<uint64_t>{0});
  EXPECT_EQ(t.store.id_bound(), 0u);
}

TEST(VpdSections, SectionsRunBetweenSortedDistinctOffsets) {
  // Slots out of order and repeated; sections 200..300 and 300..end are read in offset order.
  VpdImage img(400);
  img.slot(0, 300);
  img.slot(5, 200);
  img.slot(19, 300);
  img.put(200, "/FoldedTop\0first.a\0shared\0"s);
  img.put(297, "cut"s); // runs on into the next section
  img.put(300, "ting\0/FoldedTop\0shared\0second.b\0"s);
  const TraceData t = load(img);
  // "cutting" straddles the boundary, so neither section sees it ended by NUL from its start.
  EXPECT_EQ(t.signal_names, (Strings{"first.a", "shared", "ting", "second.b"}));
  EXPECT_EQ(t.name_to_id.at("shared"), 1u);
  EXPECT_EQ(t.scopes, (Strings{"first", "second"}));
}

TEST(VpdSections, OnlySectionsAreSearched) {
  // Bytes after the header but before the first section are never searched.
  VpdImage img(400);
  img.put(130, "aa\0bb\0cc\0dd\0"s);
  expect_empty_trace(load(img));
  img.slot(19, 129); // the last slot, bytes 124..127
  EXPECT_EQ(load(img).signal_names.size(), 4u);
}

} // namespace
} // namespace wavesift
