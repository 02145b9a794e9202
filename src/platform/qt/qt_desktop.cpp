#include "platform/qt/qt_desktop.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <utility>

#include "platform/qt/qt_application.h"

static void InitIconResources() { Q_INIT_RESOURCE(quillmark_icons); }

namespace quillmark {
namespace {

constexpr int kItemSpool = 1;
constexpr int kItemQuit = 2;
// How often a missing tray host is looked for.
constexpr int kTrayWatchMs = 2000;

// The window that owns the tray icon. It is never shown; a close request sent to it is reported and refused.
class HiddenMainWindow final : public QWidget {
 public:
  explicit HiddenMainWindow(std::function<void()> onClose) : onClose_(std::move(onClose)) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    onClose_();
  }

 private:
  std::function<void()> onClose_;
};

// Texts are 8-bit Windows ANSI; the German ones fit Latin-1.
QString FromAnsi(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QIcon ProgramIcon() {
  InitIconResources();
  QIcon icon;
  for (const int size : {16, 24, 32, 48}) {
    icon.addFile(QStringLiteral(":/icons/quillmark-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

TrayMouse ToTrayMouse(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger: return TrayMouse::LeftButtonDown;
    case QSystemTrayIcon::Context: return TrayMouse::RightButtonDown;
    case QSystemTrayIcon::DoubleClick: return TrayMouse::LeftDoubleClick;
    case QSystemTrayIcon::Unknown:
    case QSystemTrayIcon::MiddleClick: break;
  }
  return TrayMouse::Other;
}

}  // namespace

QtDesktop::QtDesktop() : context_(std::make_unique<QObject>()) {
  if (closeSignals_.ReadFd() >= 0) {
    signalNotifier_ = std::make_unique<QSocketNotifier>(closeSignals_.ReadFd(), QSocketNotifier::Read);
    QObject::connect(signalNotifier_.get(), &QSocketNotifier::activated, context_.get(),
                     [this] { OnSignalPipe(); });
  }
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, context_.get(),
                   [this](QSessionManager&) { Report({EventKind::SessionEnd, 0}); }, Qt::DirectConnection);
}

QtDesktop::~QtDesktop() {
  RemoveTrayIcon();
  DestroyMainWindow();
}

void QtDesktop::ShowMessageBox(std::string_view title, std::string_view text) {
  std::string lines(text);
  for (char& c : lines) {
    if (c == '\r') c = '\n';
  }
  if (IsHeadless()) {
    // An offscreen box would wait forever for a click nobody can make. Its title is the window's and no
    // part of the message.
    const QByteArray out = FromAnsi(lines).toUtf8();
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, FromAnsi(title), FromAnsi(lines), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  openMessageBox_ = &box;
  box.exec();
  openMessageBox_ = nullptr;
}

void QtDesktop::SetEvents(DesktopEvents* events) { events_ = events; }

void QtDesktop::CreateTrayInterface() {
  mainWindow_ = std::make_unique<HiddenMainWindow>([this] { Report({EventKind::Close, 0}); });
  mainWindow_->setWindowTitle(QStringLiteral("Quillmark 1.0"));
  // A native window (unmapped) so that other programs can find it by title and ask it to close.
  mainWindow_->winId();

  menu_ = std::make_unique<QMenu>();
  menu_->addAction(QStringLiteral("Spool ausdrucken"))->setData(kItemSpool);
  menu_->addSeparator();
  menu_->addAction(QStringLiteral("Beenden"))->setData(kItemQuit);

  const QIcon icon = ProgramIcon();
  mainWindow_->setWindowIcon(icon);
  if (icon.isNull()) return;
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    ShowTrayIcon(icon);
    return;
  }
  // Started before the panel (autostart): the icon appears once a tray host does. Headless, none ever will.
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return;
  trayWatch_ = std::make_unique<QTimer>();
  QObject::connect(trayWatch_.get(), &QTimer::timeout, context_.get(), [this, icon] {
    if (!QSystemTrayIcon::isSystemTrayAvailable() || !mainWindow_) return;
    trayWatch_->stop();
    ShowTrayIcon(icon);
  });
  trayWatch_->start(kTrayWatchMs);
}

void QtDesktop::ShowTrayIcon(const QIcon& icon) {
  // No context menu is attached: every press is reported, and the core decides to show the menu.
  trayIcon_ = std::make_unique<QSystemTrayIcon>(icon);
  QObject::connect(trayIcon_.get(), &QSystemTrayIcon::activated, context_.get(),
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     Report({EventKind::Mouse, static_cast<int>(ToTrayMouse(reason))});
                   });
  trayIcon_->show();
}

void QtDesktop::WaitMessage() {
  if (events_ != nullptr && !pending_.empty()) {
    const Event event = pending_.front();
    pending_.pop_front();
    ++delivering_;
    Deliver(event);
    --delivering_;
    return;
  }
  ++delivering_;
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
  --delivering_;
}

void QtDesktop::ShowTrayMenu() {
  if (!menu_) return;
  ++delivering_;
  const QAction* chosen = menu_->exec(QCursor::pos() - QPoint(1, 1));
  --delivering_;
  // The choice is acted on from the event loop, after the menu has gone.
  if (chosen != nullptr) pending_.push_back({EventKind::Choice, chosen->data().toInt()});
}

void QtDesktop::DestroyMainWindow() { mainWindow_.reset(); }

void QtDesktop::RemoveTrayIcon() {
  trayWatch_.reset();
  if (trayIcon_) trayIcon_->hide();
  trayIcon_.reset();
}

void QtDesktop::ExitProcess(int code) {
  RemoveTrayIcon();
  DestroyMainWindow();
  menu_.reset();
  signalNotifier_.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  // _Exit rather than exit: the QApplication still lives on main()'s stack, and static destructors (Qt's and
  // ours) must not run underneath it. Nothing is left to flush; the worker threads have ended or never ran,
  // and the kernel releases files, leases and the display connection.
  std::_Exit(code);
}

void QtDesktop::OnSignalPipe() {
  if (!closeSignals_.Drain()) return;
  // The box is only shown on the way out; a close request should not wait for a click.
  if (openMessageBox_ != nullptr) openMessageBox_->done(QMessageBox::Ok);
  Report({EventKind::Close, 0});
}

void QtDesktop::Report(Event event) {
  if (events_ != nullptr && delivering_ > 0 && openMessageBox_ == nullptr) {
    Deliver(event);
  } else {
    pending_.push_back(event);
  }
}

void QtDesktop::Deliver(Event event) {
  switch (event.kind) {
    case EventKind::Close: events_->OnCloseRequest(); break;
    case EventKind::Mouse: events_->OnTrayMouse(static_cast<TrayMouse>(event.value)); break;
    case EventKind::Choice: events_->OnMenuChoice(event.value); break;
    case EventKind::SessionEnd: events_->OnSessionEndQuery(); break;
  }
}

}  // namespace quillmark
