// The user's saved settings on the desktop: an INI file that QSettings reads
// and writes, ${XDG_CONFIG_HOME:-$HOME/.config}/Vashel/Vashel.conf, the
// values under their own names at the top level. The file holds the mail
// password, so it is kept readable by its owner only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/settings_store.h"

namespace vashel {

// Where the user's settings file lives; empty when there is no home folder to
// put it in. A relative XDG_CONFIG_HOME is ignored, as the XDG rules say.
std::string userSettingsPath();

class QtSettingsStore final : public SettingsStore {
 public:
  // `path` names the file itself, so that tests can put it anywhere (QSettings
  // would compute its own place once per process).
  explicit QtSettingsStore(std::string path = userSettingsPath());

  const std::string& path() const { return path_; }

  // The key exists while the file does. A path that is not a regular file, or
  // a file too large to be ours, counts as no saved state and is left alone.
  bool keyExists() const override;
  // Numbers are written as unsigned decimals; a hand-written negative one
  // within the 32-bit range reads as its two's complement.
  std::optional<std::uint32_t> readDword(std::string_view name) const override;
  // Code page 932 bytes. At most 1024 bytes of stored data, which may end in
  // a NUL; the value is what comes before the first NUL.
  std::optional<std::string> readString(std::string_view name) const override;
  // Every write reaches the file at once, created 0600 in a folder created 0700.
  void writeDword(std::string_view name, std::uint32_t value) override;
  void writeString(std::string_view name, std::string_view value) override;
  // Removes the file, and with it every value.
  void deleteKey() override;

 private:
  enum class FileState { Missing, Regular, Refused };
  FileState inspect() const;
  bool prepareForWrite();
  void report(const std::string& problem) const;

  std::string path_;
  mutable bool reported_ = false;
};

}  // namespace vashel
