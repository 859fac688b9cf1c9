#pragma once
// The KillBit page (dialog 135): the user's own list of class identifiers to
// block. A tick sets the kill bit at once, an untick removes it; entries are
// added and edited through the KillBit entry dialog and deleted after a
// question. The list is read from the list file when the page is created and
// written back when it is destroyed; a header click sorts it, and the file
// keeps the sorted order.

#include "engine/immunize.h"
#include "ui/killbit_sort.h"
#include "ui/page.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace veldan::ui {

class CCLSIDDlg : public CEZPropertyPage {
    Q_OBJECT
  public:
    static constexpr int kDialogId = 135;

    CCLSIDDlg(AppState& app, QWidget* parent);
    // Writes the list back to its file.
    ~CCLSIDDlg() override;

    // The entries in list order, with their ticks.
    const engine::KillBitList& entries() const { return list_; }
    // How the list is sorted now (column -1: not sorted yet).
    const ListSortState& sortState() const { return sort_; }

  protected:
    bool OnAppMessage(const AppEvent& message) override;
    void OnPageResized() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Reads the list file again (when neither file opens the list stays).
    void Load();
    // Rebuilds the rows from the entries and selects row `select` (-1: none).
    void Fill(int select);
    void ShowCount();
    // The row of the selected item, or -1.
    int SelectedIndex() const;
    // Selects and focuses row `index`, scrolled into view.
    void SelectRow(int index);

    void OnItemChanged(QTreeWidgetItem* item, int column);
    void OnBlockAll();
    void OnUnblockAll();
    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnHeaderClicked(int column);
    // After an immunization run: the ticks show the registry again.
    void OnKbRefresh();

    engine::KillBitList list_;
    ListSortState sort_;
    // Set while the program itself changes ticks, so they are not taken as clicks.
    bool busy_ = false;
    // Entries were added, edited, deleted or sorted since the last load or save.
    bool unsaved_ = false;
    QLabel* count_ = nullptr;
    QTreeWidget* list1003_ = nullptr;
};

}  // namespace veldan::ui
