#pragma once
// The context menu of every list that shows URLs: "Open URL in Browser" and "Copy URL to Clipboard".

#include <QPoint>
#include <QString>

class QWidget;

namespace tallyvane::ui {

inline constexpr const char* kOpenUrlText = "Open URL in Browser";
inline constexpr const char* kCopyUrlText = "Copy URL to Clipboard";

// Only web addresses go to the browser: a stored URL could name a local file or a program's scheme.
bool isBrowsableUrl(const QString& url);

// Shows the menu at the pointer for url; blocks until it is closed.
void showUrlMenu(QWidget* parent, const QPoint& globalPosition, const QString& url);

}  // namespace tallyvane::ui
