#pragma once
// The private CUPS of scripts/cups-test-server.sh: a virtual IPP printer behind a cupsd queue "Office",
// with this process's own CUPS clients directed to it while the object lives.

#include <map>
#include <string>
#include <vector>

#include "support/program_runner.h"

namespace quillmark::testing {

// Why the server cannot run here (a missing tool, not root); empty when it can.
std::string CupsTestServerMissing();

// Runs the script with a command ("start", "stop-cupsd", "stop", ...) and its arguments.
ProgramResult CupsTestScript(const std::vector<std::string>& arguments);

struct CupsServer {
  // `extraFiles` extend the private cupsd: *.types/*.convs go to its configuration, programs are filters.
  explicit CupsServer(const std::vector<std::string>& extraFiles = {});
  ~CupsServer();
  CupsServer(const CupsServer&) = delete;
  CupsServer& operator=(const CupsServer&) = delete;

  std::map<std::string, std::string> values;  // CUPS_SERVER, CUPS_TEST_DIR, CUPS_TEST_RECEIVED, ...
  std::string error;                          // empty when it started
};

}  // namespace quillmark::testing
