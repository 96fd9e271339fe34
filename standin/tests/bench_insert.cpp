// Benchmark helper (not a test): single-row parameterised INSERTs over ODBC, prepared once
// and executed N times, into a table with an int and a varchar column. Prints rows/s.
//   standin_bench_insert "CONNECTION STRING" TABLE ROWS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sql.h>

#include "standin/tests/odbc_client.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: standin_bench_insert CONNECTION TABLE ROWS\n");
    return 2;
  }
  standin::testing::OdbcClient c;
  if (!c.connect(argv[1])) {
    std::fprintf(stderr, "cannot connect\n");
    return 1;
  }
  long rows = std::atol(argv[3]);
  if (!c.prepare(std::string("insert into ") + argv[2] + " (id, name) values (?, ?)")) {
    std::fprintf(stderr, "cannot prepare\n");
    return 1;
  }
  auto start = std::chrono::steady_clock::now();
  std::string error;
  for (long i = 0; i < rows; ++i) {
    if (!c.executePrepared(
            {{SQL_INTEGER, std::to_string(i)}, {SQL_VARCHAR, "名字 " + std::to_string(i), 40}},
            &error)) {
      std::fprintf(stderr, "insert %ld failed: %s\n", i, error.c_str());
      return 1;
    }
  }
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%ld rows in %.2f s: %.0f rows/s\n", rows, s, rows / s);
  return 0;
}
