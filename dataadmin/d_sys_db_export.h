// d_sys_db_export: the table catalogue. A fixed list of the application tables that the data
// administration window can export and import, in the order both procedures walk them. Each
// row has a display label (name), the physical table (table), the tick flag (flag, "1" or "0",
// all "1" at start) and a remark (other, always NULL). The catalogue lives in an external data
// store: its rows are made here, it has no query. Nothing here throws.
#pragma once

#include <string>
#include <vector>

namespace hostrt {
class DataStore;
}

namespace importlib {

struct CatalogueTable {
  const char* name;   // label shown in the grid (UTF-8)
  const char* table;  // table in the application database
};

// The 63 tables in catalogue order.
const std::vector<CatalogueTable>& CatalogueTables();

// How the grid shows the catalogue: font and the headers over its cells (the table column has
// no cell). The row-number cell is a computed field with the expression below.
struct CatalogueLayout {
  std::string font_face = "Arial";
  int font_size_pt = 9;
  int font_weight = 400;
  std::string row_number_header = "行号";
  std::string row_number_expression = "getrow()";
  std::string flag_header = "选择";
  std::string name_header = "名称";
  std::string other_header = "备注";
};
const CatalogueLayout& d_sys_db_export_layout();

// Gives `store` the catalogue's columns (name char(20), table char(30), flag char(1), other
// char(20)) and its stored rows, replacing whatever it held. 1, or -1 when the store refuses the
// definition or a value (the store's LastError says why).
int CreateCatalogue(hostrt::DataStore& store);

}  // namespace importlib
