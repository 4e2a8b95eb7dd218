// The user's saved settings: a key of named values, numbers (32-bit) and
// strings, under "Software\Vashel". The desktop build keeps them in an INI
// file in the user's config folder; tests use a map.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vashel {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Whether the key exists at all (a saved state exists).
  virtual bool keyExists() const = 0;
  virtual std::optional<std::uint32_t> readDword(std::string_view name) const = 0;
  // At most 1024 bytes; a longer value reads as absent.
  virtual std::optional<std::string> readString(std::string_view name) const = 0;
  // Writing creates the key.
  virtual void writeDword(std::string_view name, std::uint32_t value) = 0;
  virtual void writeString(std::string_view name, std::string_view value) = 0;
  virtual void deleteKey() = 0;
};

// Values in memory, for tests and for runs that must not touch the user's files.
class MemorySettingsStore final : public SettingsStore {
 public:
  bool keyExists() const override { return exists_; }
  std::optional<std::uint32_t> readDword(std::string_view name) const override {
    const auto it = dwords_.find(std::string(name));
    if (!exists_ || it == dwords_.end()) return std::nullopt;
    return it->second;
  }
  std::optional<std::string> readString(std::string_view name) const override {
    const auto it = strings_.find(std::string(name));
    if (!exists_ || it == strings_.end() || it->second.size() > 1024) return std::nullopt;
    return it->second;
  }
  void writeDword(std::string_view name, std::uint32_t value) override {
    exists_ = true;
    dwords_[std::string(name)] = value;
  }
  void writeString(std::string_view name, std::string_view value) override {
    exists_ = true;
    strings_[std::string(name)] = std::string(value);
  }
  void deleteKey() override {
    exists_ = false;
    dwords_.clear();
    strings_.clear();
  }

 private:
  bool exists_ = false;
  std::map<std::string, std::uint32_t> dwords_;
  std::map<std::string, std::string> strings_;
};

}  // namespace vashel
