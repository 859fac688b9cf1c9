#pragma once
// A list header that can lock column widths: while locking is on, the width of
// a locked column cannot be changed, neither by dragging its divider nor by any
// other resize; the page turns locking off to set its own widths.

#include <QHeaderView>
#include <vector>

namespace veldan::ui {

class CLockHeader : public QHeaderView {
    Q_OBJECT
  public:
    explicit CLockHeader(QWidget* parent = nullptr);

    // Adds `section` to the locked columns.
    void Lock(int section);
    // Turns locking on or off for all locked columns.
    void setLocking(bool on);
    // Whether locking is on.
    bool locking() const { return locking_; }
    // Whether `section` is one of the locked columns.
    bool isLocked(int section) const;

  private:
    void ApplyResizeModes();
    void OnSectionResized(int section, int oldSize, int newSize);

    std::vector<int> locked_;
    bool locking_ = true;
    bool restoring_ = false;
};

}  // namespace veldan::ui
