// Benchmark of the data-file readers (not a test): milliseconds to read ROWS generated rows of
// ten columns from a text file, a dBASE file and an XML spreadsheet, so that a reader whose time
// grows faster than its input shows. Prints one line per layout.
//   bench_file_readers [ROWS]     (default 40000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/data/data_file_codec.h"

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::atol(argv[1]) : 40000;
  std::vector<std::string> names;
  for (int c = 0; c < 10; ++c) names.push_back("c" + std::to_string(c));
  std::vector<hostrt::DataRow> rows;
  for (long r = 0; r < count; ++r) {
    hostrt::DataRow row;
    row.push_back(std::to_string(r));
    row.push_back("菜品名称" + std::to_string(r % 977));
    row.push_back(std::nullopt);
    for (int c = 3; c < 10; ++c) row.push_back(std::to_string((r * 31 + c) % 10007) + ".50");
    rows.push_back(std::move(row));
  }
  std::string dbf;
  if (const hostrt::Status encoded = hostrt::DataFileCodec::EncodeDbf(names, rows, dbf);
      !encoded.ok()) {
    std::fprintf(stderr, "%s\n", encoded.message().c_str());
    return 1;
  }
  const struct {
    const char* name;
    std::string bytes;
    bool (*decode)(const std::string&, size_t, std::vector<hostrt::DataRow>&,
                   hostrt::DataFileFault&);
  } layouts[] = {
      {"text", hostrt::DataFileCodec::EncodeText(names, rows, false),
       &hostrt::DataFileCodec::DecodeText},
      {"dbase", dbf, &hostrt::DataFileCodec::DecodeDbf},
      {"xml", hostrt::DataFileCodec::EncodeXml(names, rows, false),
       &hostrt::DataFileCodec::DecodeXml},
  };
  for (const auto& layout : layouts) {
    std::vector<hostrt::DataRow> back;
    hostrt::DataFileFault fault;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = layout.decode(layout.bytes, names.size(), back, fault);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-6s %8ld rows %10zu bytes %10.1f ms%s\n", layout.name, count, layout.bytes.size(),
                ms, ok && back.size() == rows.size() ? "" : "  FAILED");
  }
  return 0;
}
