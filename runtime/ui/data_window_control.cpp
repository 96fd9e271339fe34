#include "runtime/ui/data_window_control.h"

#include <QAbstractTableModel>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>

#include "runtime/ui/units.h"

namespace hostrt {

// Presents the store through the layout's cells. Reads go straight to the store, so the view
// never holds a stale copy; Reload() tells the view that everything may have changed.
class DataWindowControl::Model : public QAbstractTableModel {
 public:
  explicit Model(DataWindowControl& owner) : owner_(owner) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(owner_.store_.RowCount());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(owner_.cells_.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const DataWindowCell& cell = owner_.cells_[static_cast<size_t>(index.column())];
    long row = index.row() + 1;
    if (!cell.column.empty()) {
      std::optional<std::string> value = owner_.store_.GetItemString(row, cell.column);
      if (cell.checkBox) {
        if (role == Qt::CheckStateRole)
          return value && *value == cell.onValue ? Qt::Checked : Qt::Unchecked;
        return {};
      }
      // A text wider than its cell shows whole in the cell's tip.
      if ((role == Qt::DisplayRole || role == Qt::ToolTipRole) && value)
        return QString::fromStdString(*value);
      return {};
    }
    if (role == Qt::DisplayRole && !cell.expression.empty())
      return QString::fromStdString(owner_.store_.Describe("Evaluate('" + cell.expression + "', " +
                                                           std::to_string(row) + ")"));
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(owner_.cells_.size()))
      return {};
    return QString::fromStdString(owner_.cells_[static_cast<size_t>(section)].header);
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  }
  void Reload() {
    beginResetModel();
    endResetModel();
  }
  void RowChanged(int row) {
    dataChanged(index(row, 0), index(row, columnCount({}) - 1));
    // Computed cells may depend on any row.
    dataChanged(index(0, 0), index(rowCount({}) - 1, columnCount({}) - 1));
  }

 private:
  DataWindowControl& owner_;
};

// The grid's keyboard: Tab leaves the grid (it does not walk the cells), the arrow keys move the
// current row, and Space ticks or unticks the current row as a click on its check box does.
class DataWindowControl::GridView : public QTableView {
 public:
  explicit GridView(DataWindowControl* owner) : owner_(owner) { setTabKeyNavigation(false); }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
      const QModelIndex current = currentIndex();
      const int cell = owner_->CheckBoxCell();
      if (current.isValid() && cell >= 0) {
        owner_->CellClicked(current.row(), cell);
        event->accept();
        return;
      }
    }
    QTableView::keyPressEvent(event);
  }
  void focusInEvent(QFocusEvent* event) override {
    // Coming in with the keyboard, the first row is the current one, so Space has a row.
    if (!currentIndex().isValid() && model() != nullptr && model()->rowCount() > 0) {
      setCurrentIndex(model()->index(0, 0));
    }
    QTableView::focusInEvent(event);
  }

 private:
  DataWindowControl* owner_;
};

DataWindowControl::DataWindowControl(Container* parent, std::string name, UnitRect geometry)
    : Control(parent, std::move(name), new GridView(this), geometry),
      model_(std::make_unique<Model>(*this)) {
  QTableView* table = view();
  table->setModel(model_.get());
  table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  table->verticalHeader()->setVisible(false);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QObject::connect(table, &QTableView::clicked, table, [this](const QModelIndex& index) {
    if (index.isValid()) CellClicked(index.row(), index.column());
  });
}

DataWindowControl::~DataWindowControl() {
  if (QTableView* table = view()) table->setModel(nullptr);
}

QTableView* DataWindowControl::view() const {
  return static_cast<QTableView*>(widget());
}

void DataWindowControl::SetLayout(std::vector<DataWindowCell> cells) {
  model_->Reload();
  cells_ = std::move(cells);
  model_->Reload();
  QTableView* table = view();
  for (size_t i = 0; i < cells_.size(); ++i)
    if (cells_[i].width > 0)
      table->setColumnWidth(static_cast<int>(i), UnitsToPixelsX(cells_[i].width));
}

void DataWindowControl::Refresh() {
  model_->Reload();
}

int DataWindowControl::SetItem(long row, const std::string& column,
                               const std::optional<std::string>& value) {
  int result = store_.SetItem(row, column, value);
  if (result == 1) model_->RowChanged(static_cast<int>(row - 1));
  return result;
}

long DataWindowControl::InsertRow(long before) {
  long row = store_.InsertRow(before);
  model_->Reload();
  return row;
}

int DataWindowControl::AcceptText() {
  return store_.AcceptText();
}

int DataWindowControl::CheckBoxCell() const {
  for (size_t i = 0; i < cells_.size(); ++i) {
    if (cells_[i].checkBox && !cells_[i].column.empty()) return static_cast<int>(i);
  }
  return -1;
}

int DataWindowControl::ScrollToRow(long row) {
  if (row < 1 || row > store_.RowCount()) return -1;
  QTableView* table = view();
  const QModelIndex index = model_->index(static_cast<int>(row - 1), 0);
  table->setCurrentIndex(index);
  table->scrollTo(index, QAbstractItemView::EnsureVisible);
  return 1;
}

long DataWindowControl::GetRow() const {
  const QModelIndex current = view()->currentIndex();
  return current.isValid() ? current.row() + 1 : 0;
}

void DataWindowControl::CellClicked(int row, int cell) {
  const DataWindowCell& c = cells_[static_cast<size_t>(cell)];
  if (c.checkBox && !c.column.empty()) {
    std::optional<std::string> value = store_.GetItemString(row + 1, c.column);
    SetItem(row + 1, c.column, value && *value == c.onValue ? c.offValue : c.onValue);
  }
  RaiseClicked();
}

}  // namespace hostrt
