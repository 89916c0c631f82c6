#include "platform/program_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FileInParts : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = fs::temp_directory_path() /
                 ("platform-files-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(directory_);
    fs::create_directories(directory_);
    path_ = (directory_ / "book.txt").string();
  }
  void TearDown() override { fs::remove_all(directory_); }

  size_t files_in_directory() const {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(directory_), fs::directory_iterator()));
  }

  fs::path directory_;
  std::string path_;
};

TEST_F(FileInParts, WritesSmallAndLargePartsInOrder) {
  // Parts on both sides of the size at which small parts stop being gathered.
  std::vector<std::string> parts = {"first\r\n", std::string(3 << 20, 'x'),       "",
                                    "\r\n",      std::string((1 << 20) - 3, 'y'), "last"};
  std::string expected;
  for (const std::string& part : parts) expected += part;
  std::string error;
  ASSERT_TRUE(write_file_in_parts(
      path_,
      [&](const FilePartWriter& write) {
        for (const std::string& part : parts) {
          if (!write(part)) return false;
        }
        return true;
      },
      &error))
      << error;
  EXPECT_EQ(read_file(path_), expected);
  EXPECT_EQ(files_in_directory(), 1u);
}

TEST_F(FileInParts, AProducerThatGivesUpLeavesTheEarlierFileWhole) {
  ASSERT_TRUE(write_whole_file(path_, "earlier", nullptr));
  std::string error;
  EXPECT_FALSE(write_file_in_parts(
      path_,
      [](const FilePartWriter& write) {
        write(std::string(2 << 20, 'z'));
        return false;
      },
      &error));
  EXPECT_NE(error, "");
  EXPECT_EQ(read_file(path_), "earlier");
  EXPECT_EQ(files_in_directory(), 1u);  // no temporary file left behind
}

}  // namespace
