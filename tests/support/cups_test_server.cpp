#include "support/cups_test_server.h"

#include <cups/cups.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>

namespace quillmark::testing {

using namespace std::chrono_literals;

std::string CupsTestServerMissing() {
  for (const char* tool :
       {"/usr/sbin/cupsd", "/usr/sbin/lpadmin", "/usr/sbin/ippeveprinter", "/usr/bin/ipptool",
        "/usr/sbin/avahi-daemon", "/usr/bin/dbus-daemon", "/usr/bin/lpstat"}) {
    if (!FileExists(tool)) return std::string(tool) + " is not installed";
  }
  if (geteuid() != 0) return "the private CUPS server needs root";
  return {};
}

ProgramResult CupsTestScript(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {"/bin/bash",
                                   std::string(QUILLMARK_SOURCE_DIR) + "/scripts/cups-test-server.sh"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunProgram(argv, "/tmp", 60s);
}

CupsServer::CupsServer(const std::vector<std::string>& extraFiles) {
  std::vector<std::string> arguments = {"start"};
  arguments.insert(arguments.end(), extraFiles.begin(), extraFiles.end());
  const ProgramResult started = CupsTestScript(arguments);
  error = started.exitCode == 0 ? "" : started.err;
  static const std::regex kValue("(\\w+)=(.*)");
  for (std::sregex_iterator m(started.out.begin(), started.out.end(), kValue), end; m != end; ++m) {
    values[(*m)[1]] = (*m)[2];
  }
  setenv("CUPS_SERVER", values["CUPS_SERVER"].c_str(), 1);
  cupsSetServer(nullptr);
}

CupsServer::~CupsServer() {
  if (values.count("CUPS_TEST_DIR") != 0) CupsTestScript({"stop", values["CUPS_TEST_DIR"]});
  unsetenv("CUPS_SERVER");
  cupsSetServer(nullptr);
}

}  // namespace quillmark::testing
