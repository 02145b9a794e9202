#include "platform/win32/win32_print_system.h"

#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_print_device.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"
#include "spool/job_records.h"

namespace quillmark {
namespace {

constexpr std::string_view kPdfPrinterPrefix = "PDF:";

HDC OpenPrinterDc(const std::wstring& name) {
  if (name.empty()) return nullptr;
  return ::CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr);
}

}  // namespace

std::unique_ptr<PrintDevice> Win32PrintSystem::OpenDevice(const JobSettings& settings) {
  const std::string_view name = settings.Printer.View();
  if (!name.starts_with(kPdfPrinterPrefix)) {
    const HDC dc = OpenPrinterDc(WideFromSettings(name));
    if (dc == nullptr) return nullptr;
    return std::make_unique<Win32PrintDevice>(dc, DocumentTarget{}, fonts_);
  }
  std::wstring folder = WideFromSettings(name.substr(kPdfPrinterPrefix.size()));
  if (!MakeFolders(folder)) return nullptr;
  if (folder.empty()) folder = L".";
  // The driver writes a temporary file in the folder itself, so the final move stays on one volume.
  wchar_t temporary[MAX_PATH + 1] = {};
  if (::GetTempFileNameW(folder.c_str(), L"qm", 0, temporary) == 0) return nullptr;
  const HDC dc = OpenPrinterDc(kPdfPrinter);
  if (dc == nullptr) {
    ::DeleteFileW(temporary);
    return nullptr;
  }
  return std::make_unique<Win32PrintDevice>(dc, DocumentTarget{temporary, folder}, fonts_);
}

std::unique_ptr<PrintDevice> Win32PrintSystem::OpenToFile(const std::wstring& printer,
                                                          const std::wstring& outputFile) {
  const HDC dc = OpenPrinterDc(printer);
  if (dc == nullptr) return nullptr;
  return std::make_unique<Win32PrintDevice>(dc, DocumentTarget{outputFile, {}}, fonts_);
}

}  // namespace quillmark
