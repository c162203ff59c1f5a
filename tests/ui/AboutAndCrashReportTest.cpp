#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <csignal>

#include "tests/support/ChildProcess.h"
#include "tests/support/Eventually.h"
#include "tests/support/ScratchFolder.h"
#include "tests/ui/DialogDriver.h"
#include "ui/AboutDialog.h"
#include "ui/CrashReportBox.h"

namespace tallyvane::ui {
namespace {

using testing::eventually;
using testing::pressKey;

TEST(AboutDialogTest, ShowsVersionAndBuildDateBelowFourEmptyLinesAndClosesByKeyOrOk) {
  QWidget mainWindow;
  const QString pad(34, QLatin1Char(' '));
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_unknown}) {
    QPointer<AboutDialog> about = new AboutDialog(&mainWindow);
    ASSERT_TRUE(testing::showActive(about));
    EXPECT_EQ(about->windowTitle(), "About...");
    EXPECT_EQ(about->shownText(), "\n\n\n\n" + pad + "Tallyvane 1.07\n" + pad + "Build Date: 24 Apr 2016\n\n\n\n");
    EXPECT_EQ(QApplication::focusWidget(), about->okButton());
    if (key == Qt::Key_unknown) {
      about->okButton()->click();
    } else {
      pressKey(about, key);
    }
    EXPECT_FALSE(about->isVisible());
    delete about;
  }
}

TEST(CrashReportBoxTest, ShowsTheReportLineByLineUnderItsTitle) {
  QPointer<QMessageBox> box = createCrashReportBox({SIGBUS, 4096, 8192});
  box->show();
  EXPECT_EQ(box->windowTitle(), "Fatal Error a.k.a Program CRASH");
  const QStringList lines = box->text().split('\n');
  ASSERT_EQ(lines.size(), 8);  // seven lines, each ended by a break
  EXPECT_EQ(lines[3], "Error Message:   BUS Error");
  EXPECT_EQ(lines[6], "Target Address:  8192");
  box->button(QMessageBox::Ok)->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(box.isNull());
}

TEST(CrashReportModeTest, AFaultSignalReplacesTheRunningApplicationByItsCrashReport) {
  testing::ScratchFolder home;
  for (const int signal : {SIGSEGV, SIGBUS}) {
    // AddressSanitizer's own fault handlers, there before main(), would pass for the application's.
    testing::ChildProcess app(TALLYVANE_APP_PATH, {},
                              {"QT_QPA_PLATFORM=offscreen", "HOME=" + home.path().string(),
                               "XDG_CONFIG_HOME=" + home.path().string(), "ASAN_OPTIONS=handle_segv=0:handle_sigbus=0"});
    // Between fork and exec the child still has this test program's handlers.
    ASSERT_TRUE(eventually(
        [&] {
          return testing::commandLineOf(app.pid()).starts_with(TALLYVANE_APP_PATH) &&
                 testing::catchesSignal(app.pid(), signal);
        },
        "the application catches the signal"));
    ::kill(app.pid(), signal);
    const std::string crashMode = " --crash-report " + std::to_string(signal) + " ";
    EXPECT_TRUE(eventually([&] { return testing::commandLineOf(app.pid()).find(crashMode) != std::string::npos; },
                           "the crash report replaces the application"))
        << testing::commandLineOf(app.pid());
    // The report process catches nothing itself.
    EXPECT_TRUE(eventually([&] { return !testing::catchesSignal(app.pid(), SIGSEGV); }, "the report catches nothing"));
    ::kill(app.pid(), SIGTERM);
    app.finish();
  }
}

}  // namespace
}  // namespace tallyvane::ui
