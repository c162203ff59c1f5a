#include "ui/WindowPlacement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QRect>
#include <QScreen>
#include <QSplitter>
#include <QStringList>

#include <optional>

#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

// Enough of the title bar on a screen to take hold of the window.
constexpr int kGraspWidth = 80;
constexpr int kGraspHeight = 20;

std::optional<QRect> storedGeometry(const std::string& stored) {
  const QStringList fields = qText(stored).split(QLatin1Char(','));
  if (fields.size() != 4) return std::nullopt;
  int values[4];
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    values[i] = fields[i].trimmed().toInt(&ok);
    if (!ok) return std::nullopt;
  }
  if (values[2] <= 0 || values[3] <= 0) return std::nullopt;
  return QRect(values[0], values[1], values[2], values[3]);
}

bool onAScreen(const QRect& frame) {
  const QRect titleBar(frame.left(), frame.top(), frame.width(), kGraspHeight);
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect shared = screen->availableGeometry().intersected(titleBar);
    if (shared.width() >= std::min(kGraspWidth, frame.width()) && shared.height() > 0) return true;
  }
  return false;
}

}  // namespace

bool restoreWindowPlacement(QMainWindow& window, const Settings& settings) {
  bool placed = false;
  if (const auto geometry = storedGeometry(settings.WindowGeometry)) {
    window.resize(geometry->size());
    if (onAScreen(*geometry)) {
      window.setGeometry(*geometry);
      placed = true;
    }
  }
  if (settings.WindowMaximized != 0) window.setWindowState(window.windowState() | Qt::WindowMaximized);
  return placed;
}

void restoreSplitterPlacement(QSplitter& splitter, const Settings& settings) {
  if (settings.SplitterPosition <= 0) return;
  const int total = splitter.height() - splitter.handleWidth();
  const int list = std::min(static_cast<int>(settings.SplitterPosition), total);
  splitter.setSizes({list, total - list});
}

void captureWindowPlacement(const QMainWindow& window, const QSplitter& splitter, Settings& settings) {
  const QRect normal = window.isMaximized() ? window.normalGeometry() : window.geometry();
  if (normal.isValid()) {
    settings.WindowGeometry = utf8Text(QStringLiteral("%1,%2,%3,%4")
                                           .arg(normal.x())
                                           .arg(normal.y())
                                           .arg(normal.width())
                                           .arg(normal.height()));
  }
  settings.WindowMaximized = window.isMaximized() ? 1 : 0;
  const QList<int> sizes = splitter.sizes();
  if (!sizes.isEmpty() && sizes.front() > 0) settings.SplitterPosition = sizes.front();
}

}  // namespace tallyvane::ui
