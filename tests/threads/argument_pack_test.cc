#include "threads/argument_pack.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

const std::string kExamplePack =
    bytes({3, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0x61, 0x62, 0x63});

TEST(ArgumentPack, PacksCountLengthsThenBytes) {
  EXPECT_EQ(pack_arguments({"ab", "", "c"}), kExamplePack);
  EXPECT_EQ(pack_arguments({}), bytes({0, 0, 0, 0}));
}

TEST(ArgumentPack, UnpackGivesBackWhatWasPacked) {
  const std::vector<std::vector<std::string>> cases = {
      {"ab", "", "c"},
      {std::string("\0\xff\x01", 3)},
      {"", ""},
      {std::string(70000, 'x'), "tail"},
  };
  for (const auto& elements : cases) {
    std::vector<std::string> out;
    ASSERT_TRUE(unpack_arguments(pack_arguments(elements), out)) << elements.size();
    EXPECT_EQ(out, elements);
  }
}

TEST(ArgumentPack, UnpackRejectsMalformedPacksAndLeavesTheOutputEmpty) {
  struct Case {
    const char* name;
    std::string pack;
  };
  const std::string max_count = bytes({0xff, 0xff, 0xff, 0x7f});
  const Case cases[] = {
      {"empty", ""},
      {"shorter than the count", bytes({1, 0, 0})},
      {"count 0", bytes({0, 0, 0, 0})},
      {"negative count", bytes({0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0})},
      {"three elements in 12 bytes", bytes({3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
      {"one data byte missing", kExamplePack.substr(0, kExamplePack.size() - 1)},
      {"one data byte too many", kExamplePack + "d"},
      {"count 2147483647", max_count + std::string(64, '\0')},
      {"count 2147483647 alone", max_count},
      {"negative length", bytes({2, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 2, 0, 0, 0, 'a'})},
      {"length near 2^31", bytes({2, 0, 0, 0, 0xff, 0xff, 0xff, 0x7f, 2, 0, 0, 0, 'a', 'b'})},
  };
  for (const Case& c : cases) {
    std::vector<std::string> out = {"stale"};
    EXPECT_FALSE(unpack_arguments(c.pack, out)) << c.name;
    EXPECT_TRUE(out.empty()) << c.name;
  }
}

// Corrupted packs (bytes flipped, cut short or extended) must be rejected or
// unpack to elements that pack back to exactly the same bytes; under the
// address sanitizer this also shows that no input is read out of bounds.
TEST(ArgumentPack, CorruptedPacksNeverUnpackToSomethingElse) {
  std::mt19937 random(20261211);
  const std::string valid = pack_arguments({"routine", std::string(40, 'a'), "", "x"});
  for (int round = 0; round < 20000; ++round) {
    std::string pack = valid;
    switch (round % 3) {
      case 0:
        pack[random() % pack.size()] = static_cast<char>(random());
        break;
      case 1:
        pack.resize(random() % pack.size());
        break;
      default:
        pack += std::string(random() % 8, static_cast<char>(random()));
        break;
    }
    std::vector<std::string> out;
    if (unpack_arguments(pack, out)) {
      ASSERT_EQ(pack_arguments(out), pack) << "round " << round;
    } else {
      ASSERT_TRUE(out.empty()) << "round " << round;
    }
  }
}

TEST(ArgumentPack, IntegerBytesAreLittleEndian) {
  EXPECT_EQ(int32_bytes(0x01020304), bytes({4, 3, 2, 1}));
  EXPECT_EQ(int32_from_bytes(int32_bytes(-7)), -7);
  EXPECT_EQ(int32_from_bytes("abc"), 0);  // not 4 bytes
}

}  // namespace
