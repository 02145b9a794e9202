#include "settings/settings_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/memory_file_system.h"

namespace quillmark {
namespace {

TEST(SettingsReader, FindsTheFirstMatchingGroupAndKey) {
  struct Case {
    std::string file, group, key, expected;
  };
  const std::string bom = "\xEF\xBB\xBF";
  const std::vector<Case> cases = {
      {"[mainz]\nPATH=v\n", "MainZ", "Path", "v"},
      {"[ Main ]\nK=v\n", "Main", "K", "<no group>"},
      {"[Main\nK=v\n", "Main", "K", "v"},
      {"[Job_01]\nK=v\n", "Job_1", "K", "<no group>"},
      {"[\xC4]\nK=v\n", "\xE4", "K", "<no group>"},  // only A-Z fold
      {"[G]\nK=first\n[G]\nK=second\nL=2\n", "G", "L", "<default>"},
      {"[G]\nK=first\nK=second\n", "G", "K", "first"},
      {"[G]\n  K \t =  a=b;c \t \n", "G", "K", "a=b;c"},
      {"[G]\r\nK\r\n", "G", "K", ""},
      {"[G]\nK=\n", "G", "K", ""},
      {"[G]\n  ; K=comment\nK=real\n", "G", "K", "real"},
      {"[G]\n  ;K=comment\n", "G", "K", "<default>"},
      {"\r[G]\rK = P\r", "G", "K", "P"},
      {"\n\r\n[G]\r\n\r\r; note\n \t \r\nK = P", "G", "K", "P"},
      {bom + "[G]\nK=B\xC3\xBCro \xE2\x82\xAC \xFF\xE2\x82", "G", "K", "B\xFCro ? ??"},
      {bom + "[G]\nK\xC3\xBC=1\n", "G", "K\xFC", "1"},           // names are looked up in UTF-8
      {bom + "[G]\nK=\xE0\x80\x80\xE0\xA0", "G", "K", "???\?"},  // an overlong form, a cut-off sequence
      {"[G]\nK=B\xC3\xBCro\n", "G", "K", "B\xC3\xBCro"},         // without the mark bytes stay
      {bom, "Main", "K", "<no group>"},
  };
  for (const Case& c : cases) {
    testing::MemoryFileSystem files;
    files.Put("Settings.ini", c.file);
    SettingsReader reader(files);
    ASSERT_TRUE(reader.OpenSettingsFile("Settings.ini"));
    const bool found = reader.SelectSettingsGroup(c.group);
    EXPECT_EQ(found ? reader.ReadTextValue(c.key, "<default>") : "<no group>", c.expected) << c.file;
  }
}

}  // namespace
}  // namespace quillmark
