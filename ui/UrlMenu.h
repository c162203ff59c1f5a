#pragma once
// The context menu of every list that shows URLs: "Open URL in Browser" and "Copy URL to Clipboard".

#include <QPoint>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QWidget;

namespace tallyvane::ui {

inline constexpr const char* kOpenUrlText = "Open URL in Browser";
inline constexpr const char* kCopyUrlText = "Copy URL to Clipboard";

// Only web addresses go to the browser: a stored URL could name a local file or a program's scheme.
bool isBrowsableUrl(const QString& url);

// An item a list adds below the two, with what it does.
using MenuItem = std::pair<const char*, std::function<void()>>;

// Shows the menu at the pointer for url, with the list's own items below a separator; blocks
// until it is closed.
void showUrlMenu(QWidget* parent, const QPoint& globalPosition, const QString& url, std::vector<MenuItem> more = {});

}  // namespace tallyvane::ui
