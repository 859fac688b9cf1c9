#pragma once
// The header of a sortable list. Its sort mark follows the Windows convention:
// it points up for ascending order and down for descending order (Qt's styles
// draw ascending order as a downward mark on Linux).

#include <QHeaderView>

namespace veldan::ui {

class CSortHeader : public QHeaderView {
    Q_OBJECT
  public:
    explicit CSortHeader(QWidget* parent = nullptr);

  protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;
};

}  // namespace veldan::ui
