#pragma once
// The result list of the scan result page: a flat, single-selection list with
// the columns "이름", "종류" and "상태", drawing entry rows (bold, with an
// expand marker and a check box) and item rows (grey, with an item mark) from
// a ResultListModel, and turning clicks into the model's click actions.

#include <QAbstractScrollArea>

#include "platform/found_items.h"
#include "ui/result_list_model.h"

class QHeaderView;
class QStandardItemModel;

namespace veldan::ui {

class CResultList : public QAbstractScrollArea {
    Q_OBJECT
  public:
    // Column widths besides the first: the first takes the viewport width less these.
    static constexpr int kKindWidth = 60;
    static constexpr int kStatusWidth = 50;
    static constexpr int kFixedColumns = 134;
    // Where the parts of a row are drawn, from the row's left edge.
    static constexpr int kMarkerLeft = 4;
    static constexpr int kEntryBoxLeft = 20;
    static constexpr int kItemMarkLeft = 24;
    static constexpr int kLabelLeft = 36;
    static constexpr int kImageSize = 16;

    // Shows `model`; expanding reads the items of `found`.
    CResultList(ResultListModel& model, const platform::ScanItemList& found, QWidget* parent);

    // The model the list shows.
    ResultListModel& model() { return model_; }
    // The column header.
    QHeaderView* header() const { return header_; }

    // Shows "발견된 악성코드가 없습니다." instead of rows while set.
    void SetNothingFound(bool nothingFound);
    // True while the nothing-found text is shown.
    bool NothingFound() const { return nothingFound_; }

    // Call after the model's rows changed: adjusts the scroll range and repaints.
    void Refresh();
    // Sets the column widths from the viewport width.
    void FitColumns();
    // Scrolls so that `row` is visible.
    void EnsureVisible(int row);

    // Height of one row in pixels.
    int RowHeight() const;
    // The row's rectangle in viewport coordinates (it may lie outside the viewport).
    QRect RowRect(int row) const;
    // The row under viewport y, -1 when none.
    int RowAt(int y) const;

  signals:
    // A column header was clicked.
    void columnClicked(int column);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void UpdateGeometries();
    void PaintRow(QPainter& p, int row, const QRect& rect);
    void MoveSelection(int row);

    ResultListModel& model_;
    const platform::ScanItemList& found_;
    QHeaderView* header_;
    QStandardItemModel* columns_;
    bool nothingFound_ = false;
};

}  // namespace veldan::ui
