#include <gtest/gtest.h>

#include "ui/MainWindow.h"

namespace tallyvane::ui {
namespace {

TEST(MainWindow, IsTitledAfterTheProgram) {
  MainWindow window;
  EXPECT_EQ(window.windowTitle(), "Tallyvane");
}

}  // namespace
}  // namespace tallyvane::ui
