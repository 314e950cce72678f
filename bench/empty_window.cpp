// The yardstick for the start-up time: an empty frameless Qt window of the
// main window's size, shown as soon as the application exists.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget w(nullptr, Qt::Window | Qt::FramelessWindowHint);
  w.setWindowTitle("Empty");
  w.setFixedSize(574, 439);
  w.show();
  return QApplication::exec();
}
