// d_sys_db_export: the table catalogue. A fixed list of the application tables that the data
// administration window can export and import, in the order both procedures walk them. Each
// row has a display label (name), the physical table (table), the tick flag (flag, "1" or "0",
// all "1" at start) and a remark (other, always NULL). The catalogue lives in an external data
// store: its rows are made here, it has no query. Nothing here throws.
#pragma once

#include <string>
#include <vector>

#include "runtime/ui/data_window_control.h"
#include "runtime/ui/font.h"

namespace importlib {

struct CatalogueTable {
  const char* name;   // label shown in the grid (UTF-8)
  const char* table;  // table in the application database
};

// The 63 tables in catalogue order.
const std::vector<CatalogueTable>& CatalogueTables();

// How the grid shows the catalogue: the row number (computed), the tick box over flag, the
// label and the remark; the table column has no cell. Arial 9 pt.
std::vector<hostrt::DataWindowCell> CatalogueCells();
hostrt::Font CatalogueFont();

// Gives `store` the catalogue's columns (name char(20), table char(30), flag char(1), other
// char(20)) and its stored rows, replacing whatever it held. 1, or -1 when the store refuses the
// definition or a value (the store's LastError says why).
int CreateCatalogue(hostrt::DataStore& store);

}  // namespace importlib
