// The main window comes back where it was left: size, position, maximised state and the height
// of the result list, through the settings file.

#include <QSplitter>

#include "tests/ui/MainWindowFixture.h"

namespace tallyvane::ui::testing {
namespace {

TEST_F(MainWindowTest, TheWindowComesBackWhereItWasLeftThroughTheSettingsFile) {
  EXPECT_TRUE(settings.WindowGeometry.empty());
  EXPECT_FALSE(window().placementRestored());  // nothing kept: the default size, placed by the caller
  EXPECT_EQ(window().size(), QSize(1000, 800));

  window().setGeometry(10, 20, 780, 520);
  ASSERT_TRUE(waitUntil([&] { return window().geometry() == QRect(10, 20, 780, 520); }))
      << window().geometry().x() << "," << window().geometry().y() << " " << window().geometry().width() << "x"
      << window().geometry().height();
  window().splitter()->setSizes({180, 250});
  const int listHeight = window().splitter()->sizes().front();
  ASSERT_TRUE(closeWindow());

  Settings stored;
  ASSERT_FALSE(loadSettings(stored, settingsLocationOf(scratch / "settings.prefs"), 1920));
  EXPECT_EQ(stored.WindowGeometry, "10,20,780,520");
  EXPECT_EQ(stored.WindowMaximized, 0);
  EXPECT_EQ(stored.SplitterPosition, listHeight);

  settings = stored;
  EXPECT_TRUE(window().placementRestored());
  EXPECT_EQ(window().geometry(), QRect(10, 20, 780, 520));
  EXPECT_TRUE(waitUntil([&] { return window().splitter()->sizes().front() == listHeight; }));
}

TEST_F(MainWindowTest, APositionOffEveryScreenKeepsOnlyTheSizeAndMaximisedComesBackMaximised) {
  settings.WindowGeometry = "-9000,5000,790,580";
  EXPECT_FALSE(window().placementRestored());
  EXPECT_EQ(window().size(), QSize(790, 580));
  EXPECT_NE(window().pos(), QPoint(-9000, 5000));
  ASSERT_TRUE(closeWindow());

  settings.WindowMaximized = 1;
  EXPECT_TRUE(window().windowState() & Qt::WindowMaximized);
  ASSERT_TRUE(closeWindow());
  Settings stored;
  ASSERT_FALSE(loadSettings(stored, settingsLocationOf(scratch / "settings.prefs"), 1920));
  EXPECT_EQ(stored.WindowMaximized, 1);
  // The normal size stays kept for the day the window is no longer maximised.
  EXPECT_TRUE(stored.WindowGeometry.ends_with(",790,580")) << stored.WindowGeometry;
}

}  // namespace
}  // namespace tallyvane::ui::testing
