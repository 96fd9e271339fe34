// hostrt::DataFileCodec: the file layouts of the data stores' SaveAs and ImportFile, as pure
// functions from rows to bytes and back. Rows hold UTF-8 values, NULL as nullopt. Decoding
// returns false with the 1-based line (or record) number of the fault and a message; it never
// throws. The layouts are described in runtime/data/data_store.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text/status.h"

namespace hostrt {

using DataRow = std::vector<std::optional<std::string>>;
// A row whose values are already GBK bytes (the file's own), borrowed; NULL as nullopt.
using GbkRow = std::vector<std::optional<std::string_view>>;

struct DataFileFault {
  long line = 0;
  std::string message;
};

class DataFileCodec {
 public:
  // Tab-separated GBK text, CRLF line ends.
  static std::string EncodeText(const std::vector<std::string>& headings,
                                const std::vector<DataRow>& rows, bool withHeadings);
  // One row of the text layout, with its line end, appended to `out` (what EncodeText writes
  // for each row; the streaming export writes the same bytes).
  static void AppendTextRow(std::string& out, const DataRow& row);
  // One value that is GBK already (no conversion: the bytes go in as they are) as the text
  // layout writes it, at `out`, which has room for twice its bytes and two more; returns the
  // end of what was written.
  static char* PutGbkField(char* out, std::string_view gbk);
  static bool DecodeText(const std::string& bytes, size_t columns, std::vector<DataRow>& rows,
                         DataFileFault& fault);

  // dBASE III: one character field per column. FileFault (with a message) when a value is
  // longer than a field can hold or there are more columns than the layout allows.
  static Status EncodeDbf(const std::vector<std::string>& names, const std::vector<DataRow>& rows,
                          std::string& bytes);
  static bool DecodeDbf(const std::string& bytes, size_t columns, std::vector<DataRow>& rows,
                        DataFileFault& fault);

  // XML spreadsheet (SpreadsheetML 2003), UTF-8.
  static std::string EncodeXml(const std::vector<std::string>& headings,
                               const std::vector<DataRow>& rows, bool withHeadings);
  static bool DecodeXml(const std::string& bytes, size_t columns, std::vector<DataRow>& rows,
                        DataFileFault& fault);
};

}  // namespace hostrt
