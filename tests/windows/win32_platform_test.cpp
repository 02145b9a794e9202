// The Win32 layer against the real Windows services (run under Wine by scripts/test-windows.sh).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_log_sink.h"
#include "platform/win32/win32_print_device.h"
#include "platform/win32/win32_print_system.h"
#include "platform/win32/win32_spool_files.h"
#include "spool/job_records.h"
#include "support/fixed_clock.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

class Win32Platform : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quillmark-" + std::to_string(::GetCurrentProcessId()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  // Another opener of `path` with the given access and share mode, as a DOS program or an editor would be.
  static HANDLE OpenOther(const std::string& path, DWORD access, DWORD share) {
    return ::CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  fs::path dir_;
};

TEST_F(Win32Platform, SpoolFileTakeAndSharingRule) {
  Win32SpoolFiles spool;
  SpoolNotice notice = SpoolNotice::kNone;
  const std::string path = Path("SPOOL.PRN");
  Write(path, "0123456789");
  {
    auto file = spool.Open(path, notice);
    ASSERT_NE(file, nullptr);
    // During a take nobody else can open the file, not even to read it.
    EXPECT_EQ(OpenOther(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
    std::vector<std::uint8_t> bytes(10);
    EXPECT_EQ(file->Size(), 10);
    EXPECT_EQ(file->Read(0, bytes.data(), 10), 10);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
    EXPECT_FALSE(file->Empty(9).ok()) << "not the size that was read";
    EXPECT_TRUE(file->Empty(10).ok());
  }
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(fs::file_size(path), 0u);

  // Any other opener, however generous its own share mode, makes the pass skip the file.
  for (const DWORD access : {DWORD{GENERIC_READ}, DWORD{GENERIC_WRITE}}) {
    const HANDLE other = OpenOther(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(spool.Open(path, notice), nullptr) << access;
    EXPECT_EQ(notice, SpoolNotice::kInUse);
    ::CloseHandle(other);
  }
  // A missing file is created empty; a device, a folder or a missing folder is no spool file.
  EXPECT_NE(spool.Open(Path("new.prn"), notice), nullptr);
  EXPECT_TRUE(fs::exists(Path("new.prn")));
  for (const std::string& odd : {std::string("NUL"), dir_.string()}) {
    EXPECT_EQ(spool.Open(odd, notice), nullptr) << odd;
    EXPECT_EQ(notice, SpoolNotice::kNotRegular) << odd;
  }
  EXPECT_EQ(spool.Open(Path("missing\\SPOOL.PRN"), notice), nullptr);
  // A spool file with a second name is left alone, and so is the file behind it.
  Write(Path("secret.txt"), "secret");
  ASSERT_TRUE(::CreateHardLinkA(Path("linked.prn").c_str(), Path("secret.txt").c_str(), nullptr));
  EXPECT_EQ(spool.Open(Path("linked.prn"), notice), nullptr);
  EXPECT_EQ(notice, SpoolNotice::kLinked);
  EXPECT_EQ(Read(Path("secret.txt")), "secret");
}

TEST_F(Win32Platform, FilesAreReadWhileOthersWriteAndSavedWithoutOverwriting) {
  const testing::FixedClock clock;
  Win32FileSystem files(clock);
  const std::string log = Path("Error.log");
  Win32LogSink sink(log);
  EXPECT_EQ(sink.Append("header\r\n", "one\r\n"), "");
  EXPECT_EQ(sink.Append("header\r\n", "two\r\n"), "");
  // An editor holding the file open for writing does not keep it from being read.
  const HANDLE editor = OpenOther(log, GENERIC_WRITE, FILE_SHARE_READ);
  std::string contents;
  EXPECT_TRUE(files.ReadWholeFile(log, contents).ok());
  ::CloseHandle(editor);
  EXPECT_EQ(contents, "header\r\none\r\ntwo\r\n");
  const FileStatus missing = files.ReadWholeFile(Path("missing.ini"), contents);
  EXPECT_FALSE(missing.ok());
  EXPECT_FALSE(missing.reason().empty()) << "the system's words for it";

  const std::uint8_t data[] = {'E', 'S', 'C', 0x1B, 0x00};
  const std::string first = files.SaveNewFile(Path("Ungedruckt"), data, sizeof data).path();
  const std::string second = files.SaveNewFile(Path("Ungedruckt"), data, sizeof data).path();
  EXPECT_EQ(fs::path(first).filename(), "20070315-094105-001.prn");
  EXPECT_EQ(fs::path(second).filename(), "20070315-094105-002.prn");
  EXPECT_EQ(Read(second), std::string(reinterpret_cast<const char*>(data), sizeof data));

  // Takes: written once under a name, flushed, renamed and moved without replacing, listed, removed.
  const std::string take = Path("Warteschlange/1-1.new");
  EXPECT_TRUE(files.WriteNewFile(take, data, sizeof data).ok());
  EXPECT_FALSE(files.WriteNewFile(take, data, 1).ok());
  EXPECT_TRUE(files.FlushToDisk(take).ok());
  EXPECT_TRUE(files.WriteNewFile(Path("Warteschlange/2-1.prn"), data, 1).ok());
  EXPECT_FALSE(files.Rename(take, Path("Warteschlange/2-1.prn")).ok());
  EXPECT_TRUE(files.Rename(take, Path("Warteschlange/1-1.prn")).ok());
  fs::create_directories(Path("Warteschlange/0-folder"));
  std::vector<std::string> names;
  EXPECT_TRUE(files.ListFiles(Path("Warteschlange"), names).ok());
  EXPECT_EQ(names, (std::vector<std::string>{"1-1.prn", "2-1.prn"}));
  EXPECT_EQ(
      fs::path(files.MoveToNewFile(Path("Warteschlange/1-1.prn"), Path("Ungedruckt")).path()).filename(),
      "20070315-094105-003.prn");
  EXPECT_TRUE(files.RemoveDurably(Path("Warteschlange/2-1.prn")).ok());
  EXPECT_TRUE(files.RemoveDurably(Path("Warteschlange/2-1.prn")).ok());
  EXPECT_TRUE(files.ListFiles(Path("Warteschlange"), names).ok() && names.empty());
  EXPECT_TRUE(files.ListFiles(Path("missing"), names).ok() && names.empty());

  // A take of several blocks is copied whole and read through a mapping, which neither a flush nor a rename
  // disturbs; once closed, its file can be removed.
  std::string big(2'500'007, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7919 % 251);
  ASSERT_TRUE(files
                  .CopyNewFile(Path("Warteschlange/3-1.tmp"), big.size(),
                               [&](std::uint8_t* block, std::size_t length, std::uint64_t offset) {
                                 std::copy_n(big.data() + offset, length, block);
                                 return true;
                               })
                  .ok());
  std::unique_ptr<TakeFile> queued;
  ASSERT_TRUE(files.OpenTake(Path("Warteschlange/3-1.tmp"), queued).ok());
  const auto* mapped = reinterpret_cast<const char*>(queued->Map(queued->Size()));
  ASSERT_NE(mapped, nullptr);
  EXPECT_TRUE(files.FlushToDisk(Path("Warteschlange/3-1.tmp")).ok());
  EXPECT_TRUE(files.Rename(Path("Warteschlange/3-1.tmp"), Path("Warteschlange/3-1.prn")).ok());
  queued->Drop(2'000'000);
  EXPECT_TRUE(std::equal(big.begin(), big.end(), mapped)) << "read again after the drop";
  queued.reset();
  EXPECT_TRUE(files.RemoveDurably(Path("Warteschlange/3-1.prn")).ok());
  EXPECT_FALSE(files.OpenTake(Path("Warteschlange/3-1.prn"), queued).ok());

  // A finished PDF moves to the next free number and never replaces a file.
  Write(Path("a.tmp"), "new");
  const std::wstring moved =
      MoveToNewName(fs::path(Path("a.tmp")).wstring(), dir_.wstring(), L"DOS-Job", L".prn");
  ASSERT_FALSE(moved.empty());
  const std::wstring name = fs::path(moved).filename().wstring();
  Write(Path("b.tmp"), "newer");
  const std::wstring next =
      MoveToNewName(fs::path(Path("b.tmp")).wstring(), dir_.wstring(), L"DOS-Job", L".prn");
  EXPECT_EQ(name.substr(name.size() - 8), L"-001.prn");
  EXPECT_EQ(fs::path(next).filename().wstring().substr(name.size() - 8), L"-002.prn");
  EXPECT_EQ(Read(fs::path(moved).string()), "new");
}

TEST_F(Win32Platform, PrintersThatCannotBeOpenedLeaveNothingBehind) {
  Win32PrintSystem printers;
  for (const std::string& name : std::vector<std::string>{"", "Kein solcher Drucker", "PDF:" + Path("pdf")}) {
    JobSettings settings;
    settings.Printer.Assign(name);
    EXPECT_EQ(printers.OpenDevice(settings), nullptr) << name;  // Wine has no "Microsoft Print to PDF"
  }
  EXPECT_TRUE(fs::is_empty(Path("pdf")));

  // What a killed run's driver left goes at the next start; a file still being written and others' stay.
  for (const char* name : {"qm1A2F.tmp", "qm7.tmp", "qmB.tmp", "qmNOTE.tmp", "qm12345.tmp", "bericht.tmp"}) {
    Write(Path("pdf/") + name, "%PDF-");
  }
  const HANDLE writer = OpenOther(Path("pdf/qmB.tmp"), GENERIC_WRITE, FILE_SHARE_READ);
  JobSettings pdf;
  pdf.Printer.Assign("PDF:" + Path("pdf"));
  printers.RemoveLeftovers(pdf);
  ::CloseHandle(writer);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(Path("pdf")))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"bericht.tmp", "qm12345.tmp", "qmB.tmp", "qmNOTE.tmp"}));

  struct Case {
    std::uint8_t pitchAndFamily;
    std::string faceName;
    std::int32_t weight;
    std::wstring face;
    LONG lfWeight;
  };
  for (const Case& c : std::vector<Case>{{0x31, "", 400, L"Courier New", FW_NORMAL},
                                         {0x32, "", 700, L"Arial", FW_BOLD},
                                         {0x31, "", 500, L"Courier New", FW_NORMAL},
                                         {0x32, "Roman", 400, L"Times New Roman", FW_NORMAL}}) {
    FontRequest request;
    request.height = -84;
    request.width = 60;
    request.weight = c.weight;
    request.charSet = 255;
    request.pitchAndFamily = c.pitchAndFamily;
    request.faceName = c.faceName;
    const LOGFONTW font = MakeLogFont(request);
    EXPECT_EQ(std::wstring(font.lfFaceName), c.face);
    EXPECT_EQ(font.lfWeight, c.lfWeight);
    EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(font.lfHeight, -84);
    EXPECT_EQ(font.lfWidth, 60);
    EXPECT_NE(printers.CreateFont(request), 0u);
  }
}

TEST_F(Win32Platform, PaperOfTheJobWhereTheDriverOffersIt) {
  // The PostScript printer that scripts/test-windows.sh adds; its PPD offers A4, A5 and Letter.
  struct Case {
    float width, height;
    int dotsAcross, dotsDown;
  };
  for (const Case& c : std::vector<Case>{{148.0f, 210.0f, 1748, 2480}, {210.0f, 297.0f, 2480, 3508}}) {
    const HDC dc = Win32PrintSystem::OpenOnPaper(L"Quillmark PS", c.width, c.height);
    if (dc == nullptr) GTEST_SKIP() << "no test printer";
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSX);
    EXPECT_NEAR(::GetDeviceCaps(dc, PHYSICALWIDTH) * 300 / dpi, c.dotsAcross, 3) << c.width;
    EXPECT_NEAR(::GetDeviceCaps(dc, PHYSICALHEIGHT) * 300 / dpi, c.dotsDown, 3) << c.height;
    ::DeleteDC(dc);
  }
}

TEST_F(Win32Platform, IconResourceOneHoldsEightImages) {
  // The group directory: reserved, type and count, then 14 bytes per image (width at 0, bit count at 6).
  const HRSRC group = ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_NE(group, nullptr);
  const auto* bytes = static_cast<const std::uint8_t*>(::LockResource(::LoadResource(nullptr, group)));
  std::string images;
  for (int i = 0; i < bytes[4]; ++i) {
    const std::uint8_t* entry = bytes + 6 + 14 * i;
    images += std::to_string(entry[0]) + "x" + std::to_string(entry[6]) + " ";
  }
  EXPECT_EQ(images, "48x8 48x32 32x8 32x32 24x8 24x32 16x8 16x32 ");
}

// Records what the main window's message handling reports.
class RecordingEvents final : public DesktopEvents {
 public:
  void OnCloseRequest() override { log += "close;"; }
  void OnTrayMouse(TrayMouse mouse) override {
    log += "mouse " + std::to_string(static_cast<int>(mouse)) + ";";
  }
  void OnMenuChoice(int item) override { log += "menu " + std::to_string(item) + ";"; }
  void OnSessionEndQuery() override { log += "session end;"; }
  std::string log;
};

TEST_F(Win32Platform, MainWindowMessagesBecomeEvents) {
  Win32Desktop desktop;
  RecordingEvents events;
  desktop.SetEvents(&events);
  desktop.CreateTrayInterface();
  const HWND window = desktop.MainWindow();
  ASSERT_NE(window, nullptr);
  wchar_t title[32] = {};
  ::GetWindowTextW(window, title, 32);
  EXPECT_EQ(std::wstring(title), L"Quillmark 1.0");
  EXPECT_FALSE(::IsWindowVisible(window));

  struct Case {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::string events;
    LRESULT result;
  };
  constexpr UINT tray = Win32Desktop::kTrayMessage;
  for (const Case& c : std::vector<Case>{{WM_CLOSE, 0, 0, "close;", 0},
                                         {tray, 0, WM_LBUTTONDOWN, "mouse 0;", 0},
                                         {tray, 0, WM_RBUTTONDOWN, "mouse 1;", 0},
                                         {tray, 0, WM_RBUTTONDBLCLK, "mouse 3;", 0},
                                         {tray, 0, WM_MOUSEMOVE, "mouse 4;", 0},
                                         {WM_COMMAND, 2, 0, "menu 2;", 0},
                                         {WM_QUERYENDSESSION, 0, 0, "session end;", TRUE}}) {
    events.log.clear();
    EXPECT_EQ(::SendMessageW(window, c.message, c.wParam, c.lParam), c.result) << c.message;
    EXPECT_EQ(events.log, c.events) << c.message;
  }
  EXPECT_TRUE(::IsWindow(window)) << "a close request does not destroy the window";
  desktop.DestroyMainWindow();
  EXPECT_FALSE(::IsWindow(window));
}

}  // namespace
}  // namespace quillmark
