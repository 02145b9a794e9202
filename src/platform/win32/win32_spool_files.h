#pragma once
// Spool files on Windows: the sharing rule is the share mode. Open() opens the file for reading and
// writing with share mode 0, so the open fails while any other process has the file open (the caller
// skips it this pass), and while the take runs no other process can open it at all: nobody writes or
// cuts the file between measuring, reading and emptying; Empty still checks the size it read. Native
// Linux processes under Wine are not bound by share modes. Called on the spool watcher's thread only.

#include <memory>
#include <string>

#include "platform/spool_file.h"

namespace quillmark {

class Win32SpoolFiles final : public SpoolFiles {
 public:
  std::unique_ptr<SpoolFile> Open(const std::string& path, SpoolNotice& notice) override;
};

}  // namespace quillmark
