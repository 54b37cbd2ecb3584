#include "cutting/cutpointspanel.h"

#include <algorithm>
#include <cmath>

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "split/splitplan.h"

namespace {

constexpr int kTimeColumn = 0;
constexpr int kNameColumn = 1;

}  // namespace

CutPointsPanel::CutPointsPanel(QWidget* parent) : QWidget(parent), table_(new QTableWidget(0, 2, this)) {
    setObjectName("CutPoints1");
    table_->setObjectName("CutPointsTable");
    table_->setHorizontalHeaderLabels({"Starts at", "Part name"});
    table_->horizontalHeader()->setSectionResizeMode(kTimeColumn, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    // F2 or a double click edits a name; plain keys stay the window's shortcuts.
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    table_->setToolTip("The parts that \"Save all parts...\" writes; double-click a name to change it. "
                       "K adds a cut point at the playing position, Delete removes the selected one.");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(table_);
    connect(table_, &QTableWidget::itemChanged, this, &CutPointsPanel::ItemChanged);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &CutPointsPanel::SelectionChanged);
}

QString CutPointsPanel::TimeText(double seconds) {
    const long long millis = std::llround(std::max(seconds, 0.0) * 1000.0);
    return QString("%1:%2.%3")
        .arg(millis / 60000, 2, 10, QLatin1Char('0'))
        .arg(millis / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(millis % 1000, 3, 10, QLatin1Char('0'));
}

void CutPointsPanel::ShowPlan(const SplitPlan& plan, int selectedCut) {
    filling_ = true;
    // No file (or none walked yet): no parts to list.
    const bool known = plan.Duration() > 0;
    table_->setRowCount(known ? static_cast<int>(plan.PartCount()) : 0);
    for (size_t i = 0; known && i < plan.PartCount(); ++i) {
        const PlannedPart part = plan.Part(i);
        auto* time = new QTableWidgetItem(TimeText(part.start));
        time->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        auto* name = new QTableWidgetItem(QString::fromStdString(part.title));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        table_->setItem(static_cast<int>(i), kTimeColumn, time);
        table_->setItem(static_cast<int>(i), kNameColumn, name);
    }
    table_->clearSelection();
    if (selectedCut >= 0 && static_cast<size_t>(selectedCut) < plan.CutCount()) table_->selectRow(selectedCut + 1);
    filling_ = false;
}

void CutPointsPanel::ItemChanged(QTableWidgetItem* item) {
    if (filling_ || item->column() != kNameColumn) return;
    emit titleEdited(item->row(), item->text());
}

void CutPointsPanel::SelectionChanged() {
    if (filling_) return;
    const QList<QTableWidgetItem*> items = table_->selectedItems();
    emit cutSelected(items.isEmpty() ? -1 : items.first()->row() - 1);
}
