#include "platform/win32/win32_print_system.h"

#include <winspool.h>

#include <vector>

#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_print_device.h"
#include "platform/win32/win32_text.h"
#include "spool/job_records.h"

namespace quillmark {
namespace {

constexpr std::string_view kPdfPrinterPrefix = "PDF:";

HDC OpenPrinterDc(const std::wstring& name) {
  if (name.empty()) return nullptr;
  return ::CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr);
}

struct Form {
  short paper;
  float width;
  float height;
};
constexpr Form kForms[] = {
    {DMPAPER_A4, 210.0f, 297.0f},     {DMPAPER_A5, 148.0f, 210.0f},    {DMPAPER_A3, 297.0f, 420.0f},
    {DMPAPER_LETTER, 215.9f, 279.4f}, {DMPAPER_LEGAL, 215.9f, 355.6f},
};

bool Near(float a, float b) { return a - b < 1.0f && b - a < 1.0f; }

}  // namespace

HDC Win32PrintSystem::OpenOnPaper(const std::wstring& printer, float widthMm, float heightMm) {
  if (printer.empty()) return nullptr;
  std::wstring name = printer;
  HANDLE handle = nullptr;
  if (!::OpenPrinterW(name.data(), &handle, nullptr)) return nullptr;
  std::vector<BYTE> buffer;
  const LONG size = ::DocumentPropertiesW(nullptr, handle, name.data(), nullptr, nullptr, 0);
  if (size >= static_cast<LONG>(sizeof(DEVMODEW))) buffer.resize(static_cast<std::size_t>(size));
  auto* mode = reinterpret_cast<DEVMODEW*>(buffer.data());
  if (mode != nullptr &&
      ::DocumentPropertiesW(nullptr, handle, name.data(), mode, nullptr, DM_OUT_BUFFER) == IDOK &&
      widthMm >= 10.0f && heightMm >= 10.0f && widthMm <= 5000.0f && heightMm <= 5000.0f) {
    mode->dmFields |= DM_PAPERSIZE | DM_PAPERWIDTH | DM_PAPERLENGTH | DM_ORIENTATION;
    mode->dmOrientation = DMORIENT_PORTRAIT;
    mode->dmPaperSize = DMPAPER_USER;
    for (const Form& form : kForms) {
      if (Near(form.width, widthMm) && Near(form.height, heightMm)) mode->dmPaperSize = form.paper;
    }
    // Tenths of a millimetre.
    mode->dmPaperWidth = static_cast<short>(widthMm * 10.0f + 0.5f);
    mode->dmPaperLength = static_cast<short>(heightMm * 10.0f + 0.5f);
    if (::DocumentPropertiesW(nullptr, handle, name.data(), mode, mode, DM_IN_BUFFER | DM_OUT_BUFFER) !=
        IDOK) {
      mode = nullptr;
    }
  } else {
    mode = nullptr;
  }
  ::ClosePrinter(handle);
  return ::CreateDCW(L"WINSPOOL", printer.c_str(), nullptr, mode);
}

std::vector<std::wstring> Win32PrintSystem::PrinterNames() {
  constexpr DWORD kFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  DWORD needed = 0, count = 0;
  ::EnumPrintersW(kFlags, nullptr, 4, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed);
  std::vector<std::wstring> names;
  if (needed == 0 || !::EnumPrintersW(kFlags, nullptr, 4, buffer.data(), needed, &needed, &count))
    return names;
  const auto* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) names.emplace_back(printers[i].pPrinterName);
  return names;
}

bool Win32PrintSystem::PrinterExists(const JobSettings& settings) {
  const std::string_view name = settings.Printer.View();
  const std::wstring printer =
      name.starts_with(kPdfPrinterPrefix) ? std::wstring(kPdfPrinter) : WideFromSettings(name);
  for (const auto& known : PrinterNames()) {
    if (::lstrcmpiW(known.c_str(), printer.c_str()) == 0) return true;  // names ignore case
  }
  return false;
}

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
  const HDC dc = OpenOnPaper(kPdfPrinter, settings.PaperWidth, settings.PaperHeight);
  if (dc == nullptr) {
    ::DeleteFileW(temporary);
    return nullptr;
  }
  return std::make_unique<Win32PrintDevice>(dc, DocumentTarget{temporary, folder}, fonts_);
}

void Win32PrintSystem::RemoveLeftovers(const JobSettings& settings) {
  const std::string_view name = settings.Printer.View();
  if (!name.starts_with(kPdfPrinterPrefix)) return;
  std::wstring folder = WideFromSettings(name.substr(kPdfPrinterPrefix.size()));
  if (folder.empty()) folder = L".";
  if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW((folder + L"qm*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    // Exactly GetTempFileName's pattern: "qm" and one to four hexadecimal digits.
    const std::wstring file = found.cFileName;
    const bool ours = file.size() > 6 && file.size() <= 10 &&
                      file.find_first_not_of(L"0123456789ABCDEFabcdef", 2) == file.size() - 4 &&
                      (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (ours) ::DeleteFileW((folder + file).c_str());
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

std::unique_ptr<PrintDevice> Win32PrintSystem::OpenToFile(const std::wstring& printer,
                                                          const std::wstring& outputFile,
                                                          const JobSettings& settings) {
  const HDC dc = printer == kPdfPrinter ? OpenOnPaper(printer, settings.PaperWidth, settings.PaperHeight)
                                        : OpenPrinterDc(printer);
  if (dc == nullptr) return nullptr;
  return std::make_unique<Win32PrintDevice>(dc, DocumentTarget{outputFile, {}}, fonts_);
}

}  // namespace quillmark
