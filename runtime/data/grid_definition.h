// hostrt::GridDefinition: the columns and the updatable table of a data store, and the text
// form of it that SyntaxFromSQL produces and DataStore::Create reads. Plain data; Parse
// returns a BadValue status for text it does not understand (the object stays as it was).
// Never throws.
//
// The text form, one item per line:
//   datawindow(style=grid)
//   table(name="dbo.t" select="SELECT * FROM t")
//   column(name="id" type="long" dbtype="int identity" key=yes identity=yes)
// Quoted values double an embedded quote and write CR, LF and '~' as ~r, ~n and ~~.
#pragma once

#include <string>
#include <vector>

#include "runtime/text/status.h"

namespace hostrt {

struct GridColumn {
  enum class Kind { Text, Integer, Decimal, Real, DateTime, Binary };
  std::string name;
  std::string type;    // "char(20)", "long", "decimal(4)", "number", "datetime", "blob"
  std::string dbType;  // the server's type name, "" for an external column
  Kind kind = Kind::Text;
  bool key = false;
  bool identity = false;
};

struct GridDefinition {
  std::string table;  // "" when the rows cannot be written back (external, joins)
  std::string select;
  std::vector<GridColumn> columns;

  std::string ToText() const;
  Status Parse(const std::string& text);
};

// The kind of a column type ("char(20)", "long", "decimal(2)", ...); false when unknown.
bool ColumnKindOfType(const std::string& type, GridColumn::Kind& kind);

// Whether `value` is a valid value of a column of that kind (text as it is stored: decimals
// as digits, datetimes "yyyy-mm-dd[ hh:mm:ss[.fff]]", binary as hex).
bool ValueFitsKind(GridColumn::Kind kind, const std::string& value);

}  // namespace hostrt
