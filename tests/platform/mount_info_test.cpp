// The mount table reader: the mount holding a folder is the longest mount
// point that is a whole-component prefix of it, and disc types are told apart.
#include "platform/mount_info.h"

#include <gtest/gtest.h>

#include <string>

namespace vashel {
namespace {

// Lines as the kernel writes them: optional fields between the options and
// the "-", spaces in mount points as \040.
constexpr char kTable[] =
    "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "30 22 0:26 / /media rw,relatime shared:5 - tmpfs tmpfs rw\n"
    "41 30 11:0 / /media/cd ro,relatime shared:20 - iso9660 /dev/sr0 ro\n"
    "42 30 11:1 / /media/cdrom ro,relatime - ext4 /dev/sdb1 rw\n"
    "43 41 8:17 / /media/cd/usb rw,relatime shared:21 master:3 - vfat /dev/sdc1 rw\n"
    "44 30 11:2 / /media/My\\040Disc ro,relatime - udf /dev/sr1 ro\n"
    "45 30 0:50 / /media/My rw - tmpfs tmpfs rw\n"
    "46 22 8:3 / /srv/stack rw - iso9660 /dev/sr2 ro\n"
    "47 22 8:4 / /srv/stack rw - xfs /dev/sdd1 rw\n"
    "48 22 8:5 / /back\\134slash rw - udf /dev/sr3 ro\n";

TEST(MountInfo, LongestWholeComponentPrefixDecides) {
  EXPECT_EQ(mountTypeAt(kTable, "/"), "ext4");
  EXPECT_EQ(mountTypeAt(kTable, "/home/user"), "ext4");
  EXPECT_EQ(mountTypeAt(kTable, "/media"), "tmpfs");
  EXPECT_EQ(mountTypeAt(kTable, "/media/cd"), "iso9660");
  EXPECT_EQ(mountTypeAt(kTable, "/media/cd/chara/data"), "iso9660");
  EXPECT_EQ(mountTypeAt(kTable, "/media/cdrom/chara"), "ext4") << "not inside /media/cd";
  EXPECT_EQ(mountTypeAt(kTable, "/media/cd/usb/chara"), "vfat") << "a mount on the disc";
  EXPECT_EQ(mountTypeAt(kTable, "/media/cd/usbx"), "iso9660");
  // Of two mounts on one point the later one is on top.
  EXPECT_EQ(mountTypeAt(kTable, "/srv/stack/x"), "xfs");
}

TEST(MountInfo, EscapedMountPointsAreDecoded) {
  EXPECT_EQ(mountTypeAt(kTable, "/media/My Disc/chara"), "udf");
  EXPECT_EQ(mountTypeAt(kTable, "/media/My"), "tmpfs");
  EXPECT_EQ(mountTypeAt(kTable, "/media/My\\040Disc"), "tmpfs") << "escapes are not literal";
  EXPECT_EQ(mountTypeAt(kTable, "/back\\slash"), "udf");
}

TEST(MountInfo, MalformedLinesAreSkipped) {
  const std::string table = std::string(kTable) +
                            "50 22 8:6 / /media/cd/bad rw - \n"      // no type after "-"
                            "51 22 8:7 / /media/cd/short\n"          // cut short
                            "52 22 8:8 / /media/cd/nosep rw a b c d\n"  // no "-"
                            "54 22 8:9 / /media/cd/trail\\04 rw - ext4 x rw\n"
                            "\n   \n";
  for (const char* path : {"/media/cd/bad", "/media/cd/short", "/media/cd/nosep"}) {
    EXPECT_EQ(mountTypeAt(table, path), "iso9660") << path;
  }
  EXPECT_EQ(mountTypeAt(table, "/media/cd/trail\\04/x"), "ext4") << "a broken escape stays as it is";
  EXPECT_EQ(mountTypeAt("", "/"), "");
  EXPECT_EQ(mountTypeAt("garbage\nmore garbage", "/"), "");
  EXPECT_EQ(mountTypeAt(kTable, ""), "");
}

TEST(MountInfo, OnlyDiscFileSystemsAreOptical) {
  EXPECT_TRUE(isOpticalFileSystem("iso9660"));
  EXPECT_TRUE(isOpticalFileSystem("udf"));
  for (const char* type : {"", "ext4", "fuse.fuseiso", "iso", "UDF", "udf2", "tmpfs"}) {
    EXPECT_FALSE(isOpticalFileSystem(type)) << type;
  }
  // This process's own table: the test folder is no disc.
  EXPECT_FALSE(directoryOnOpticalMedia(VASHEL_TEST_DATA));
  EXPECT_FALSE(directoryOnOpticalMedia(""));
}

}  // namespace
}  // namespace vashel
