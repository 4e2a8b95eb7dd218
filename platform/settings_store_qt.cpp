// The settings file through QSettings, with the file's mode, folder and
// size checks that QSettings leaves to its caller.
#include "platform/settings_store_qt.h"

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/codepage.h"

namespace vashel {
namespace {

// A file of a dozen values of at most 1024 bytes each stays far below this;
// anything larger is not ours, and QSettings would read all of it.
constexpr off_t kMaxFileBytes = 256 * 1024;
constexpr std::size_t kMaxStringBytes = 1024;
constexpr mode_t kFileMode = 0600;
constexpr mode_t kFolderMode = 0700;

QString qtPath(const std::string& path) { return QFile::decodeName(path.c_str()); }
QString qtName(std::string_view name) {
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// Creates every missing folder on the way to `folder`, each 0700.
bool makePrivateFolders(const std::string& folder) {
  for (std::size_t end = 1; end <= folder.size(); ++end) {
    if (end < folder.size() && folder[end] != '/') continue;
    const std::string prefix = folder.substr(0, end);
    struct stat info {};
    if (::stat(prefix.c_str(), &info) == 0) {
      if (!S_ISDIR(info.st_mode)) return false;
      continue;
    }
    if (::mkdir(prefix.c_str(), kFolderMode) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// The stored data of a text value in code page 932, NULs kept in place, so
// that its size can be checked before the value is cut at the first NUL.
std::string textBytes(const QString& text) {
  std::string bytes;
  const QList<QByteArray> pieces = text.toUtf8().split('\0');
  for (qsizetype i = 0; i < pieces.size(); ++i) {
    if (i > 0) bytes += '\0';
    bytes += convertUtf8ToShiftJis(std::string_view(pieces[i].constData(),
                                                     static_cast<std::size_t>(pieces[i].size())));
  }
  return bytes;
}

bool isIntegerType(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string userSettingsPath() {
  std::string config;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    config = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
      const passwd* entry = ::getpwuid(::getuid());
      home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/') return {};
    config = std::string(home) + "/.config";
  }
  while (config.size() > 1 && config.back() == '/') config.pop_back();
  return config + "/Vashel/Vashel.conf";
}

QtSettingsStore::QtSettingsStore(std::string path) : path_(std::move(path)) {}

void QtSettingsStore::report(const std::string& problem) const {
  // Settings problems never become message boxes; one line says why nothing
  // was read or saved.
  if (reported_) return;
  reported_ = true;
  std::fprintf(stderr, "settings: %s: %s; the settings are neither read nor saved there\n",
               path_.c_str(), problem.c_str());
}

QtSettingsStore::FileState QtSettingsStore::inspect() const {
  if (path_.empty()) return FileState::Refused;
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0) {
    return errno == ENOENT ? FileState::Missing : FileState::Refused;
  }
  if (!S_ISREG(info.st_mode)) {
    report("not a regular file");
    return FileState::Refused;
  }
  if (info.st_size > kMaxFileBytes) {
    report("larger than " + std::to_string(kMaxFileBytes) + " bytes");
    return FileState::Refused;
  }
  return FileState::Regular;
}

bool QtSettingsStore::keyExists() const { return inspect() == FileState::Regular; }

std::optional<std::uint32_t> QtSettingsStore::readDword(std::string_view name) const {
  if (inspect() != FileState::Regular) return std::nullopt;
  const QSettings settings(qtPath(path_), QSettings::IniFormat);
  const QVariant value = settings.value(qtName(name));
  // A file read from disk gives text; values this process wrote come back as
  // the numbers they were.
  if (value.typeId() != QMetaType::QString && !isIntegerType(value)) return std::nullopt;
  bool ok = false;
  const qlonglong number = value.toString().trimmed().toLongLong(&ok, 10);
  if (!ok || number < INT32_MIN || number > static_cast<qlonglong>(UINT32_MAX)) return std::nullopt;
  return static_cast<std::uint32_t>(number);
}

std::optional<std::string> QtSettingsStore::readString(std::string_view name) const {
  if (inspect() != FileState::Regular) return std::nullopt;
  const QSettings settings(qtPath(path_), QSettings::IniFormat);
  const QVariant value = settings.value(qtName(name));
  std::string bytes;
  if (value.typeId() == QMetaType::QByteArray) {
    const QByteArray raw = value.toByteArray();
    bytes.assign(raw.constData(), static_cast<std::size_t>(raw.size()));
  } else if (value.typeId() == QMetaType::QString) {
    bytes = textBytes(value.toString());
  } else {
    return std::nullopt;
  }
  if (bytes.size() > kMaxStringBytes) return std::nullopt;
  if (const auto nul = bytes.find('\0'); nul != std::string::npos) bytes.resize(nul);
  return bytes;
}

bool QtSettingsStore::prepareForWrite() {
  const FileState state = inspect();
  if (state == FileState::Refused) {
    if (path_.empty()) report("no home folder");
    return false;
  }
  const std::size_t slash = path_.rfind('/');
  if (slash != std::string::npos && slash > 0 && !makePrivateFolders(path_.substr(0, slash))) {
    report("its folder cannot be made");
    return false;
  }
  if (state == FileState::Missing) {
    // Made here, 0600, before QSettings writes: its atomic save keeps the
    // mode of the file it replaces, so the password is never readable by others.
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    if (fd < 0 && errno != EEXIST) {
      report(std::string("cannot be created: ") + std::strerror(errno));
      return false;
    }
    if (fd >= 0) ::close(fd);
  }
  // A file that was made or copied in with a wider mode is narrowed first.
  ::chmod(path_.c_str(), kFileMode);
  return true;
}

namespace {

void writeValue(const std::string& path, std::string_view name, const QVariant& value) {
  QSettings settings(qtPath(path), QSettings::IniFormat);
  settings.setValue(qtName(name), value);
  settings.sync();
  if (settings.status() != QSettings::NoError) {
    std::fprintf(stderr, "settings: %s: \"%.*s\" could not be saved\n", path.c_str(),
                 static_cast<int>(name.size()), name.data());
  }
  // Should the save have fallen back to writing in place, the mode is set again.
  ::chmod(path.c_str(), kFileMode);
}

}  // namespace

void QtSettingsStore::writeDword(std::string_view name, std::uint32_t value) {
  if (!prepareForWrite()) return;
  writeValue(path_, name, QVariant(static_cast<qulonglong>(value)));
}

void QtSettingsStore::writeString(std::string_view name, std::string_view value) {
  if (!prepareForWrite()) return;
  // Text that converts to UTF-8 and back unchanged is stored as readable
  // text; anything else (bytes no code page 932 text holds, NULs, the
  // characters with two codes) as the bytes themselves, so that every value
  // comes back byte for byte.
  const std::string utf8 = convertToUtf8(kDataCodePage, value);
  if (convertUtf8ToShiftJis(utf8) == value) {
    writeValue(path_, name, QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
  } else {
    writeValue(path_, name,
               QByteArray(value.data(), static_cast<qsizetype>(value.size())));
  }
}

void QtSettingsStore::deleteKey() {
  if (inspect() != FileState::Regular) return;
  if (::unlink(path_.c_str()) != 0) {
    std::fprintf(stderr, "settings: %s: cannot be removed: %s\n", path_.c_str(),
                 std::strerror(errno));
  }
}

}  // namespace vashel
