// Loading files into the document buffer.
#include "xml/document_source.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "hostile_files.h"

namespace vashel {
namespace {

std::string writeTempFile(const std::string& name, const std::string& bytes) {
  const std::string path = ::testing::TempDir() + "/vashel_document_source_" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  EXPECT_NE(file, nullptr);
  if (file != nullptr) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return path;
}

// Bytes whose values cycle so that a piece read twice or skipped shows.
std::string patterned(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('!' + i % 90);
  return bytes;
}

TEST(DocumentSource, LoadsFilesAroundThePieceSizeExactly) {
  for (std::size_t size : {0u, 1u, 254u, 255u, 256u, 510u, 511u, 4000u}) {
    const std::string bytes = patterned(size);
    DocumentSource source;
    EXPECT_TRUE(source.loadFile(writeTempFile("sized", bytes)));
    EXPECT_EQ(source.buffer(), bytes) << size;
  }
}

TEST(DocumentSource, LoadAppendsAndAMissingFileAddsNothing) {
  DocumentSource source;
  source.buffer() = "before|";
  ASSERT_TRUE(source.loadFile(writeTempFile("append", "<a/>")));
  EXPECT_EQ(source.buffer(), "before|<a/>");
  EXPECT_FALSE(source.loadFile(::testing::TempDir() + "/vashel_no_such_file.xml"));
  EXPECT_FALSE(source.loadFile(""));
  EXPECT_EQ(source.buffer(), "before|<a/>");
  source.clearBuffer();
  EXPECT_TRUE(source.buffer().empty());
}

TEST(DocumentSource, NulBytesAreKept) {
  std::string bytes = patterned(600);
  bytes[3] = '\0';
  bytes[300] = '\0';
  DocumentSource source;
  ASSERT_TRUE(source.loadFile(writeTempFile("nul", bytes)));
  EXPECT_EQ(source.buffer(), bytes);
}

TEST(DocumentSource, RefusesWhatIsNotARegularFileOrTooLargeWithALine) {
  testing::HostileFiles files;
  std::vector<std::pair<std::string, std::string>> cases;
  for (const std::string& path : files.notRegular()) cases.push_back({path, "not a regular file"});
  cases.push_back({files.sparse(kMaxDocumentFileBytes + 1),
                   "larger than " + std::to_string(kMaxDocumentFileBytes) + " bytes"});
  for (const auto& [path, reason] : cases) {
    DocumentSource source;
    source.buffer() = "kept";
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(source.loadFile(path));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), path + ": " + reason + "\n");
    EXPECT_EQ(source.buffer(), "kept");
  }
  DocumentSource source;
  EXPECT_TRUE(source.loadFile(files.sparse(kMaxDocumentFileBytes)));
  EXPECT_EQ(source.buffer().size(), kMaxDocumentFileBytes);
}

}  // namespace
}  // namespace vashel
