// Entry point of the tests that need the window system: every test runs
// inside one QApplication on the offscreen platform. Built with
// VANTOREL_TEST_SCALE the screens report that many device pixels per
// device-independent pixel, as a high-density screen does.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef VANTOREL_TEST_SCALE
  qputenv("QT_SCALE_FACTOR", VANTOREL_TEST_SCALE);
#endif
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
