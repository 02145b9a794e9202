#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/fixed_clock.h"
#include "support/program_runner.h"

namespace quillmark {
namespace {

class PosixFileSystemTest : public ::testing::Test {
 protected:
  // Relative paths resolve against the working directory, so the test runs inside the temp dir.
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  testing::TempDir dir_;
  std::filesystem::path previous_;
  testing::FixedClock clock_{LocalTime{2026, 12, 6, 21, 30, 0}};
  PosixFileSystem files_{clock_};
};

TEST_F(PosixFileSystemTest, ReadWholeFileTakesRegularFilesOnly) {
  std::string big(200000, 'x');
  big[100000] = '\0';
  testing::WriteFileBytes("big.ini", big);
  testing::WriteFileBytes("empty.ini", "");
  ASSERT_EQ(::mkdir("folder.ini", 0755), 0);
  ASSERT_EQ(::mkfifo("fifo.ini", 0644), 0);

  std::string contents = "stale";
  EXPECT_TRUE(files_.ReadWholeFile("big.ini", contents));
  EXPECT_EQ(contents, big);
  EXPECT_TRUE(files_.ReadWholeFile("empty.ini", contents));
  EXPECT_EQ(contents, "");
  for (const char* bad : {"missing.ini", "folder.ini", "fifo.ini"}) {
    contents = "stale";
    EXPECT_FALSE(files_.ReadWholeFile(bad, contents)) << bad;
    EXPECT_EQ(contents, "") << bad;
  }
}

TEST_F(PosixFileSystemTest, ReadOnlyFileIsReadable) {
  testing::WriteFileBytes("ro.ini", "[Main]\n");
  ASSERT_EQ(::chmod("ro.ini", 0444), 0);
  std::string contents;
  EXPECT_TRUE(files_.ReadWholeFile("ro.ini", contents));
  EXPECT_EQ(contents, "[Main]\n");
}

TEST_F(PosixFileSystemTest, AppendLockedWritesHeaderOnlyIntoEmptyFile) {
  EXPECT_TRUE(files_.AppendLocked("a.log", "H\n", "one\n"));
  EXPECT_TRUE(files_.AppendLocked("a.log", "H\n", "two\n"));
  EXPECT_EQ(testing::ReadFileBytes("a.log"), "H\none\ntwo\n");
  EXPECT_FALSE(files_.AppendLocked("missing-dir/a.log", "H\n", "x"));
}

TEST_F(PosixFileSystemTest, SaveNewFileNeverOverwritesAndNamesSortByTime) {
  const std::vector<std::uint8_t> data = {0x1B, 0x40, 0x00, 'A', 0x0C};
  const std::string first = files_.SaveNewFile("Ungedruckt", data.data(), data.size());
  const std::string second = files_.SaveNewFile("Ungedruckt", data.data(), 2);
  EXPECT_EQ(first, "Ungedruckt/20261206-213000-1.prn");
  EXPECT_EQ(second, "Ungedruckt/20261206-213000-2.prn");
  EXPECT_EQ(testing::ReadFileBytes(first), std::string("\x1B\x40\x00"
                                                       "A\x0C",
                                                       5));
  EXPECT_EQ(testing::ReadFileBytes(second), "\x1B\x40");

  clock_.Set(LocalTime{2027, 1, 2, 3, 4, 5});
  EXPECT_EQ(files_.SaveNewFile("deep/er/folder/", data.data(), 0), "deep/er/folder/20270102-030405-1.prn");
  EXPECT_TRUE(testing::FileExists("deep/er/folder/20270102-030405-1.prn"));
}

TEST_F(PosixFileSystemTest, SaveNewFileFailsWhereNoFolderCanBeMade) {
  testing::WriteFileBytes("plain", "x");
  const std::uint8_t byte = 'A';
  EXPECT_EQ(files_.SaveNewFile("plain", &byte, 1), "");
  EXPECT_EQ(files_.SaveNewFile("plain/sub", &byte, 1), "");
  EXPECT_EQ(testing::ReadFileBytes("plain"), "x");
}

}  // namespace
}  // namespace quillmark
