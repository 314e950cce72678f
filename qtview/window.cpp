#include "qtview/window.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <chrono>
#include <thread>

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

#include <algorithm>
#include <cmath>

#include "app/mainwindow.h"
#include "qtview/icon.h"
#include "platform/twips.h"

namespace vantorel::qtview {

void PlaceTwips(QWidget* w, double left, double top, double width, double height) {
  w->setGeometry(platform::TwipsToPixels(left), platform::TwipsToPixels(top),
                 std::max(0, platform::TwipsToPixels(width)), std::max(0, platform::TwipsToPixels(height)));
}

namespace {

// A crosshair with a small ring: the shooter's aiming mark, white with a
// black edge so that it shows on dark and light backgrounds alike.
bool OnMark(double x, double y, double halfWidth) {
  const double cx = 15.5, cy = 15.5;
  const double r = std::hypot(x - cx, y - cy);
  const bool ring = std::fabs(r - 7.5) <= halfWidth;
  const bool vertical = std::fabs(x - cx) <= halfWidth && std::fabs(y - cy) >= 4 - halfWidth && std::fabs(y - cy) <= 15;
  const bool horizontal = std::fabs(y - cy) <= halfWidth && std::fabs(x - cx) >= 4 - halfWidth &&
                          std::fabs(x - cx) <= 15;
  const bool centre = r <= halfWidth + 0.3;
  return ring || vertical || horizontal || centre;
}

QCursor MakeProgramCursor() {
  // In a cursor bitmap a set bit (black) inside the mask draws black, a clear
  // bit inside the mask draws white, and outside the mask is transparent.
  QImage bits(32, 32, QImage::Format_RGB32), mask(32, 32, QImage::Format_RGB32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      const bool edge = OnMark(px, py, 1.6);
      const bool line = OnMark(px, py, 0.6);
      mask.setPixel(x, y, edge ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
      bits.setPixel(x, y, edge && !line ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    }
  return QCursor(QBitmap::fromImage(bits, Qt::ThresholdDither), QBitmap::fromImage(mask, Qt::ThresholdDither), 15, 15);
}

}  // namespace

bool DisplayAvailable(std::string& why, std::shared_ptr<void>& held) {
  const char* chosen = std::getenv("QT_QPA_PLATFORM");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((chosen && *chosen && std::string_view(chosen).rfind("xcb", 0) != 0) || (wayland && *wayland)) return true;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    why = "DISPLAY is not set";
    return false;
  }
  held.reset(xcb_connect(nullptr, nullptr), [](void* c) { xcb_disconnect(static_cast<xcb_connection_t*>(c)); });
  if (!xcb_connection_has_error(static_cast<xcb_connection_t*>(held.get()))) return true;
  held.reset();
  why = "the X server at DISPLAY=" + std::string(display) + " cannot be reached";
  return false;
}

namespace {

// Qt's messages while the QApplication is made, held until it is.
struct HeldMessage {
  QtMsgType type;
  std::string category, file, function;
  int line;
  QString text;
};
std::mutex startMutex;
std::vector<HeldMessage> startMessages;
std::string startingExe;

void WhileStarting(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  const std::lock_guard<std::mutex> lock(startMutex);
  const auto str = [](const char* s) { return std::string(s ? s : ""); };
  if (type != QtFatalMsg) {
    startMessages.push_back(
        {type, str(context.category), str(context.file), str(context.function), context.line, text});
    return;
  }
  QString why = text;
  for (const HeldMessage& m : startMessages)
    if (m.category.rfind("qt.qpa", 0) == 0) {
      why = m.text;
      break;
    }
  std::fprintf(stderr, "%s\n",
               app::NoWindowMessage(startingExe, why.section(u'\n', 0, 0).trimmed().toStdString()).c_str());
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

std::unique_ptr<QApplication> StartApplication(int& argc, char** argv, const std::string& exeName) {
  startingExe = exeName;
  const QtMessageHandler previous = qInstallMessageHandler(WhileStarting);
  auto application = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(previous);
  std::vector<HeldMessage> held;
  {
    const std::lock_guard<std::mutex> lock(startMutex);
    held.swap(startMessages);
  }
  for (const HeldMessage& m : held)
    qt_message_output(m.type, QMessageLogContext(m.file.c_str(), m.line, m.function.c_str(), m.category.c_str()),
                      m.text);
  return application;
}

const QCursor& ProgramCursor() {
  static const QCursor cursor = MakeProgramCursor();
  return cursor;
}

bool StartSystemMove(QWidget* w) {
  QWidget* top = w ? w->window() : nullptr;
  if (!top || !top->windowHandle()) return false;
  return top->windowHandle()->startSystemMove();
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
  return icon;
}

void FlushWindowSystem() {
  if (auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
    if (xcb_connection_t* c = x11->connection()) xcb_flush(c);
}

void Beep() { QApplication::beep(); }

ScreenSize PrimaryScreenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  return {screen->geometry().width(), screen->geometry().height()};
}

QImage GrabToClipboard(QWidget* w) {
  QImage picture = w->grab().toImage();
  if (QClipboard* clip = QGuiApplication::clipboard()) {
    clip->clear();
    clip->setImage(picture);
  }
  return picture;
}

}  // namespace vantorel::qtview
