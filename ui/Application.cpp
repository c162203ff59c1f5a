#include "ui/Application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/HttpLibrary.h"
#include "app/ProgramPath.h"
#include "config/SettingsFile.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

SettingsLocation settingsLocationFrom(const QApplication& application) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Tallyvane checks URL lists: status codes, redirect chains and response headers.");
  parser.addHelpOption();
  const QCommandLineOption settingsFile("settings", "Settings file to use (created with defaults when missing).",
                                        "FILE");
  parser.addOption(settingsFile);
  parser.process(application);
  if (parser.isSet(settingsFile)) return settingsLocationOf(utf8Text(parser.value(settingsFile)));
  return defaultSettingsLocation(executablePath());
}

void centreOnScreen(QWidget& window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

}  // namespace

int runApplication(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(kProgramTitle);
  const SettingsLocation location = settingsLocationFrom(application);

  auto library = HttpLibrary::bind(executableDirectory());
  if (!library || !library->initialise()) {
    showMessageBoxAndWait(nullptr, kFatalErrorTitle, kCannotLoadCurlMessage);
    return EXIT_FAILURE;
  }

  Settings settings;
  const QScreen* screen = QGuiApplication::primaryScreen();
  const auto settingsProblem = loadSettings(settings, location, screen ? screen->geometry().width() : 1920);

  MainWindow window(*library, settings, location);
  if (!window.placementRestored()) centreOnScreen(window);
  window.show();
  if (settingsProblem) window.showMessage(settingsProblem->title, settingsProblem->text);
  const int status = application.exec();

  if (window.crawlStillActive()) {
    // A worker may still be inside libcurl: no clean-up, and no waiting for the request that
    // hangs. The settings are saved already.
    std::fflush(nullptr);
    std::_Exit(status);
  }
  return status;
}

}  // namespace tallyvane::ui
