// The main of the test programs that show windows: one QApplication for all their tests, named as the
// program whose windows they show, offscreen unless a platform is asked for.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName("Logo");
  return RUN_ALL_TESTS();
}
