#include "settings/settings_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/memory_file_system.h"

namespace quillmark {
namespace {

constexpr const char* kDefault = "<default>";

class SettingsReaderTest : public ::testing::Test {
 protected:
  bool Load(const std::string& text) {
    files_.Put("Settings.ini", text);
    return reader_.OpenSettingsFile("Settings.ini");
  }
  // Selects `group` in a freshly loaded `text` and reads `key`; "<no group>" when the selection fails.
  std::string Read(const std::string& text, const std::string& group, const std::string& key) {
    EXPECT_TRUE(Load(text));
    if (!reader_.SelectSettingsGroup(group)) return "<no group>";
    return reader_.ReadTextValue(key, kDefault);
  }

  testing::MemoryFileSystem files_;
  SettingsReader reader_{files_};
};

struct ReadCase {
  std::string file;
  std::string group;
  std::string key;
  std::string expected;
};

TEST_F(SettingsReaderTest, GroupHeaders) {
  const std::vector<ReadCase> cases = {
      {"[main]\nK=v\n", "Main", "K", "v"},
      {"[MAIN]\nK=v\n", "Main", "K", "v"},
      {"[ Main ]\nK=v\n", "Main", "K", "<no group>"},
      {"[ Main ]\nK=v\n", " Main ", "K", "v"},
      {"[Main\nK=v\n", "Main", "K", "v"},
      {"[Main] trailing ; text\nK=v\n", "Main", "K", "v"},
      {"  \t[Main]\nK=v\n", "Main", "K", "v"},
      {"[Job_01]\nK=v\n", "Job_1", "K", "<no group>"},
      {"[Main]]\nK=v\n", "Main", "K", "v"},
      {"[[Main]\nK=v\n", "Main", "K", "<no group>"},
      {"[Main]\nK=first\n[Main]\nK=second\nL=only-in-second\n", "Main", "L", kDefault},
      {"[Main]\nK=first\n[Main]\nK=second\n", "Main", "K", "first"},
      {"[\xC4]\nK=v\n", "\xE4", "K", "<no group>"},  // Ä and ä: only A-Z fold
      {"[]\nK=v\n", "Main", "K", "<no group>"},
  };
  for (const ReadCase& c : cases) EXPECT_EQ(Read(c.file, c.group, c.key), c.expected) << c.file;
}

TEST_F(SettingsReaderTest, KeyLines) {
  const std::vector<ReadCase> cases = {
      {"[G]\nPATH=x\n", "G", "Path", "x"},
      {"[G]\n  Path \t =  \t x y \t \n", "G", "Path", "x y"},
      {"[G]\nPath=a=b;c\n", "G", "Path", "a=b;c"},
      {"[G]\nPath=\"C:\\a b\\x.prn\"\n", "G", "Path", "\"C:\\a b\\x.prn\""},
      {"[G]\nPath\n", "G", "Path", ""},
      {"[G]\r\nPath\r\n", "G", "Path", ""},
      {"[G]\nPath   \n", "G", "Path", ""},
      {"[G]\nPath=\n", "G", "Path", ""},
      {"[G]\nPath=first\nPath=second\n", "G", "Path", "first"},
      {"[G]\n; Path=comment\nPath=real\n", "G", "Path", "real"},
      {"[G]\n   ;Path=comment\n", "G", "Path", kDefault},
      {"[G]\nPaper Width=1\n", "G", "Paper Width", "1"},
      {"[G]\nPaper Width=1\n", "G", "PaperWidth", kDefault},
      {"[G]\n\vPath=x\n", "G", "Path", kDefault},  // only space and tab are blanks
      {"[G]\nPath=x\xA0\n", "G", "Path", "x\xA0"},
      {"Path=top\n[G]\n", "G", "Path", kDefault},
      {"[Other]\nPath=other\n[G]\nX=1\n", "G", "Path", kDefault},
      {"[G]\nX=1\n[H]\nPath=h\n", "G", "Path", kDefault},
      {std::string("[G]\nPath=a\0b\n", 12), "G", "Path", std::string("a\0b", 3)},
  };
  for (const ReadCase& c : cases) EXPECT_EQ(Read(c.file, c.group, c.key), c.expected) << c.file;
}

TEST_F(SettingsReaderTest, LineEndsInAnyFormGiveTheSameResult) {
  const std::vector<std::string> files = {
      "[Main]\n[Job_1]\nPath = P\nPrinter = Q\n",
      "[Main]\r\n[Job_1]\r\nPath = P\r\nPrinter = Q\r\n",
      "[Main]\r[Job_1]\rPath = P\rPrinter = Q",
      "\n\r\n[Main]\n\n\r\r[Job_1]\n; note\n  \t \nPath = P\r\n\r\n; more\nPrinter = Q",
  };
  for (const std::string& file : files) {
    ASSERT_TRUE(Load(file));
    EXPECT_TRUE(reader_.SelectSettingsGroup("Main"));
    ASSERT_TRUE(reader_.SelectSettingsGroup("JOB_1")) << file;
    EXPECT_EQ(reader_.ReadTextValue("Path", kDefault), "P") << file;
    EXPECT_EQ(reader_.ReadTextValue("Printer", kDefault), "Q") << file;
  }
}

TEST_F(SettingsReaderTest, EmptyNameSelectsLinesAboveFirstHeader) {
  ASSERT_TRUE(Load("Top=1\n[G]\nIn=2\n"));
  EXPECT_EQ(reader_.ReadIntegerValue("Top", -1), 1);  // before any selection
  EXPECT_TRUE(reader_.SelectSettingsGroup("G"));
  EXPECT_EQ(reader_.ReadIntegerValue("Top", -1), -1);
  EXPECT_TRUE(reader_.SelectSettingsGroup(""));
  EXPECT_EQ(reader_.ReadIntegerValue("Top", -1), 1);
  EXPECT_EQ(reader_.ReadIntegerValue("In", -1), -1);
}

TEST_F(SettingsReaderTest, FailedSelectionGivesDefaultsUntilNextSuccess) {
  ASSERT_TRUE(Load("Top=t\n[G]\nK=3\n"));
  ASSERT_TRUE(reader_.SelectSettingsGroup("G"));
  EXPECT_FALSE(reader_.SelectSettingsGroup("Missing"));
  EXPECT_EQ(reader_.ReadTextValue("K", kDefault), kDefault);
  EXPECT_EQ(reader_.ReadIntegerValue("K", 9), 9);
  EXPECT_EQ(reader_.ReadFloatValue("K", 1.5f), 1.5f);
  EXPECT_FALSE(reader_.SelectSettingsGroup("Missing"));
  EXPECT_EQ(reader_.ReadTextValue("Top", kDefault), kDefault);
  ASSERT_TRUE(reader_.SelectSettingsGroup("g"));
  EXPECT_EQ(reader_.ReadIntegerValue("K", 9), 3);
}

TEST_F(SettingsReaderTest, NumbersComeFromPresentValuesOnly) {
  ASSERT_TRUE(Load("[G]\nA=  -12abc\nB=\nC=9,75\n"));
  ASSERT_TRUE(reader_.SelectSettingsGroup("G"));
  EXPECT_EQ(reader_.ReadIntegerValue("A", -1), -12);
  EXPECT_EQ(reader_.ReadIntegerValue("B", -1), 0);
  EXPECT_EQ(reader_.ReadIntegerValue("Missing", -1), -1);
  EXPECT_EQ(reader_.ReadFloatValue("B", 210.0f), 0.0f);
  EXPECT_EQ(reader_.ReadFloatValue("C", -1.0f), 9.0f);
  EXPECT_EQ(reader_.ReadFloatValue("Missing", 9.75f), 9.75f);
}

TEST_F(SettingsReaderTest, Utf8FileConvertsValuesToLatin1) {
  const std::string body = "[Main]\n[Job_1]\nPrinter=B\xC3\xBCro \xE2\x82\xAC \xFF\nK\xC3\xBC=1\n";
  ASSERT_TRUE(Load("\xEF\xBB\xBF" + body));
  ASSERT_TRUE(reader_.SelectSettingsGroup("Job_1"));
  EXPECT_EQ(reader_.ReadTextValue("Printer", kDefault), "B\xFCro ? ?");
  EXPECT_EQ(reader_.ReadIntegerValue("K\xFC", -1), 1);  // names are looked up in UTF-8

  ASSERT_TRUE(Load(body));  // without the mark every byte stays as it is
  ASSERT_TRUE(reader_.SelectSettingsGroup("Job_1"));
  EXPECT_EQ(reader_.ReadTextValue("Printer", kDefault), "B\xC3\xBCro \xE2\x82\xAC \xFF");
  EXPECT_EQ(reader_.ReadIntegerValue("K\xFC", -1), -1);
}

TEST_F(SettingsReaderTest, MarkOnlyOrEmptyFileOpensWithoutGroups) {
  for (const std::string& file : {std::string(), std::string("\xEF\xBB\xBF"), std::string("\xEF\xBB")}) {
    ASSERT_TRUE(Load(file));
    EXPECT_FALSE(reader_.SelectSettingsGroup("Main"));
  }
}

TEST_F(SettingsReaderTest, FailedOpenUnloadsAndEverySelectionFails) {
  ASSERT_TRUE(Load("[G]\nK=1\n"));
  ASSERT_TRUE(reader_.SelectSettingsGroup("G"));
  EXPECT_FALSE(reader_.OpenSettingsFile("Missing.ini"));
  EXPECT_FALSE(reader_.IsLoaded());
  EXPECT_FALSE(reader_.SelectSettingsGroup("G"));
  EXPECT_FALSE(reader_.SelectSettingsGroup(""));
  EXPECT_EQ(reader_.ReadIntegerValue("K", 7), 7);

  files_.MakeFolder("Folder.ini");
  EXPECT_FALSE(reader_.OpenSettingsFile("Folder.ini"));
  ASSERT_TRUE(Load("[G]\nK=2\n"));
  reader_.CloseSettingsFile();
  EXPECT_FALSE(reader_.SelectSettingsGroup("G"));
  EXPECT_EQ(files_.Get("Settings.ini"), "[G]\nK=2\n");  // nothing written back
}

TEST_F(SettingsReaderTest, HugeLinesAreReadWhole) {
  const std::string big(1 << 20, 'x');
  ASSERT_TRUE(Load("[G]\nPath=" + big + "   \n;" + big + "\n[" + big + "\nK=1\n" + big + "=v\n"));
  ASSERT_TRUE(reader_.SelectSettingsGroup("G"));
  EXPECT_EQ(reader_.ReadTextValue("Path", kDefault), big);
  ASSERT_TRUE(reader_.SelectSettingsGroup(big));
  EXPECT_EQ(reader_.ReadIntegerValue("K", -1), 1);
  EXPECT_EQ(reader_.ReadTextValue(big, kDefault), "v");
}

}  // namespace
}  // namespace quillmark
