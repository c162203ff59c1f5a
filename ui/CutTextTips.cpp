#include "ui/CutTextTips.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

namespace tallyvane::ui {
namespace {

class CutTextTips : public QObject {
 public:
  explicit CutTextTips(QAbstractItemView* view) : QObject(view), view_(view) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    // The type first: while the view is torn down its viewport still sends events, and the view is no
    // longer one to ask.
    if (event->type() != QEvent::ToolTip || watched != view_->viewport()) return false;
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = view_->indexAt(help->pos());
    const QString text = index.data().toString();
    const QRect cell = view_->visualRect(index);
    const int margin = 2 * (view_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view_) + 1);
    if (index.isValid() && !text.isEmpty() && view_->fontMetrics().horizontalAdvance(text) + margin > cell.width()) {
      QToolTip::showText(help->globalPos(), text, view_->viewport(), cell);
    } else {
      QToolTip::hideText();
    }
    return true;
  }

 private:
  QAbstractItemView* view_;
};

}  // namespace

void showCutTextTips(QAbstractItemView* view) { view->viewport()->installEventFilter(new CutTextTips(view)); }

}  // namespace tallyvane::ui
