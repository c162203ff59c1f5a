#pragma once
// The tabs under the main list: every response of the selected result ("Responses"), the raw
// header block ("Raw Headers") and the Link header entries ("Links") of the selected response.
//
// Main thread only. The record shown must stay valid until clear() or the next showRecord(): the
// main window clears the panel before the store is emptied.

#include <QTabWidget>

#include <vector>

#include "results/ResultRecord.h"

class QPlainTextEdit;
class QTreeWidget;

namespace tallyvane::ui {

inline constexpr const char* kResponsesTab = "Responses";
inline constexpr const char* kRawHeadersTab = "Raw Headers";
inline constexpr const char* kLinksTab = "Links";

class DetailPanel : public QTabWidget {
  Q_OBJECT

 public:
  explicit DetailPanel(QWidget* parent = nullptr);

  // Every response of the record, the first one selected.
  void showRecord(const ResultRecord& record);
  void clear();

  // Column widths, as the settings keep them.
  std::vector<int64_t> responsesColumnWidths() const;
  std::vector<int64_t> linksColumnWidths() const;
  void setColumnWidths(const std::vector<int64_t>& responses, const std::vector<int64_t>& links);

  QTreeWidget* responsesList() const { return responses_; }
  QPlainTextEdit* rawHeadersText() const { return rawHeaders_; }
  QTreeWidget* linksList() const { return links_; }

 private:
  void showResponse(int row);
  void showResponsesMenu(const QPoint& position);
  void showLinksMenu(const QPoint& position);

  const ResultRecord* record_ = nullptr;
  QTreeWidget* responses_;
  QPlainTextEdit* rawHeaders_;
  QTreeWidget* links_;
};

}  // namespace tallyvane::ui
