#include "platform/qt/qt_application.h"

#include <csignal>
#include <cstdlib>

namespace quillmark {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

QtMessageHandler gPreviousHandler = nullptr;

// Qt complains about XDG_RUNTIME_DIR under systemd services, cron and CI; nothing here uses that directory,
// and standard error is kept for the program's own message.
void FilterMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: "))) return;
  if (gPreviousHandler != nullptr) gPreviousHandler(type, context, message);
}

}  // namespace

std::unique_ptr<QApplication> CreateQtApplication(int& argc, char** argv) {
  // Without a usable display the xcb platform aborts the process in the QApplication constructor, so the
  // offscreen platform must be named up front: as the fallback when a display is set, alone otherwise.
  if (!IsSet("QT_QPA_PLATFORM")) {
    const bool display = IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
    ::setenv("QT_QPA_PLATFORM", display ? "xcb;offscreen" : "offscreen", 1);
  }
  if (!IsSet("QT_LOGGING_RULES")) ::setenv("QT_LOGGING_RULES", "qt.qpa.*=false", 1);

  gPreviousHandler = qInstallMessageHandler(FilterMessage);

  // A print spooler or a closed standard stream must never end the process by signal.
  std::signal(SIGPIPE, SIG_IGN);

  auto app = std::make_unique<QApplication>(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillmark"));
  QApplication::setApplicationVersion(QStringLiteral("1.0"));
  // The program lives in the tray; closing a message box must not end the event loop.
  QApplication::setQuitOnLastWindowClosed(false);
  return app;
}

bool IsHeadless() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

}  // namespace quillmark
