// WLF reader: pages, header strings, name harvesting and the value-record walk.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "trace/records.hpp"
#include "readers/wlf/wlf.hpp"

namespace wavesift {
namespace {

using Strings = std::vector<std::string>;
using Times = std::vector<uint64_t>;
using namespace std::string_literals;
constexpr size_t kPage = wlf::kPageSize;

// A WLF image built byte by byte, page by page.
struct WlfImage {
  std::vector<uint8_t> bytes;

  explicit WlfImage(size_t pages) : bytes(pages * kPage, 0) {}

  uint8_t *page(size_t k) { return bytes.data() + k * kPage; }
  void be16(size_t at, uint16_t v) {
    bytes[at] = uint8_t(v >> 8);
    bytes[at + 1] = uint8_t(v);
  }
  void put(size_t at, std::string_view text) {
    ASSERT_LE(at + text.size(), bytes.size());
    std::copy(text.begin(), text.end(), bytes.begin() + at);
  }
  void put(size_t at, std::initializer_list<uint8_t> b) {
    ASSERT_LE(at + b.size(), bytes.size());
    std::copy(b.begin(), b.end(), bytes.begin() + at);
  }

  // Header page with three empty header strings (bytes 40..42), so names start at 43.
  static constexpr size_t kNamesAt = 43;
  void header(std::string_view names, uint16_t expected = 0) {
    put(kNamesAt, names);
    be16(2, uint16_t(kNamesAt + names.size()));
    be16(24, expected);
  }
  // Marks page k as a value page of record length p; bytes 4..15 supply 12 non-zero bytes so
  // that the page passes the density test whatever its records hold.
  void value_page(size_t k, uint16_t p, std::initializer_list<uint8_t> records) {
    const size_t at = k * kPage;
    put(at, {0xFF, 0xFF});
    be16(at + 2, p);
    for (size_t i = 4; i < 16; ++i)
      bytes[at + i] = 0xEE;
    put(at + 16, records);
  }
};

TraceData load(const WlfImage &img) {
  auto r = wlf::from_bytes(img.bytes);
  EXPECT_TRUE(r.ok()) << r.error();
  return r.ok() ? std::move(r.value()) : TraceData{};
}

TEST(WlfFile, TooSmallAndUnreadable) {
  for (const size_t size : {size_t(0), size_t(1), kPage - 1}) {
    const auto r = wlf::from_bytes(std::vector<uint8_t>(size, 0xFF));
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), "WLF file too small (< 1 page)");
  }
  const std::string missing = "/nonexistent-dir/trace.wlf";
  const auto r = wlf::from_file(missing);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), "Failed to read " + missing + ": No such file or directory");
}

TEST(WlfFile, OnePageOfZerosLoadsEmpty) {
  const std::string path = ::testing::TempDir() + "wlf_one_page_of_zeros.wlf";
  {
    std::ofstream out(path, std::ios::binary);
    const std::vector<char> zeros(kPage, 0);
    out.write(zeros.data(), std::streamsize(zeros.size()));
  }
  auto r = wlf::from_file(path);
  std::remove(path.c_str());
  ASSERT_TRUE(r.ok()) << r.error();
  const TracePtr t = share(std::move(r.value()));
  EXPECT_TRUE(t->signal_names().empty());
  EXPECT_TRUE(t->scopes().empty());
  EXPECT_EQ(t->timestamps(), Times{0});
  EXPECT_EQ(t->max_index(), 0u);
}

TEST(WlfHeader, ReadLpstr) {
  std::vector<uint8_t> page(kPage, 0);
  auto put = [&](size_t at, std::string_view s) { std::copy(s.begin(), s.end(), &page[at]); };
  put(0, "\x03"
         "abc");
  put(10, "\x02"
          "a\x7f");
  put(20, "\x00"s);
  page[kPage - 3] = 2; // exactly reaches the page end
  page[kPage - 2] = 'x';
  page[kPage - 1] = 'y';
  page[100] = 200; // would run past a page that ends early
  struct Case {
    size_t pos;
    std::string text;
    size_t pos_after;
  };
  const Case cases[] = {
      {0, "abc", 4},
      {10, "", 11}, // a non-printable byte voids the string
      {20, "", 21}, // zero length
      {kPage - 3, "xy", kPage},
      {kPage - 2, "", kPage - 1}, // 'x' = 120 bytes would pass the page end
      {kPage, "", kPage},         // nothing left: position unchanged
      {kPage + 5, "", kPage + 5},
  };
  for (const auto &c : cases) {
    size_t pos = c.pos;
    EXPECT_EQ(wlf::read_lpstr(page, pos), c.text) << c.pos;
    EXPECT_EQ(pos, c.pos_after) << c.pos;
  }
  const std::span<const uint8_t> short_page(page.data(), 250);
  size_t pos = 100;
  EXPECT_EQ(wlf::read_lpstr(short_page, pos), "");
  EXPECT_EQ(pos, 101u);
}

TEST(WlfHeader, NamesFollowTheThreeHeaderStrings) {
  WlfImage img(1);
  // "ab" is printable text of the first header string; the two zero bytes after it are the
  // empty second and third strings. A scan that did not skip them would take "ab" as a name.
  img.put(40, "\x02"
              "ab\0\0top.u1.a\0top.b\0top.b\0x\0"s);
  img.be16(2, 40 + 28);
  const TraceData t = load(img);
  EXPECT_EQ(t.signal_names, (Strings{"top.u1.a", "top.b"}));
  EXPECT_EQ(t.scopes, (Strings{"top", "top.u1"}));
  EXPECT_EQ(t.name_to_id.at("top.b"), 1u);
  EXPECT_EQ(t.widths.at("top.u1.a"), 1u);
}

TEST(WlfHeader, UsedLengthBoundsTheNameArea) {
  WlfImage img(1);
  img.header("aa\0bb\0"s);
  img.put(WlfImage::kNamesAt + 6, "cc\0"s); // beyond the used length
  EXPECT_EQ(load(img).signal_names, (Strings{"aa", "bb"}));
  img.be16(2, WlfImage::kNamesAt + 5); // "bb" loses its NUL
  EXPECT_EQ(load(img).signal_names, (Strings{"aa"}));
  img.be16(2, 0xFFFF); // clamped to the page
  img.put(kPage - 3, "zz\0"s);
  EXPECT_EQ(load(img).signal_names, (Strings{"aa", "bb", "cc", "zz"}));
  img.be16(2, 40); // no room after the header strings
  EXPECT_TRUE(load(img).signal_names.empty());
}

TEST(WlfNamePages, SearchedOnlyWhileFewerThanTheExpectedCount) {
  struct Case {
    uint16_t expected;
    Strings names;
  };
  // Page 1 holds names, page 2 carries the value mark, page 3 holds names, page 4 is past the
  // name pages.
  const Case cases[] = {
      {0, {"hh"}},
      {1, {"hh"}},
      {2, {"hh", "p1.a", "p3.c"}},
  };
  for (const auto &c : cases) {
    WlfImage img(5);
    img.header("hh\0"s, c.expected);
    img.put(1 * kPage + 100, "p1.a\0hh\0"s);
    img.put(2 * kPage, {0xFF, 0xFF});
    img.put(2 * kPage + 100, "p2.b\0"s);
    img.put(3 * kPage + 8000, "p3.c\0"s);
    img.put(4 * kPage + 100, "p4.d\0"s);
    EXPECT_EQ(load(img).signal_names, c.names) << c.expected;
  }
}

TEST(WlfNamePages, NameLimitIsTheLargerOfExpectedCountAnd1000) {
  std::string names;
  for (int k = 0; k < 1100; ++k)
    names += "n" + std::to_string(k) + '\0';
  ASSERT_LT(names.size(), kPage);
  for (const auto &[expected, kept] :
       {std::pair{uint16_t(1050), 1050u}, std::pair{uint16_t(2000), 1100u},
        std::pair{uint16_t(1001), 1001u}}) {
    WlfImage img(2);
    img.header("", expected);
    img.put(kPage, names);
    const TraceData t = load(img);
    ASSERT_EQ(t.signal_names.size(), kept) << expected;
    EXPECT_EQ(t.signal_names.back(), "n" + std::to_string(kept - 1));
    EXPECT_EQ(t.name_to_id.size(), kept);
  }
  // Below 1000 expected names the limit stays 1000.
  WlfImage img(1);
  std::string header_names;
  for (int k = 0; k < 1100 && header_names.size() < 8000; ++k)
    header_names += "h" + std::to_string(k) + '\0';
  img.header(header_names, 5);
  EXPECT_EQ(load(img).signal_names.size(), 1000u);
}

// Names aa, bb, cc (ids 0, 1, 2); one value page with P = 32 whose record area starts
// 01 05 FF 02 07 FF.
TEST(WlfValues, ValuePageExample) {
  WlfImage img(2);
  img.header("aa\0bb\0cc\0"s);
  img.value_page(1, 32, {0x01, 0x05, 0xFF, 0x02, 0x07, 0xFF});
  const TracePtr t = share(load(img));
  EXPECT_EQ(t->timestamps(), (Times{0, 1, 2}));
  EXPECT_EQ(t->max_index(), 2u);
  for (Index i = 0; i <= 2; ++i) {
    EXPECT_EQ(t->signal_value("bb", i), SignalValue::of_int(5)) << i;
    EXPECT_EQ(t->signal_value("cc", i), i == 0 ? SignalValue() : SignalValue::of_int(7)) << i;
    EXPECT_TRUE(t->signal_value("aa", i).is_none()) << i;
  }
  EXPECT_FALSE(t->store().has_column(0));
  EXPECT_EQ(t->signal_width("bb"), 1u);
}

TEST(WlfValues, RecordsStayInsideTheRecordArea) {
  // Four names, so id 3 is valid. P = 32: the pair 03 09 at positions 30 and 31 is read; an
  // id byte at position 31 has no room for its value and is not.
  {
    WlfImage img(2);
    img.header("aa\0bb\0cc\0dd\0"s);
    img.value_page(1, 32, {});
    img.put(kPage + 16 + 30, {0x03, 0x09});
    EXPECT_EQ(share(load(img))->signal_value("dd", 0), SignalValue::of_int(9));
  }
  {
    WlfImage img(2);
    img.header("aa\0bb\0cc\0dd\0"s);
    img.value_page(1, 32, {});
    img.put(kPage + 16 + 29, {0x00, 0x00, 0x03, 0x09}); // id at 31, value past P
    EXPECT_FALSE(share(load(img))->store().has_column(3));
  }
  {
    // A time step in the last byte of the area is not read either.
    WlfImage img(2);
    img.header("aa\0bb\0"s);
    img.value_page(1, 8, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF});
    EXPECT_EQ(load(img).timestamps, Times{0});
  }
  {
    // P beyond the page is clamped: the pair in the page's last two bytes is still read.
    WlfImage img(2);
    img.header("aa\0bb\0"s);
    img.value_page(1, 0xFFFF, {});
    img.put(2 * kPage - 2, {0x01, 0x2A});
    EXPECT_EQ(share(load(img))->signal_value("bb", 0), SignalValue::of_int(42));
  }
}

TEST(WlfValues, UnknownIdsAreSkippedOneByteAtATime) {
  WlfImage img(2);
  img.header("aa\0bb\0cc\0"s);
  // 05 is not an id (3 names), so the next byte, 01, is read as an id with value FF; then cc.
  img.value_page(1, 16, {0x05, 0x01, 0xFF, 0x02, 0x07, 0xFE, 0x00});
  const TracePtr t = share(load(img));
  EXPECT_EQ(t->timestamps(), Times{0});
  EXPECT_EQ(t->signal_value("bb", 0), SignalValue::of_int(0xFF));
  EXPECT_EQ(t->signal_value("cc", 0), SignalValue::of_int(7));
}

TEST(WlfValues, WhichPagesAreValuePages) {
  struct Case {
    const char *what;
    size_t pages;
    bool sparse; // fewer than 16 non-zero bytes
    uint16_t p;
    size_t page; // where the value page sits
    bool read;
  };
  const Case cases[] = {
      {"dense page 1", 2, false, 16, 1, true}, {"dense page 6", 7, false, 16, 6, true},
      {"too sparse", 2, true, 16, 1, false},   {"P below 2", 2, false, 1, 1, false},
      {"P exactly 2", 2, false, 2, 1, true},
  };
  for (const auto &c : cases) {
    WlfImage img(c.pages);
    img.header("aa\0bb\0"s);
    const size_t at = c.page * kPage;
    if (c.sparse) {
      img.put(at, {0xFF, 0xFF});
      img.be16(at + 2, c.p);
      img.put(at + 16, {0x01, 0x11}); // 5 non-zero bytes with the mark and P
    } else {
      img.value_page(c.page, c.p, {0x01, 0x11});
    }
    const TracePtr t = share(load(img));
    EXPECT_EQ(t->signal_value("bb", 0).is_none(), !c.read) << c.what;
  }

  // A trailing partial page is no page at all, even with a value page's mark.
  WlfImage img(2);
  img.header("aa\0bb\0"s);
  img.bytes.resize(2 * kPage + kPage - 1, 0);
  img.value_page(2, 16, {0x01, 0x11});
  EXPECT_FALSE(share(load(img))->store().has_column(1));
}

TEST(WlfValues, IndexCarriesAcrossPagesAndFillsForward) {
  WlfImage img(4);
  img.header("aa\0bb\0cc\0"s);
  img.value_page(1, 16, {0x01, 0x03, 0xFF, 0xFF});
  img.value_page(3, 16, {0x02, 0x04, 0xFF, 0x01, 0x08, 0x01, 0x09});
  const TracePtr t = share(load(img));
  EXPECT_EQ(t->timestamps(), (Times{0, 1, 2, 3}));
  EXPECT_EQ(
      t->signal_values_range("bb", 0, 5),
      (std::vector<SignalValue>{SignalValue::of_int(3), SignalValue::of_int(3),
                                SignalValue::of_int(3), SignalValue::of_int(9), SignalValue()}));
  EXPECT_EQ(t->signal_values_range("cc", 0, 4),
            (std::vector<SignalValue>{SignalValue(), SignalValue(), SignalValue::of_int(4),
                                      SignalValue::of_int(4)}));
}

} // namespace
} // namespace wavesift
