// The ui_tests program: one QApplication for every test, on the offscreen platform unless the
// environment chooses another.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  // CTest sets the platform; test discovery at build time and runs by hand may not.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
