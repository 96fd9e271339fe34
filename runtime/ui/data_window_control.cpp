#include "runtime/ui/data_window_control.h"

#include <QAbstractTableModel>
#include <QHeaderView>
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
      if (role == Qt::DisplayRole && value) return QString::fromStdString(*value);
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

DataWindowControl::DataWindowControl(Container* parent, std::string name, UnitRect geometry)
    : Control(parent, std::move(name), new QTableView, geometry),
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

void DataWindowControl::CellClicked(int row, int cell) {
  const DataWindowCell& c = cells_[static_cast<size_t>(cell)];
  if (c.checkBox && !c.column.empty()) {
    std::optional<std::string> value = store_.GetItemString(row + 1, c.column);
    SetItem(row + 1, c.column, value && *value == c.onValue ? c.offValue : c.onValue);
  }
  RaiseClicked();
}

}  // namespace hostrt
