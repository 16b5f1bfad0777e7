// The program's window tests run on Qt's offscreen platform: no display is needed.
#include <QApplication>

#include <gtest/gtest.h>

// Qt itself is not built with ThreadSanitizer: its thread pool (which draws
// images) and its queues are guarded by its own futex-based locks, which the
// sanitizer cannot see, so Qt's own allocations look like races. Calls from
// inside Qt are not checked; every access of our own code still is (the
// program hands results between threads with standard locks only).
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\n";
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
