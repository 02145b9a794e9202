// The installed desktop integration: menu entry, systemd user unit and icons in their XDG places.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/program_runner.h"

namespace quillmark {
namespace {

using testing::ReadFileBytes;

TEST(DesktopIntegration, InstallPutsEveryFileInItsXdgPlace) {
  testing::TempDir prefix;
  const std::string command = "cmake --install '" + std::string(QUILLMARK_BINARY_DIR) + "' --prefix '" +
                              prefix.path() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  const std::string desktop = ReadFileBytes(prefix.File("share/applications/quillmark.desktop"));
  EXPECT_NE(desktop.find("\nExec=quillmark\n"), std::string::npos);
  EXPECT_NE(desktop.find("\nIcon=quillmark\n"), std::string::npos);
  const std::string unit = ReadFileBytes(prefix.File("lib/systemd/user/quillmark.service"));
  EXPECT_NE(unit.find("\nExecStart=" + prefix.path() + "/bin/quillmark\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nWorkingDirectory=%h/Quillmark\n"), std::string::npos);
  EXPECT_NE(unit.find("\nEnvironment=QT_QPA_PLATFORM=offscreen\n"), std::string::npos);
  for (const int size : {16, 24, 32, 48}) {
    const std::string dim = std::to_string(size) + "x" + std::to_string(size);
    // Width and height, 32-bit big-endian, open the IHDR chunk after the 8-byte signature.
    const std::string side = {'\0', '\0', '\0', static_cast<char>(size)};
    const std::string png = ReadFileBytes(prefix.File("share/icons/hicolor/" + dim + "/apps/quillmark.png"));
    EXPECT_EQ(png.find("IHDR" + side + side), 12u) << dim;
  }
  EXPECT_TRUE(testing::FileExists(prefix.File("share/icons/hicolor/scalable/apps/quillmark.svg")));
  EXPECT_TRUE(testing::FileExists(prefix.File("bin/quillmark")));
}

}  // namespace
}  // namespace quillmark
