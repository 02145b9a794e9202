// Test set-up under Wine: adds a PostScript printer whose jobs go to a command.
//   quillmark-test-printer NAME PORT PPD COMMAND
// PPD is the file name of a PPD already copied into the driver folder (windows\system32\spool\drivers\x64\3);
// COMMAND ("|cmd" or a Unix path) receives each job's PostScript through Wine's spooler mapping of PORT.

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    std::fputs("usage: quillmark-test-printer NAME PORT PPD COMMAND\n", stderr);
    return 2;
  }
  std::wstring name = argv[1], port = argv[2], ppd = argv[3], command = argv[4];
  const auto bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
  if (::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Printing\\Spooler", port.c_str(), REG_SZ,
                        command.c_str(), bytes) != ERROR_SUCCESS) {
    std::fputs("cannot map the port\n", stderr);
    return 1;
  }
  std::wstring driverName = L"Wine PostScript Driver", environment = L"Windows x64", driver = L"wineps.drv";
  DRIVER_INFO_3W info{};
  info.cVersion = 3;
  info.pName = driverName.data();
  info.pEnvironment = environment.data();
  info.pDriverPath = driver.data();
  info.pDataFile = ppd.data();
  info.pConfigFile = driver.data();
  if (!::AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES) &&
      ::GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
    std::fprintf(stderr, "AddPrinterDriverEx failed: %lu\n", ::GetLastError());
    return 1;
  }
  std::wstring processor = L"WinPrint", dataType = L"RAW";
  PRINTER_INFO_2W printer{};
  printer.pPrinterName = name.data();
  printer.pPortName = port.data();
  printer.pDriverName = driverName.data();
  printer.pPrintProcessor = processor.data();
  printer.pDatatype = dataType.data();
  const HANDLE added = ::AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
  if (added == nullptr && ::GetLastError() != ERROR_PRINTER_ALREADY_EXISTS) {
    std::fprintf(stderr, "AddPrinter failed: %lu\n", ::GetLastError());
    return 1;
  }
  if (added != nullptr) ::ClosePrinter(added);
  return 0;
}
