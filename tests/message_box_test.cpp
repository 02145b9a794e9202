// The message box: standard error without a screen, a real dialog on a virtual display.
#include <gtest/gtest.h>

#include "platform/qt/qt_application.h"
#include "platform/qt/qt_desktop.h"
#include "support/desktop_session.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::Describe;
using testing::Passed;
using testing::RunDesktopChild;
using testing::TempDir;

constexpr const char kText[] = "Keine Settings.ini gefunden!\r\rDas Programm wird nun beendet.";

TEST(MessageBoxChild, Show) {
  QUILLMARK_DESKTOP_CHILD_ONLY();
  testing::ChildApplication();
  QtDesktop desktop;
  desktop.ShowMessageBox("Executable", kText);
  std::fputs(IsHeadless() ? "returned headless\n" : "returned after close\n", stdout);
}

TEST(MessageBox, HeadlessGoesToStandardError) {
  TempDir dir;
  const auto result = RunDesktopChild("MessageBoxChild.Show", dir.path(), {}, 20s);
  ASSERT_TRUE(Passed(result)) << Describe(result);
  EXPECT_NE(result.out.find("returned headless"), std::string::npos);
  EXPECT_EQ(result.err, "Executable: Keine Settings.ini gefunden!\n\nDas Programm wird nun beendet.\n");
}

}  // namespace
}  // namespace quillmark
