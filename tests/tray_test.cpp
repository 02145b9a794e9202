// The tray on a real virtual display (Xvfb with the trayer tray host), driven with xdotool.
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "platform/qt/qt_application.h"
#include "platform/qt/qt_desktop.h"
#include "support/desktop_session.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::Capture;
using testing::Describe;
using testing::Passed;
using testing::PumpUntil;
using testing::RecordingDesktopEvents;
using testing::RunDesktopChild;
using testing::TempDir;
using testing::VirtualDisplay;

// --- children, on the display the parent made ---

// The tray host's panel; it grows from 2 pixels to the icon's width once the icon has docked.
QRect TrayPanel() {
  auto g = testing::WindowGeometry("--class trayer");
  return QRect(g["X"], g["Y"], g["WIDTH"], g["HEIGHT"]);
}

void Xdotool(const std::string& arguments) { Capture("xdotool " + arguments + " >/dev/null 2>&1"); }

// Pixels of the icon's blue title bar inside `area` of the screen.
int BluePixels(const QRect& area) {
  const std::string rgb = Capture("import -window root -crop " + std::to_string(area.width()) + "x" +
                                  std::to_string(area.height()) + "+" + std::to_string(area.x()) + "+" +
                                  std::to_string(area.y()) + " -depth 8 rgb:- 2>/dev/null");
  int blue = 0;
  for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
    const auto r = static_cast<unsigned char>(rgb[i]);
    const auto g = static_cast<unsigned char>(rgb[i + 1]);
    const auto b = static_cast<unsigned char>(rgb[i + 2]);
    if (b > 150 && r < 110 && g < 150) ++blue;
  }
  return blue;
}

class DockedTray {
 public:
  DockedTray() {
    testing::ChildApplication();
    desktop_ = std::make_unique<QtDesktop>();
    desktop_->CreateTrayInterface();
    desktop_->SetEvents(&events_);
    PumpUntil(*desktop_, [this] { return (panel_ = TrayPanel()).width() >= 16; }, 15s);
  }
  QtDesktop& desktop() { return *desktop_; }
  RecordingDesktopEvents& events() { return events_; }
  const QRect& panel() const { return panel_; }
  QPoint IconCenter() const { return panel_.center(); }

  // Shows the menu; `whileOpen` runs from inside the menu's own event loop once it is up.
  void ShowMenu(const std::function<void(QMenu&)>& whileOpen) {
    QTimer::singleShot(300, [whileOpen] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr) {
        ADD_FAILURE() << "no menu shown";
        Xdotool("key Escape");
        return;
      }
      whileOpen(*menu);
    });
    desktop_->ShowTrayMenu();
  }

 private:
  std::unique_ptr<QtDesktop> desktop_;
  RecordingDesktopEvents events_;
  QRect panel_;
};

QString MenuEntries(const QMenu& menu) {
  QStringList entries;
  for (const QAction* action : menu.actions()) entries << (action->isSeparator() ? "|" : action->text());
  return entries.join(',');
}

void Click(QPoint at, int button, const std::string& extra = "") {
  Xdotool("mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) + " click " + extra +
          std::to_string(button));
}

TEST(TrayDesktopChild, IconDocksAndReportsPresses) {
  QUILLMARK_DESKTOP_CHILD_ONLY();
  DockedTray tray;
  ASSERT_FALSE(IsHeadless());
  ASSERT_GE(tray.panel().width(), 16) << "icon did not dock";
  EXPECT_GE(tray.panel().right(), 760) << "the panel sits at the top-right corner";
  EXPECT_LE(tray.panel().top(), 2);
  // The docked icon paints a little after the panel has grown.
  int blue = 0;
  PumpUntil(tray.desktop(), [&] { return (blue = BluePixels(tray.panel())) >= 4; }, 3s);
  EXPECT_GE(blue, 4) << "the icon's blue title bar is not on screen";

  const std::pair<std::string, std::string> cases[] = {
      {"1", "left-down"},
      {"3", "right-down"},
      {"--repeat 2 --delay 80 1", "left-down; left-double"},
      {"--repeat 2 --delay 80 3", "right-down"},
      {"2", "other-mouse"},
  };
  for (const auto& [click, expected] : cases) {
    SCOPED_TRACE(click);
    RecordingDesktopEvents events;
    tray.desktop().SetEvents(&events);
    const std::size_t want = static_cast<std::size_t>(std::count(expected.begin(), expected.end(), ';') + 1);
    Xdotool("mousemove " + std::to_string(tray.IconCenter().x()) + " " + std::to_string(tray.IconCenter().y()) +
            " click " + click);
    PumpUntil(tray.desktop(), [&] { return events.count() >= want; }, 3s);
    PumpUntil(tray.desktop(), [] { return false; }, 150ms);  // nothing more may follow
    EXPECT_EQ(events.transcript(), expected);
  }

  // Resting on the icon shows no tooltip.
  PumpUntil(tray.desktop(), [] { return false; }, 1500ms);
  for (const QWidget* widget : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(widget->isVisible() && widget->inherits("QTipLabel")) << "a tooltip is shown";
  }
}

TEST(TrayDesktopChild, MenuAtCursorReportsChoiceFromNextWait) {
  QUILLMARK_DESKTOP_CHILD_ONLY();
  DockedTray tray;
  Xdotool("mousemove 300 200");
  QString entries;
  QPoint menuAt;
  tray.ShowMenu([&](QMenu& menu) {
    entries = MenuEntries(menu);
    menuAt = menu.pos();
    const QAction* quit = menu.actions().value(2);
    Click(menu.mapToGlobal(menu.actionGeometry(const_cast<QAction*>(quit)).center()), 1);
  });
  EXPECT_EQ(entries, "Spool ausdrucken,|,Beenden");
  EXPECT_EQ(menuAt, QPoint(299, 199));
  // The choice waits for the event loop.
  EXPECT_EQ(tray.events().transcript(), "");
  tray.desktop().WaitMessage();
  EXPECT_EQ(tray.events().transcript(), "choice 2");
}

TEST(TrayDesktopChild, MenuFromIconChoosesWithEitherButtonOrCloses) {
  QUILLMARK_DESKTOP_CHILD_ONLY();
  DockedTray tray;
  const QPoint icon = tray.IconCenter();
  Xdotool("mousemove " + std::to_string(icon.x()) + " " + std::to_string(icon.y()));
  QRect menuArea;
  tray.ShowMenu([&](QMenu& menu) {
    menuArea = menu.geometry();
    Click(menu.mapToGlobal(menu.actionGeometry(menu.actions().value(0)).center()), 3);
  });
  EXPECT_TRUE(QRect(0, 0, 800, 600).contains(menuArea)) << "the menu is moved onto the screen";
  PumpUntil(tray.desktop(), [&] { return tray.events().count() > 0; }, 2s);
  EXPECT_EQ(tray.events().transcript(), "choice 1");

  // Closed without a choice: nothing.
  tray.ShowMenu([](QMenu&) { Xdotool("key Escape"); });
  PumpUntil(tray.desktop(), [] { return false; }, 200ms);
  EXPECT_EQ(tray.events().transcript(), "choice 1");
}

// --- parents ---

class TrayDesktop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!VirtualDisplay::MissingTools(true).empty()) return;
    display_ = new VirtualDisplay(true);
  }
  static void TearDownTestSuite() {
    delete display_;
    display_ = nullptr;
  }
  void SetUp() override {
    const std::string missing = VirtualDisplay::MissingTools(true);
    if (!missing.empty()) GTEST_SKIP() << "missing: " << missing;
    ASSERT_TRUE(display_->ok()) << display_->error();
  }
  void RunChild(const std::string& name) {
    const auto result = RunDesktopChild("TrayDesktopChild." + name, dir_.path(), display_->Env(), 60s);
    EXPECT_TRUE(Passed(result)) << Describe(result);
  }

  static VirtualDisplay* display_;
  TempDir dir_;
};

VirtualDisplay* TrayDesktop::display_ = nullptr;

TEST_F(TrayDesktop, IconDocksAndReportsPresses) { RunChild("IconDocksAndReportsPresses"); }
TEST_F(TrayDesktop, MenuAtCursorReportsChoiceFromNextWait) { RunChild("MenuAtCursorReportsChoiceFromNextWait"); }
TEST_F(TrayDesktop, MenuFromIconChoosesWithEitherButtonOrCloses) {
  RunChild("MenuFromIconChoosesWithEitherButtonOrCloses");
}

}  // namespace
}  // namespace quillmark
