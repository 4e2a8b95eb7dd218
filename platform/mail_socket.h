// Where the new-mail channel's socket is and what travels over it: shared by
// the character, which listens, and the vashel-mail sender.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/runtime_dir.h"

namespace vashel {

// The socket's file name for an X display such as ":0", "localhost:10.0" or
// none (null or empty): "vezudovora-<display>", the screen number dropped
// (one display server is one desktop) and characters that have no place in a
// file name replaced.
std::string mailSocketName(const char* display);

// Where the socket is: the absolute path in VASHEL_MAIL_SOCKET when it is set
// (tests, measurements), else mailSocketName($DISPLAY) in the private runtime
// folder, which is created when `createFolder` is set. On failure the path is
// empty and `error` says why; `missing` when the folder does not exist.
RuntimeDir mailSocketPath(bool createFolder);

// The count in one line: decimal digits only, optionally followed by "\n" or
// "\r\n"; at most 4294967295. Anything else is no count.
std::optional<std::uint32_t> parseMailCount(std::string_view line);

// Replies the server sends before it closes the connection.
inline constexpr char kMailAccepted[] = "ok\n";
inline constexpr char kMailRejected[] = "bad\n";

}  // namespace vashel
