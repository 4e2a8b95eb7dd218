// Which file system holds a folder, from the kernel's mount table: the shell
// refuses to register the start-up entry when the character runs from a disc.
#pragma once

#include <string>
#include <string_view>

namespace vashel {

// The file-system type of the mount that holds `path` (absolute), from the
// text of /proc/self/mountinfo: the mount whose mount point is the longest
// whole-component prefix of `path`; of equal mount points the later line, which
// is mounted on top. Escaped characters in mount points (\040 for a space) are
// decoded. Empty when no line matches or `path` is relative; malformed lines
// are skipped.
std::string mountTypeAt(std::string_view mountinfo, std::string_view path);

// Disc file systems: iso9660 and udf.
bool isOpticalFileSystem(std::string_view type);

// Whether the folder `path` lies on a disc, by this process's mount table. False when the
// table cannot be read (with one line on standard error) or `path` is empty.
bool directoryOnOpticalMedia(const std::string& path);

}  // namespace vashel
