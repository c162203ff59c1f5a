#include "ui/ElidedHeaderTitles.h"

#include <QHeaderView>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionHeaderV2>

namespace tallyvane::ui {
namespace {

// Draws as the application's style does, with the title cut to the room its label is given.
class ElidingHeaderStyle final : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;

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
  // A proxy owns its base, and without one it takes the platform's default style: it gets a style
  // of its own, of the kind the header has, so a style chosen at start (-style) still holds.
  auto* style = new ElidingHeaderStyle(QStyleFactory::create(header->style()->name()));
  style->setParent(header);
  header->setStyle(style);
}

}  // namespace tallyvane::ui
