// Fuzz target: the dbf file reader of the data stores (DataFileCodec::DecodeDbf). Every row it
// accepts must have exactly the columns asked for.
#include <cstdlib>

#include "fuzz/reader_input.h"
#include "runtime/data/data_file_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzzing::ReaderInput input = fuzzing::SplitReaderInput(data, size);
  std::vector<hostrt::DataRow> rows;
  hostrt::DataFileFault fault;
  if (hostrt::DataFileCodec::DecodeDbf(input.bytes, input.columns, rows, fault)) {
    for (const hostrt::DataRow& row : rows) {
      if (row.size() != input.columns) std::abort();
    }
  }
  return 0;
}
