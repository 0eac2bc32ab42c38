#include <QApplication>

#include <gtest/gtest.h>

// One application object for every test; the window tests need it, and so does listing the
// tests, so the offscreen platform is the default here.
int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  // The tests close windows one after another; none of that may end the application.
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
