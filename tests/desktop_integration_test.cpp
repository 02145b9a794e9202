// The installed desktop integration: menu entry, systemd user unit and icons in their XDG places.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "support/program_runner.h"

namespace quillmark {
namespace {

using testing::FileExists;
using testing::ReadFileBytes;
using testing::TempDir;

// Width and height from a PNG's IHDR chunk.
std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& png) {
  auto word = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(png[at + i]);
    return v;
  };
  if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return {0, 0};
  return {word(16), word(20)};
}

TEST(DesktopIntegration, InstallPutsEveryFileInItsXdgPlace) {
  TempDir prefix;
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

  for (const std::uint32_t size : {16u, 24u, 32u, 48u}) {
    const std::string dim = std::to_string(size) + "x" + std::to_string(size);
    const auto png = ReadFileBytes(prefix.File("share/icons/hicolor/" + dim + "/apps/quillmark.png"));
    EXPECT_EQ(PngSize(png), std::make_pair(size, size)) << dim;
  }
  EXPECT_TRUE(FileExists(prefix.File("share/icons/hicolor/scalable/apps/quillmark.svg")));
  EXPECT_TRUE(FileExists(prefix.File("bin/quillmark")));
}

}  // namespace
}  // namespace quillmark
