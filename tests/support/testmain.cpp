// Test entry: a QApplication exists only for programs that link Qt widgets.
#include <gtest/gtest.h>
#include <clocale>
#ifdef QT_WIDGETS_LIB
#include <QApplication>
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
#ifdef QT_WIDGETS_LIB
  QApplication app(argc, argv);
#endif
  std::setlocale(LC_ALL, "C");
  return RUN_ALL_TESTS();
}
