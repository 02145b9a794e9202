// The POSIX file system on a real temporary folder: what the queue and the kept documents rely on.

#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/fixed_clock.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

using Names = std::vector<std::string>;

const std::uint8_t* Data(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

class PosixFiles : public ::testing::Test {
 protected:
  std::string At(const std::string& name) const { return dir_.File(name); }
  void Write(const std::string& name, const std::string& bytes) { testing::WriteFileBytes(At(name), bytes); }
  std::string Read(const std::string& name) const { return testing::ReadFileBytes(At(name)); }
  Names List(const std::string& folder) {
    Names names;
    EXPECT_TRUE(files_.ListFiles(folder, names).ok()) << folder;
    return names;
  }
  static std::string Made(const FileStatus& status) { return status.ok() ? status.path() : ""; }

  testing::TempDir dir_;
  testing::FixedClock clock_;  // 2007-03-15 09:41:05
  PosixFileSystem files_{clock_};
};

// Regular files only, sorted by byte value, so that the queue's numbered names come out oldest first.
TEST_F(PosixFiles, ListsRegularFilesInByteOrder) {
  for (const char* name :
       {"b", "a", "B", "10-1.prn", "9-1.prn", "000000000002-1.new", "000000000010-1.prn"}) {
    Write(name, "x");
  }
  std::filesystem::create_directory(At("folder"));
  std::filesystem::create_symlink(At("a"), At("link"));
  EXPECT_EQ(List(dir_.path()),
            (Names{"000000000002-1.new", "000000000010-1.prn", "10-1.prn", "9-1.prn", "B", "a", "b"}));
  EXPECT_EQ(List(At("missing")), Names{});
}

// New names sort by time and never replace a file: the next number when one is taken.
TEST_F(PosixFiles, NewFilesGetTheNextFreeTimeName) {
  EXPECT_EQ(Made(files_.SaveNewFile(At("Ungedruckt/deep"), Data("one"), 3)),
            At("Ungedruckt/deep/20070315-094105-001.prn"));
  Write("Ungedruckt/deep/20070315-094105-002.prn", "taken");
  EXPECT_EQ(Made(files_.SaveNewFile(At("Ungedruckt/deep"), Data("two"), 3)),
            At("Ungedruckt/deep/20070315-094105-003.prn"));
  EXPECT_EQ(Read("Ungedruckt/deep/20070315-094105-001.prn"), "one");
  EXPECT_EQ(Read("Ungedruckt/deep/20070315-094105-002.prn"), "taken");
  EXPECT_EQ(Read("Ungedruckt/deep/20070315-094105-003.prn"), "two");
  Write("file", "");
  EXPECT_EQ(Made(files_.SaveNewFile(At("file/sub"), Data("x"), 1)), "");  // its folder cannot be made

  Write("take.prn", "bytes");
  EXPECT_EQ(Made(files_.MoveToNewFile(At("take.prn"), At("Ungedruckt/deep"))),
            At("Ungedruckt/deep/20070315-094105-004.prn"));
  EXPECT_FALSE(testing::FileExists(At("take.prn")));
  EXPECT_EQ(Read("Ungedruckt/deep/20070315-094105-004.prn"), "bytes");
  EXPECT_EQ(Made(files_.MoveToNewFile(At("take.prn"), At("Ungedruckt"))), "");
  EXPECT_FALSE(testing::FileExists(At("Ungedruckt/20070315-094105-001.prn")));
}

TEST_F(PosixFiles, WritesRenamesAndRemovesWithoutReplacingAnything) {
  EXPECT_TRUE(files_.WriteNewFile(At("Warteschlange/1-1.new"), Data("abc"), 3).ok());
  EXPECT_TRUE(files_.FlushToDisk(At("Warteschlange/1-1.new")).ok());
  EXPECT_FALSE(files_.WriteNewFile(At("Warteschlange/1-1.new"), Data("x"), 1).ok());
  EXPECT_EQ(Read("Warteschlange/1-1.new"), "abc");
  EXPECT_FALSE(files_.FlushToDisk(At("Warteschlange/missing")).ok());

  Write("Warteschlange/2-1.prn", "other");
  EXPECT_FALSE(files_.Rename(At("Warteschlange/1-1.new"), At("Warteschlange/2-1.prn")).ok());
  EXPECT_EQ(Read("Warteschlange/2-1.prn"), "other");
  EXPECT_TRUE(files_.Rename(At("Warteschlange/1-1.new"), At("Warteschlange/1-1.prn")).ok());
  EXPECT_EQ(List(At("Warteschlange")), (Names{"1-1.prn", "2-1.prn"}));
  EXPECT_FALSE(files_.Rename(At("Warteschlange/1-1.new"), At("Warteschlange/3-1.prn")).ok());

  EXPECT_TRUE(files_.RemoveDurably(At("Warteschlange/1-1.prn")).ok());
  EXPECT_TRUE(files_.RemoveDurably(At("Warteschlange/1-1.prn")).ok());  // gone already: still gone
  EXPECT_EQ(List(At("Warteschlange")), Names{"2-1.prn"});
}

// A spool file written to after a kill holds the take it was about to lose and more; one that was emptied
// first, or changed, does not. Compared in blocks, so the second block counts too.
TEST_F(PosixFiles, ContinuesOnlyWhenTheWholeTakeIsFollowedByMore) {
  const std::string take(70000, 'x');
  std::string changed = take + "more";
  changed[65537] = 'y';
  const struct {
    std::string spool;
    bool continues;
  } cases[] = {{take + "more", true}, {take, false}, {"", false}, {changed, false}, {"more" + take, false}};
  Write("take.prn", take);
  for (const auto& c : cases) {
    Write("SPOOL.PRN", c.spool);
    bool continues = !c.continues;
    EXPECT_TRUE(files_.Continues(At("SPOOL.PRN"), At("take.prn"), continues).ok());
    EXPECT_EQ(continues, c.continues) << c.spool.size();
  }
  bool continues = true;
  EXPECT_FALSE(files_.Continues(At("missing"), At("take.prn"), continues).ok());
  EXPECT_FALSE(continues);
}

// A take larger than a block is copied and read back byte for byte; its pages may leave memory behind the
// reader and come back when read again. A file cut short before it is mapped maps only what is left.
TEST_F(PosixFiles, TakesAreCopiedInBlocksAndReadThroughAMapping) {
  std::string bytes(2'500'007, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7919 % 251);
  int blocks = 0;
  const auto source = [&](std::uint8_t* block, std::size_t length, std::uint64_t offset) {
    ++blocks;
    std::memcpy(block, bytes.data() + offset, length);
    return true;
  };
  ASSERT_TRUE(files_.CopyNewFile(At("Warteschlange/1-1.tmp"), bytes.size(), source).ok());
  EXPECT_EQ(blocks, 3);
  EXPECT_EQ(Read("Warteschlange/1-1.tmp"), bytes);
  EXPECT_FALSE(files_.CopyNewFile(At("Warteschlange/2-1.tmp"), 10, [](auto...) { return false; }).ok());
  EXPECT_FALSE(testing::FileExists(At("Warteschlange/2-1.tmp"))) << "a failed copy leaves nothing";

  std::unique_ptr<TakeFile> take;
  ASSERT_TRUE(files_.OpenTake(At("Warteschlange/1-1.tmp"), take).ok());
  ASSERT_TRUE(files_.Rename(At("Warteschlange/1-1.tmp"), At("Warteschlange/1-1.prn")).ok());
  const std::uint8_t* mapped = take->Map(take->Size());
  ASSERT_NE(mapped, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped), bytes.size()), bytes);
  take->Drop(2'000'000);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped), bytes.size()), bytes) << "read again";

  ASSERT_TRUE(files_.OpenTake(At("Warteschlange/1-1.prn"), take).ok());
  ASSERT_EQ(::truncate(At("Warteschlange/1-1.prn").c_str(), 5000), 0);
  EXPECT_EQ(take->Size(), 5000);
  mapped = take->Map(static_cast<std::int64_t>(bytes.size()));
  ASSERT_NE(mapped, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped), 5000), bytes.substr(0, 5000));
  EXPECT_FALSE(files_.OpenTake(At("Warteschlange/missing.prn"), take).ok());
}

}  // namespace
}  // namespace quillmark
