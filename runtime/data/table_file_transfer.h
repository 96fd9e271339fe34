// hostrt::TableFileTransfer: moves one table between the database and a data file of the text
// layout (see data_store.h) without holding the table in memory. Import reads the file in
// bounded chunks, checks every value against its column in the program (so a bad value is
// named by line and column), empties the table and sends the rows through the driver's bulk
// copy (BulkCopy) on the transaction's own connection, or, where the driver has none, through
// one prepared INSERT executed per row. Export writes the rows of a SELECT to the file as they
// arrive. Both stay inside the transaction's open work (nothing is committed here).
//
// The bulk load asks the server for what INSERT does: NULL stays NULL (KEEP_NULLS), CHECK
// constraints are checked (CHECK_CONSTRAINTS), triggers fire (FIRE_TRIGGERS), and identity
// values are kept as in the file (IDENTITY_INSERT on for the load).
//
// Failures return Result::Failed, and LastStatus() holds a Chinese text: for a file fault
// (code FileFault) "第 N 行，列 X：reason" (the caller adds which table and file), otherwise the
// server's text (code SqlFailure). A stop asked for by the progress callback returns
// Result::Stopped (code Cancelled). Never throws. The transaction must outlive the object.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/text/status.h"

namespace hostrt {

class Transaction;

class TableFileTransfer {
 public:
  enum class Result { Done, NoFile, NoRows, Failed, Stopped };
  // Called after every chunk of rows: rows done so far in this table, the file bytes done since
  // the previous call, and whether every row is done (`last`). Returning false before the
  // last call stops the transfer; the last call's answer is not asked for.
  using ChunkCallback = std::function<bool(long rows, uint64_t bytes, bool last)>;

  explicit TableFileTransfer(Transaction& trans);

  void SetChunkCallback(ChunkCallback callback) { onChunk_ = std::move(callback); }
  // Off: row-by-row statements even where bulk copy is offered (the fallback path).
  void SetBulkCopyAllowed(bool allowed) { bulkAllowed_ = allowed; }

  // Replaces the rows of `table` with the file's. NoFile (table untouched) when the file is
  // missing or empty. `path` is UTF-8; "\" separates directories on every platform.
  Result Import(const std::string& table, const std::string& path);
  // Writes every row of `table` to the file (replacing it when complete). NoRows, and no file
  // written, when the table is empty.
  Result Export(const std::string& table, const std::string& path);

  long Rows() const { return rows_; }          // rows moved by the last call
  uint64_t Bytes() const { return bytes_; }    // file bytes read or written by the last call
  bool UsedBulkCopy() const { return bulk_; }  // the last import went through bulk copy
  const Status& LastStatus() const { return status_; }  // of the last call; Ok unless it failed
  // The SHA-256 (lower-case hex) of the file the last export wrote, computed while writing;
  // empty unless that export returned Done.
  const std::string& ExportedSha256() const { return sha256_; }

 private:
  Result ImportRows(const std::string& table, const std::string& path, std::string& error);
  Result ExportRows(const std::string& table, const std::string& path, std::string& error);
  // Keeps the outcome of a call as LastStatus() and passes its result on.
  Result Settle(Result result, std::string error);

  Transaction& trans_;
  ChunkCallback onChunk_;
  bool bulkAllowed_ = true;
  bool bulk_ = false;
  long rows_ = 0;
  uint64_t bytes_ = 0;
  Status status_;
  std::string sha256_;
};

}  // namespace hostrt
