// The yardstick for the start-up time: a frameless Qt window of the main
// window's size with one line of text in a layout, shown as soon as the
// application exists. The layout sizes the label before the window maps, so
// this window pays what any window laid out around text pays first: the
// font configuration and one face. (A label without a layout loads no font
// until its first paint, after the map, and maps as fast as an empty window.)
#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget w(nullptr, Qt::Window | Qt::FramelessWindowHint);
  w.setWindowTitle("Text");
  w.setFixedSize(574, 439);
  auto* layout = new QVBoxLayout(&w);
  layout->addWidget(new QLabel("Launch to mapped window: one line of text.", &w));
  w.show();
  return QApplication::exec();
}
