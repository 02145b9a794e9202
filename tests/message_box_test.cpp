// The message box: standard error without a screen, a real dialog on a virtual display.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>

#include "platform/qt/qt_application.h"
#include "platform/qt/qt_desktop.h"
#include "support/desktop_session.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::Capture;
using testing::Describe;
using testing::Passed;
using testing::RunDesktopChild;
using testing::TempDir;
using testing::VirtualDisplay;

constexpr const char kText[] = "Keine Settings.ini gefunden!\r\rDas Programm wird nun beendet.";

TEST(MessageBoxChild, Show) {
  QUILLMARK_DESKTOP_CHILD_ONLY();
  testing::ChildApplication();
  QtDesktop desktop;
  // Describes the dialog from inside its own event loop.
  QTimer::singleShot(200, [] {
    const auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    std::printf("box title=%s buttons=%d icon=%d text=%s|\n", qPrintable(box->windowTitle()),
                static_cast<int>(box->buttons().size()), static_cast<int>(box->icon()), qPrintable(box->text()));
    std::fflush(stdout);
  });
  desktop.ShowMessageBox("Executable", kText);
  std::puts(IsHeadless() ? "returned headless" : "returned after close");
}

TEST(MessageBox, HeadlessGoesToStandardError) {
  TempDir dir;
  const auto result = RunDesktopChild("MessageBoxChild.Show", dir.path(), {}, 20s);
  ASSERT_TRUE(Passed(result)) << Describe(result);
  EXPECT_NE(result.out.find("returned headless"), std::string::npos);
  EXPECT_EQ(result.err, "Executable: Keine Settings.ini gefunden!\n\nDas Programm wird nun beendet.\n");
}

class MessageBoxOnDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = VirtualDisplay::MissingTools(false);
    if (!missing.empty()) GTEST_SKIP() << "missing: " << missing;
    display_ = std::make_unique<VirtualDisplay>(false);
    ASSERT_TRUE(display_->ok()) << display_->error();
  }
  std::string X(const std::string& command) { return Capture(display_->ShellPrefix() + command + " 2>/dev/null"); }
  bool BoxShown() { return !X("xdotool search --onlyvisible --name '^Executable$'").empty(); }

  std::unique_ptr<VirtualDisplay> display_;
  TempDir dir_;
};

TEST_F(MessageBoxOnDisplay, BlocksUntilReturnIsPressed) {
  auto child = testing::StartDesktopChild("MessageBoxChild.Show", dir_.path(), display_->Env());
  ASSERT_TRUE(testing::WaitUntil([&] { return BoxShown(); }, 10s)) << Describe(child->Wait(1s));
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(child->Running()) << "the box must wait for the user";
  X("xdotool key Return");
  const auto result = child->Wait(10s);
  ASSERT_TRUE(Passed(result)) << Describe(result);
  EXPECT_NE(result.out.find("box title=Executable buttons=1 icon=0 text=Keine Settings.ini gefunden!\n\nDas "
                            "Programm wird nun beendet.|"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("returned after close"), std::string::npos);
  EXPECT_EQ(result.err, "");
}

TEST_F(MessageBoxOnDisplay, CloseSignalClosesTheBox) {
  auto child = testing::StartDesktopChild("MessageBoxChild.Show", dir_.path(), display_->Env());
  ASSERT_TRUE(testing::WaitUntil([&] { return BoxShown(); }, 10s)) << Describe(child->Wait(1s));
  child->Signal(SIGTERM);
  const auto result = child->Wait(10s);
  EXPECT_TRUE(Passed(result)) << Describe(result);
  EXPECT_NE(result.out.find("returned after close"), std::string::npos);
}

}  // namespace
}  // namespace quillmark
