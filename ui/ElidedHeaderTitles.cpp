#include "ui/ElidedHeaderTitles.h"

#include <QHeaderView>
#include <QProxyStyle>
#include <QStyleOptionHeaderV2>

namespace tallyvane::ui {
namespace {

// Draws as the application's style does, with the title cut to the room its label is given.
class ElidingHeaderStyle final : public QProxyStyle {
 public:
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    if (element == CE_HeaderLabel) {
      // The newer option first, so what it adds (the drop target of a moved column) still shows.
      if (const auto* header = qstyleoption_cast<const QStyleOptionHeaderV2*>(option)) {
        drawElided(*header, painter, widget);
        return;
      }
      if (const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option)) {
        drawElided(*header, painter, widget);
        return;
      }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
  }

 private:
  template <typename Option>
  void drawElided(Option label, QPainter* painter, const QWidget* widget) const {
    label.text = label.fontMetrics.elidedText(label.text, Qt::ElideRight, label.rect.width());
    QProxyStyle::drawControl(CE_HeaderLabel, &label, painter, widget);
  }
};

}  // namespace

void elideHeaderTitles(QHeaderView* header) {
  // Without a base the proxy follows the application's style and does not own it.
  auto* style = new ElidingHeaderStyle;
  style->setParent(header);
  header->setStyle(style);
}

}  // namespace tallyvane::ui
