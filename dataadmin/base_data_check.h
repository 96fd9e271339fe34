// base_data_check: checks base-data files against their tables on the server without changing
// anything: every line of a table's file is read as the import would read it and each value is
// compared with its column (the number of values, the type, the length in GBK bytes, NOT NULL,
// GBK text) and the file's rows with each other (no two may share a primary key). Every problem
// is kept, with its file, line and column, not only the first. Nothing throws; the statements
// run on the transaction given are selects only.
#pragma once

#include <string>
#include <vector>

#include "runtime/text/status.h"

namespace hostrt {
class Transaction;
}

namespace importlib {

// A column of a table as the server describes it.
struct CheckColumn {
  std::string name;
  std::string type;  // the server's type name in lower case: "varchar", "int", "decimal", ...
  long length = 0;   // characters / bytes of a character column (-1: unlimited)
  int precision = 0;
  int scale = 0;
  bool nullable = true;
  bool key = false;  // part of the primary key
};

struct CheckProblem {
  std::string file;
  long line = 0;   // 1-based line of the file (the record number in DBF and Excel files)
  int column = 0;  // 1-based value of the line; 0 when the problem concerns the whole line
  std::string text;
};

class base_data_check {
 public:
  // Reads the columns of `table` (in table order, with their primary key) through `trans`.
  // A failure (NotFound for a table the server does not have) when it cannot be described.
  static hostrt::Status ReadColumns(hostrt::Transaction& trans, const std::string& table,
                                    std::vector<CheckColumn>& columns);

  // Checks the bytes of a file in the export's layout for `extension` (".txt"/".TXT" text,
  // ".DBF" dBASE III, ".XLS" XML spreadsheet) against `columns`; appends what it finds to
  // `problems` naming `file`, and returns the number of rows read.
  static long CheckFile(const std::string& file, const std::string& extension,
                        const std::string& bytes, const std::vector<CheckColumn>& columns,
                        std::vector<CheckProblem>& problems);

  // Whether `value` (UTF-8, not NULL) fits `column`; "" when it does, else why not.
  static std::string CheckValue(const CheckColumn& column, const std::string& value);
};

}  // namespace importlib
