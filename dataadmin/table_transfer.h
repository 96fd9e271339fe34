// table_transfer: one ticked table's turn of the base-data export or import in the text layout,
// streamed through hostrt::TableFileTransfer. It moves the progress bar by file bytes across
// the whole run, tells the observer after every chunk of rows, repaints the window while the
// work goes on, and stops between chunks when the observer asks. Failure texts name the table
// by its catalogue label and file: "菜品资料（cybr_bt_dish.txt）第 3 行，列 num_price：..."
// (LastStatus(), code as hostrt::TableFileTransfer gives it).
// The bar and observer (may be null) must outlive the object. Nothing throws.
#pragma once

#include <cstdint>
#include <string>

#include "dataadmin/transfer_observer.h"
#include "runtime/data/table_file_transfer.h"

namespace hostrt {
class HProgressBar;
}

namespace importlib {

class table_transfer {
 public:
  using Result = hostrt::TableFileTransfer::Result;

  table_transfer(hostrt::HProgressBar& bar, TransferObserver* observer)
      : bar_(bar), observer_(observer) {}

  // Bytes of all the files the run will read: the sum of their sizes (missing files count 0).
  // With a total, the bar shows bytes done out of it; without one it is left to the caller.
  void SetBytesTotal(std::uint64_t total) { bytes_total_ = total; }
  static std::uint64_t FileBytes(const std::string& path);

  // `row` is the catalogue row, `label` its label. `rows` gets the rows moved.
  Result Import(long row, const std::string& table, const std::string& label,
                const std::string& path, long& rows);
  Result Export(long row, const std::string& table, const std::string& path, long& rows);
  // Why the last call failed or stopped; Ok after one that did neither.
  const hostrt::Status& LastStatus() const { return status_; }
  // Of the last Export that returned Done: bytes written and their SHA-256 (lower-case hex).
  std::uint64_t ExportedBytes() const { return exported_bytes_; }
  const std::string& ExportedSha256() const { return exported_sha256_; }

 private:
  hostrt::TableFileTransfer::ChunkCallback Chunks(long row);
  std::string Named(const std::string& label, const std::string& path,
                    const std::string& error) const;

  hostrt::HProgressBar& bar_;
  TransferObserver* observer_;
  std::uint64_t bytes_total_ = 0;
  std::uint64_t bytes_done_ = 0;
  hostrt::Status status_;
  std::uint64_t exported_bytes_ = 0;
  std::string exported_sha256_;
};

}  // namespace importlib
