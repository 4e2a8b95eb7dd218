// Things that have a file's name but must not be read as one: a FIFO (opening
// or reading it waits for a writer that never comes), /dev/zero behind a
// symbolic link (never ends), a directory, and a sparse file one byte past a
// cap (costs no disk). Made in a fresh folder, removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace vashel::testing {

class HostileFiles {
 public:
  HostileFiles() {
    dir_ = std::filesystem::temp_directory_path() /
           ("vashel_hostile_" + std::to_string(::getpid()) + "_" + std::to_string(++counter()));
    std::filesystem::create_directories(dir_);
    EXPECT_EQ(::mkfifo(fifo().c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", zeroLink());
    std::filesystem::create_directory(directory());
  }
  ~HostileFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  HostileFiles(const HostileFiles&) = delete;
  HostileFiles& operator=(const HostileFiles&) = delete;

  std::string fifo() const { return (dir_ / "fifo").string(); }
  std::string zeroLink() const { return (dir_ / "zero").string(); }
  std::string directory() const { return (dir_ / "dir").string(); }
  // A file of `bytes` bytes that reads as zeros.
  std::string sparse(std::uint64_t bytes) const {
    const std::string path = (dir_ / ("sparse" + std::to_string(bytes))).string();
    std::filesystem::resize_file(touch(path), bytes);
    return path;
  }
  // The three that are not regular files.
  std::vector<std::string> notRegular() const { return {fifo(), zeroLink(), directory()}; }
  const std::filesystem::path& folder() const { return dir_; }

 private:
  static const std::string& touch(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (file) std::fclose(file);
    return path;
  }
  static int& counter() {
    static int value = 0;
    return value;
  }
  std::filesystem::path dir_;
};

}  // namespace vashel::testing
