// hostrt::DataWindowControl: a grid on a window that shows the rows of the data store it owns
// (a QTableView with a vertical scroll bar). The layout names the cells shown, left to right:
// a column of the store (columns without a cell stay hidden), a computed cell with an
// expression such as "getrow()", or a column edited through a check box with its on and off
// values. Clicking a check-box cell stores the other value in the row. The item functions
// delegate to the store and return what it returns; the view follows every change.
// Keyboard: Tab leaves the grid, the arrow keys move the current row, Space on the current row
// acts as a click on its check-box cell.
// Never throws.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/data/data_store.h"
#include "runtime/ui/control.h"

class QTableView;

namespace hostrt {

struct DataWindowCell {
  std::string header;      // header text over the cell
  std::string column;      // the store's column; "" for a computed cell
  std::string expression;  // a computed cell's expression, e.g. "getrow()"
  bool checkBox = false;   // edit style: check box with these values
  std::string onValue = "1";
  std::string offValue = "0";
  int width = 0;  // window units; 0 lets the grid choose

  static DataWindowCell Column(std::string header, std::string column, int width = 0) {
    DataWindowCell c;
    c.header = std::move(header);
    c.column = std::move(column);
    c.width = width;
    return c;
  }
  static DataWindowCell Computed(std::string header, std::string expression, int width = 0) {
    DataWindowCell c;
    c.header = std::move(header);
    c.expression = std::move(expression);
    c.width = width;
    return c;
  }
  static DataWindowCell CheckBox(std::string header, std::string column, std::string on,
                                 std::string off, int width = 0) {
    DataWindowCell c = Column(std::move(header), std::move(column), width);
    c.checkBox = true;
    c.onValue = std::move(on);
    c.offValue = std::move(off);
    return c;
  }
};

class DataWindowControl : public Control {
 public:
  DataWindowControl(Container* parent, std::string name, UnitRect geometry);
  ~DataWindowControl() override;

  // The rows shown. Changing rows or columns directly needs Refresh() afterwards; the item
  // functions below refresh by themselves.
  DataStore& Store() { return store_; }
  const DataStore& Store() const { return store_; }
  void SetLayout(std::vector<DataWindowCell> cells);
  const std::vector<DataWindowCell>& Layout() const { return cells_; }
  void Refresh();

  long RowCount() const { return store_.RowCount(); }
  std::optional<std::string> GetItemString(long row, const std::string& column) const {
    return store_.GetItemString(row, column);
  }
  int SetItem(long row, const std::string& column, const std::optional<std::string>& value);
  long InsertRow(long before);
  int AcceptText();  // 1 (cells are stored as soon as they change)
  // Makes `row` the current row and scrolls it into view: 1, or -1 for no such row.
  int ScrollToRow(long row);
  long GetRow() const;  // the current row, 0 when there is none
  std::string Describe(const std::string& request) const { return store_.Describe(request); }
  long ModifiedCount() const { return store_.ModifiedCount(); }
  long DeletedCount() const { return store_.DeletedCount(); }

  QTableView* view() const;

 private:
  class Model;
  class GridView;
  void CellClicked(int row, int cell);
  int CheckBoxCell() const;  // the first check-box cell, -1 when there is none

  DataStore store_;
  std::vector<DataWindowCell> cells_;
  std::unique_ptr<Model> model_;
};

}  // namespace hostrt
