#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "containers/byte_buffer.h"

namespace {

namespace fs = std::filesystem;

class ByteBufferFile : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) /
           ("byte_buffer_" + std::to_string(::getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const char* name) const { return (dir_ / name).string(); }

  static std::string read(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void write(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
  }

  fs::path dir_;
};

TEST_F(ByteBufferFile, RoundTripsInAnyChunkSize) {
  std::string content;
  for (int i = 0; i < 25; ++i) content.push_back(static_cast<char>(i * 37));
  for (int64_t chunk : {0, 1, 4, 7, 25, 100}) {
    ByteBuffer saved;
    saved.assign(content);
    ASSERT_TRUE(saved.save_file(path("round"), chunk)) << chunk;
    EXPECT_EQ(read(path("round")), content) << chunk;

    ByteBuffer loaded;
    loaded.append("old content");
    ASSERT_TRUE(loaded.load_file(path("round"), chunk)) << chunk;
    EXPECT_EQ(loaded.get_bytes(), content) << chunk;
  }
}

TEST_F(ByteBufferFile, EmptyBufferEmptiesTheFileAndEmptyFileLoadsEmpty) {
  write(path("empty"), "previous");
  ByteBuffer empty;
  ASSERT_TRUE(empty.save_file(path("empty")));
  EXPECT_EQ(fs::file_size(path("empty")), 0u);

  ByteBuffer loaded;
  loaded.append("old");
  EXPECT_TRUE(loaded.load_file(path("empty")));
  EXPECT_EQ(loaded.size(), 0);
}

TEST_F(ByteBufferFile, FailuresReturnFalse) {
  ByteBuffer buffer;
  buffer.append("old");
  EXPECT_FALSE(buffer.load_file(path("missing")));
  EXPECT_EQ(buffer.size(), 0);  // cleared before the file is opened
  EXPECT_FALSE(buffer.load_file(dir_.string()));

  buffer.append("bytes");
  EXPECT_FALSE(buffer.save_file(path("no/such/dir")));
  if (fs::exists("/dev/full")) {
    EXPECT_FALSE(buffer.save_file("/dev/full"));  // every write fails: the disk is full
  }
}

}  // namespace
