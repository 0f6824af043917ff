// The disk's own rules, which no file system in memory can show: links
// followed as the system follows them (and refused where another user may
// have planted them), the process's own streams as outputs, and a new file
// given the earlier one's owner, group, attributes and bits.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "app/disk_file_system.h"
#include "tests/run_program.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

TEST(DiskFileSystem, ResolvesLinksAsTheSystemDoes) {
  ScratchDir dir;
  const std::string root = dir.path().string();
  fs::create_directories(dir.path() / "sub" / "deeper");
  fs::create_symlink("sub/deeper", dir.path() / "into");
  fs::create_symlink("end.mml", dir.path() / "chain0.mml");
  for (int i = 1; i <= 41; ++i) {
    fs::create_symlink("chain" + std::to_string(i - 1) + ".mml",
                       dir.path() / ("chain" + std::to_string(i) + ".mml"));
  }
  struct Case {
    std::string name;
    int error;
    std::string target;
  };
  const Case cases[] = {
      {root + "/plain.mml", 0, root + "/plain.mml"},
      {root + "/into/x.mml", 0, root + "/sub/deeper/x.mml"},
      // ".." after a link leaves what the link named, not the link's folder.
      {root + "/into/../x.mml", 0, root + "/sub/x.mml"},
      {root + "/chain39.mml", 0, root + "/end.mml"},  // 40 links
      {root + "/chain40.mml", ELOOP, ""},
      {"/dev/./stdout", 0, "/dev/fd/1"},
      {"/proc/self/./fd/2", 0, "/dev/fd/2"},
  };
  DiskFileSystem disk;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string target;
    const Fault fault = disk.resolve(c.name, target);
    EXPECT_EQ(fault.error, c.error);
    if (c.error == 0) {
      EXPECT_EQ(target, c.target);
    }
  }
  NodeInfo info;
  ASSERT_FALSE(disk.info("/dev/fd/1", info));
  EXPECT_EQ(info.kind, NodeKind::kStream);
}

// Another user is played by the owner of a link that root gives away.
TEST(DiskFileSystem, RefusesAnotherUsersLinkInAStickyFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another user";
  ScratchDir dir;
  const fs::path sticky = dir.path() / "sticky";
  fs::create_directory(sticky);
  ASSERT_EQ(chmod(sticky.c_str(), 01777), 0);
  const uid_t other = 4243;
  struct Case {
    const char* name;
    uid_t owner;
    int error;
  };
  const Case cases[] = {
      {"planted.mml", other, EACCES},
      {"mine.mml", 0, 0},  // this user's, and the folder owner's
  };
  DiskFileSystem disk;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path link = sticky / c.name;
    fs::create_symlink(dir.path() / "target.mml", link);  // dangling
    ASSERT_EQ(lchown(link.c_str(), c.owner, c.owner), 0);
    std::string target;
    EXPECT_EQ(disk.resolve(link.string(), target).error, c.error);
  }
  // Outside a sticky folder another user's link is followed.
  const fs::path link = dir.path() / "elsewhere.mml";
  fs::create_symlink(dir.path() / "target.mml", link);
  ASSERT_EQ(lchown(link.c_str(), other, other), 0);
  std::string target;
  EXPECT_FALSE(disk.resolve(link.string(), target));
  EXPECT_EQ(target, (dir.path() / "target.mml").string());
}

TEST(DiskFileSystem, GivesTheNewFileTheEarlierOnesOwnerGroupAttributesAndBits) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
  ScratchDir dir;
  dir.write("earlier.mml", {'o', 'l', 'd'});
  const std::string earlier = (dir.path() / "earlier.mml").string();
  ASSERT_EQ(chown(earlier.c_str(), 4243, 4242), 0);
  ASSERT_EQ(chmod(earlier.c_str(), 0640), 0);
  const bool attributes = setxattr(earlier.c_str(), "user.tag", "x", 1, 0) == 0;
  DiskFileSystem disk;
  std::unique_ptr<OutputStream> stream;
  bool kept = false;
  const std::string name = (dir.path() / ".new.tmp").string();
  ASSERT_FALSE(disk.createTemporary(name, &earlier, stream, kept));
  EXPECT_TRUE(kept);
  struct stat status;
  ASSERT_EQ(stat(name.c_str(), &status), 0);
  EXPECT_EQ(status.st_uid, 4243u);
  EXPECT_EQ(status.st_gid, 4242u);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  if (attributes) {
    char value[4] = {};
    EXPECT_EQ(getxattr(name.c_str(), "user.tag", value, sizeof value), 1);
  }
  stream->close();
  disk.remove(name);
}

}  // namespace
}  // namespace vantrel::test
