#include "containers/byte_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string kDigits = "0123456789";

TEST(ByteBuffer, StartsEmptyWithA10240ByteBlock) {
  ByteBuffer buffer;
  EXPECT_EQ(buffer.size(), 0);
  EXPECT_EQ(buffer.block_size(), 10240);
  EXPECT_EQ(buffer.get_bytes(), "");
}

TEST(ByteBufferGrowth, BlockSizesFollowTheGrowthRule) {
  struct Case {
    const char* name;
    double growth;
    int32_t after_assign_4, after_append_4, after_append_50;
  };
  const std::vector<Case> cases = {
      // (5 + 4) x 1.3 = 11.7 -> 11; (11 + 50) x 1.3 = 79.3 -> 79
      {"default", ByteBuffer::kDefaultGrowth, 5, 11, 79},
      {"none: exactly what is needed", 0, 4, 8, 58},
      {"10 is accepted", 10, 44, 44, 1034},
      {"above 10 falls back to 0.3", 10.5, 5, 11, 79},
      {"negative falls back to 0.3", -0.1, 5, 11, 79},
  };
  for (const auto& c : cases) {
    ByteBuffer buffer;
    buffer.set_growth(c.growth);
    buffer.assign("abcd");
    EXPECT_EQ(buffer.block_size(), c.after_assign_4) << c.name;
    EXPECT_EQ(buffer.append("efgh"), 8) << c.name;
    EXPECT_EQ(buffer.block_size(), c.after_append_4) << c.name;
    EXPECT_EQ(buffer.append(std::string(50, 'x')), 58) << c.name;
    EXPECT_EQ(buffer.block_size(), c.after_append_50) << c.name;
    EXPECT_EQ(buffer.get_bytes(0, 8), "abcdefgh") << c.name;
  }
  ByteBuffer reset;
  reset.set_growth(10);
  reset.set_growth();
  reset.assign("abcd");
  EXPECT_EQ(reset.block_size(), 5);
}

TEST(ByteBufferGrowth, AssignReplacesContentAndMayShrinkTheBlock) {
  ByteBuffer buffer;
  buffer.append(std::string(100, 'x'));
  buffer.assign(std::string("\0\1", 2));
  EXPECT_EQ(buffer.get_bytes(), std::string("\0\1", 2));
  EXPECT_EQ(buffer.block_size(), 2);
  buffer.assign("");
  EXPECT_EQ(buffer.size(), 0);
  EXPECT_EQ(buffer.append("abc"), 3);
}

TEST(ByteBufferEdit, InsertClampsItsOffset) {
  struct Case {
    int64_t offset;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {-5, "XYabc"}, {0, "XYabc"}, {1, "aXYbc"}, {3, "abcXY"}, {99, "abcXY"}};
  for (const auto& c : cases) {
    ByteBuffer buffer;
    buffer.assign("abc");  // a 3-byte block, so every insert grows it
    EXPECT_EQ(buffer.insert(c.offset, "XY"), 5) << c.offset;
    EXPECT_EQ(buffer.get_bytes(), c.expected) << c.offset;
  }
}

TEST(ByteBufferEdit, RemoveCutsShrinksOrClears) {
  struct Case {
    const char* name;
    int64_t offset, count;
    std::string expected;
    int32_t block_size;
  };
  const std::vector<Case> cases = {
      {"inside", 2, 3, "0156789", 7},
      {"past the end cuts at the offset", 2, 100, "01", 2},
      {"everything from 0 clears", 0, 100, "", 10240},
      {"at the end changes nothing", 10, 1, kDigits, 13},
      {"negative offset counts as 0", -3, 2, "23456789", 8},
      {"negative count removes nothing", 2, -1, kDigits, 13},
      {"zero count fits the block to the content", 4, 0, kDigits, 10},
      {"the last byte", 9, 1, "012345678", 9},
  };
  for (const auto& c : cases) {
    ByteBuffer buffer;
    buffer.assign(kDigits);
    buffer.remove(c.offset, c.count);
    EXPECT_EQ(buffer.get_bytes(), c.expected) << c.name;
    EXPECT_EQ(buffer.block_size(), c.block_size) << c.name;
  }
}

TEST(ByteBufferRead, ByteAtCountsFromOne) {
  ByteBuffer buffer;
  buffer.assign("ab\xFF");
  const std::vector<std::pair<int64_t, uint8_t>> cases = {
      {1, 'a'}, {3, 0xFF}, {0, 0}, {4, 0}, {-1, 0}};
  for (const auto& [position, expected] : cases) EXPECT_EQ(buffer.byte_at(position), expected);
}

TEST(ByteBufferRead, GetBytesClampsTheRange) {
  struct Case {
    int64_t offset, count;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {0, 0, kDigits}, {3, 0, "3456789"}, {3, 100, "3456789"}, {10, 1, ""},
      {2, 3, "234"},   {0, 10, kDigits},  {-2, 3, "012"},      {9, -4, "9"},
  };
  ByteBuffer buffer;
  buffer.assign(kDigits);
  for (const auto& c : cases) {
    EXPECT_EQ(buffer.get_bytes(c.offset, c.count), c.expected) << c.offset << "," << c.count;
  }
}

TEST(ByteBufferSearch, FindReturnsOneBasedPositions) {
  struct Case {
    std::string content, pattern;
    int64_t offset, expected;
  };
  const std::vector<Case> cases = {
      {"abcabc", "a", 0, 1},      {"abcabc", "abc", 1, 4},
      {"abcabc", "c", 3, 6},      {"aaab", "aab", 0, 2},  // begins inside a failed candidate
      {"abababc", "ababc", 0, 3}, {std::string("a\0b", 3), std::string("\0b", 2), 0, 2},
      {"abc", "a", -4, 1},        {"abc", "", 0, -1},
      {"abc", "c", 3, -1},        {"abc", "a", 4, -1},
      {"abc", "cd", 0, -1},       {"abc", "x", 0, -1},
  };
  for (const auto& c : cases) {
    ByteBuffer buffer;
    buffer.assign(c.content);
    EXPECT_EQ(buffer.find(c.pattern, c.offset), c.expected)
        << c.content << " / " << c.pattern << " from " << c.offset;
  }
}

TEST(ByteBufferSearch, SplitKeepsEmptyPieces) {
  using Pieces = std::vector<std::string>;
  struct Case {
    std::string content, delimiter;
    Pieces expected;
  };
  const std::vector<Case> cases = {
      {"a,b,,c", ",", {"a", "b", "", "c"}},
      {",a,", ",", {"", "a", ""}},
      {"a--b--", "--", {"a", "b", ""}},
      {"abc", ",", {}},
      {"abc", "", {}},
      {"", ",", {}},
  };
  for (const auto& c : cases) {
    ByteBuffer buffer;
    buffer.assign(c.content);
    Pieces pieces = {"stale"};
    buffer.split(c.delimiter, pieces);
    EXPECT_EQ(pieces, c.expected) << c.content << " / " << c.delimiter;
  }
}

TEST(ByteBufferEdit, MixedEditsMatchAPlainString) {
  std::mt19937 random(7);
  ByteBuffer buffer;
  std::string model;
  for (int step = 0; step < 2000; ++step) {
    const std::string bytes(random() % 40, static_cast<char>(random()));
    const size_t at = model.empty() ? 0 : random() % (model.size() + 1);
    switch (random() % 5) {
      case 0:
        buffer.insert(static_cast<int64_t>(at), bytes);
        model.insert(at, bytes);
        break;
      case 1: {
        const size_t count = std::min<size_t>(random() % 30, model.size() - at);
        buffer.remove(static_cast<int64_t>(at), static_cast<int64_t>(count));
        model.erase(at, count);
        break;
      }
      case 2:
        if (random() % 50 == 0) buffer.assign(bytes), model = bytes;
        break;
      default:
        buffer.append(bytes);
        model += bytes;
    }
    ASSERT_EQ(buffer.get_bytes(), model) << "step " << step;
    ASSERT_GE(buffer.block_size(), buffer.size());
  }
}

}  // namespace
