#include "dataadmin/table_transfer.h"

#include "runtime/data/text_row_reader.h"
#include "runtime/sql/transaction.h"
#include "runtime/ui/events.h"
#include "runtime/ui/globals.h"
#include "runtime/ui/progress_bar.h"

namespace importlib {

std::uint64_t table_transfer::FileBytes(const std::string& path) {
  return hostrt::TextRowReader::FileBytes(path);
}

hostrt::TableFileTransfer::ChunkCallback table_transfer::Chunks(long row) {
  return [this, row](long rows, std::uint64_t bytes, bool last) {
    bytes_done_ += bytes;
    if (bytes_total_ > 0) {
      const std::uint64_t done = bytes_done_ < bytes_total_ ? bytes_done_ : bytes_total_;
      bar_.SetPosition(static_cast<int>(done * 100 / bytes_total_));
    }
    if (observer_ != nullptr) observer_->Progress(row, rows, bytes_done_, bytes_total_);
    hostrt::ProcessPendingEvents();
    // Polled between chunks only: after the last one, the next poll is between tables.
    return last || observer_ == nullptr || !observer_->StopRequested();
  };
}

std::string table_transfer::Named(const std::string& label, const std::string& path,
                                  const std::string& error) const {
  // The file by its name; the directory is the one the operator chose.
  const size_t cut = path.find_last_of("\\/");
  const std::string file = cut == std::string::npos ? path : path.substr(cut + 1);
  const bool located = error.rfind("第 ", 0) == 0;  // "第 N 行，列 X：..."
  return label + "（" + file + "）" + (located ? "" : "：") + error;
}

table_transfer::Result table_transfer::Import(long row, const std::string& table,
                                              const std::string& label, const std::string& path,
                                              long& rows) {
  hostrt::TableFileTransfer transfer(hostrt::sqlca);
  transfer.SetChunkCallback(Chunks(row));
  const Result result = transfer.Import(table, path);
  rows = transfer.Rows();
  status_ = transfer.LastStatus();
  if (result == Result::Failed) {
    status_ = hostrt::Status::Error(status_.code(), Named(label, path, status_.message()));
  }
  return result;
}

table_transfer::Result table_transfer::Export(long row, const std::string& table,
                                              const std::string& path, long& rows) {
  hostrt::TableFileTransfer transfer(hostrt::sqlca);
  transfer.SetChunkCallback(Chunks(row));
  const Result result = transfer.Export(table, path);
  rows = transfer.Rows();
  status_ = transfer.LastStatus();
  exported_bytes_ = transfer.Bytes();
  exported_sha256_ = transfer.ExportedSha256();
  return result;
}

}  // namespace importlib
