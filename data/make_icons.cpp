// Writes the program's icon as a hicolor icon theme tree for installing:
// OUT/hicolor/NxN/apps/ID.png for every usual size and
// OUT/hicolor/scalable/apps/ID.svg, all drawn from platform/icon.cpp.
// Usage: make_icons OUT ID
#include <QDir>
#include <QImage>

#include <cstdio>
#include <fstream>

#include "qtview/icon.h"
#include "platform/icon.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_icons OUT ID\n");
    return 64;
  }
  const QString out = QString::fromLocal8Bit(argv[1]) + "/hicolor/";
  const QString id = QString::fromLocal8Bit(argv[2]);
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString folder = out + QString("%1x%1/apps").arg(size);
    if (!QDir().mkpath(folder) || !vantorel::qtview::ProgramIconImage(size).save(folder + "/" + id + ".png", "PNG")) {
      std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(folder));
      return 1;
    }
  }
  const QString folder = out + "scalable/apps";
  std::ofstream svg;
  if (QDir().mkpath(folder)) svg.open((folder + "/" + id + ".svg").toStdString(), std::ios::binary | std::ios::trunc);
  svg << vantorel::platform::ProgramIconSvg();
  svg.close();
  if (!svg) {
    std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(folder));
    return 1;
  }
  return 0;
}
