// Reading files from outside: only regular files, never past the cap, and
// the buffer untouched on every refusal.
#include "platform/regular_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "hostile_files.h"

namespace vashel {
namespace {

using testing::HostileFiles;

std::string writeFile(const HostileFiles& files, const std::string& name,
                      const std::string& bytes) {
  const std::string path = (files.folder() / name).string();
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST(RegularFile, RefusesWhatIsNotARegularFileAndKeepsTheBuffer) {
  HostileFiles files;
  for (const std::string& path : files.notRegular()) {
    std::string text = "kept";
    EXPECT_EQ(readRegularFile(path, 1 << 20, text), FileStatus::NotRegular) << path;
    EXPECT_EQ(text, "kept");
    std::vector<char> bytes;
    EXPECT_EQ(readRegularFile(path, 1 << 20, bytes), FileStatus::NotRegular) << path;
    EXPECT_TRUE(bytes.empty());
    FileStatus status = FileStatus::Ok;
    EXPECT_EQ(openRegularFile(path, 1 << 20, "r", &status), nullptr) << path;
    EXPECT_EQ(status, FileStatus::NotRegular);
  }
  std::string text;
  EXPECT_EQ(readRegularFile((files.folder() / "missing").string(), 10, text),
            FileStatus::CannotOpen);
}

TEST(RegularFile, TheCapIsInclusive) {
  HostileFiles files;
  const std::string path = writeFile(files, "ten", "0123456789");
  std::string text = ">";
  EXPECT_EQ(readRegularFile(path, 10, text), FileStatus::Ok);
  EXPECT_EQ(text, ">0123456789");  // appended
  EXPECT_EQ(readRegularFile(path, 9, text), FileStatus::TooLarge);
  EXPECT_EQ(text, ">0123456789");
  EXPECT_EQ(readRegularFile(files.sparse(1 << 20), (1 << 20) - 1, text), FileStatus::TooLarge);

  FileStatus status = FileStatus::Ok;
  EXPECT_EQ(openRegularFile(path, 9, "rb", &status), nullptr);
  EXPECT_EQ(status, FileStatus::TooLarge);
  std::FILE* file = openRegularFile(path, 10, "rb", &status);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(status, FileStatus::Ok);
  char first = 0;
  EXPECT_EQ(std::fread(&first, 1, 1, file), 1u);
  EXPECT_EQ(first, '0');
  std::fclose(file);

  EXPECT_EQ(fileStatusText(FileStatus::TooLarge, 9), "larger than 9 bytes");
  EXPECT_EQ(fileStatusText(FileStatus::NotRegular, 9), "not a regular file");
}

TEST(RegularFile, ReadsEmptyAndBinaryFilesWhole) {
  HostileFiles files;
  std::vector<char> bytes;
  EXPECT_EQ(readRegularFile(writeFile(files, "empty", ""), 0, bytes), FileStatus::Ok);
  EXPECT_TRUE(bytes.empty());
  std::string binary(200000, '\0');
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7);
  EXPECT_EQ(readRegularFile(writeFile(files, "binary", binary), binary.size(), bytes),
            FileStatus::Ok);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), binary);
}

}  // namespace
}  // namespace vashel
