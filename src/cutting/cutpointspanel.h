#pragma once
// The list under the waveform: one row per part, with the time it starts (mm:ss.mmm) and its
// name, which the user can edit. Row 0 is the part before the first cut point; row n starts at
// cut point n - 1. The panel shows the plan it is given and reports edits as signals.
#include <QString>
#include <QWidget>

class QTableWidget;
class QTableWidgetItem;
class SplitPlan;

class CutPointsPanel : public QWidget {
    Q_OBJECT
public:
    explicit CutPointsPanel(QWidget* parent = nullptr);

    // Fills the rows from `plan`, the row of cut point `selectedCut` selected (-1: none); a plan
    // without a length has no rows.
    void ShowPlan(const SplitPlan& plan, int selectedCut);
    QTableWidget* Table() const { return table_; }

    // "mm:ss.mmm" (minutes go past 59 for long files).
    static QString TimeText(double seconds);

signals:
    void titleEdited(int part, const QString& title);
    // The cut point whose row was selected, -1 for the first part's row or none.
    void cutSelected(int cut);

private:
    void ItemChanged(QTableWidgetItem* item);
    void SelectionChanged();

    QTableWidget* table_;
    bool filling_ = false;
};
