// ExportManifest: the list an export writes beside its table files, so that an import can prove
// the files whole. One entry per exported table: its file name, rows, bytes, SHA-256 and the
// table's identity counter. The export adds each file after writing it (the facts read back
// from the file itself, or handed over by a writer that computed them from the bytes it
// wrote) and writes the manifest last, atomically,
// under a name no table can have. An import that finds a manifest checks every ticked file
// against it before anything changes, empties the tables listed with 0 rows and restores the
// identity counters; without a manifest nothing here applies. Nothing throws: failures return
// a status with an operator's text (Chinese).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runtime/text/status.h"

namespace hostrt {
class DataStore;
class Transaction;
}  // namespace hostrt

namespace importlib {

struct ManifestEntry {
  std::string table;
  std::string file;  // name inside the directory
  long long rows = 0;
  unsigned long long bytes = 0;
  std::string sha256;                 // lower-case hex
  std::optional<long long> identity;  // last identity value issued; none without one
};

// What a data file holds, read from its bytes.
struct FileFacts {
  long long rows = 0;
  unsigned long long bytes = 0;
  std::string sha256;
};

class ExportManifest {
 public:
  // The manifest's file name; '-' cannot occur in a table name.
  static constexpr const char* kFileName = "export-manifest.txt";

  // Rows (as the format of `path`'s extension counts them: .dbf records, .xls/.xml rows,
  // otherwise text lines outside quoted values), bytes and SHA-256 of a file, read in pieces.
  // NotFound when there is no such file.
  static hostrt::Status ReadFacts(const std::string& path, FileFacts& facts);

  // --- export ---
  // Records the file just written for `table` and the table's identity counter read on `trans`.
  hostrt::Status AddExported(const std::string& table, const std::string& path,
                             hostrt::Transaction& trans);
  // The same for a file whose facts its writer computed from the bytes as it wrote them (no
  // reading back).
  hostrt::Status AddExported(const std::string& table, const std::string& path,
                             const FileFacts& facts, hostrt::Transaction& trans);
  // Replaces whatever is at `path` with an empty file (a table without rows).
  static hostrt::Status WriteEmptyFile(const std::string& path);
  // Writes the manifest into `directory` in one step (replacing an older one).
  hostrt::Status Write(const std::string& directory) const;

  // --- import ---
  // Reads the manifest of `directory`, if there is one, and checks the file of every ticked
  // row of `catalogue` (column "table", tick "flag") against it. Success when there is no
  // manifest or every ticked file matches; otherwise the reason, with the table in `table`
  // ("" for the manifest itself).
  hostrt::Status CheckBeforeImport(const hostrt::DataStore& catalogue, const std::string& directory,
                                   const std::string& extension, std::string& table);
  bool Present() const { return present_; }
  // True when the manifest lists `table` with no rows: the import empties it.
  bool ListsEmpty(const std::string& table) const;
  // Sets the identity counter of every ticked table the manifest lists, on `trans` inside the
  // import's transaction, so that new rows never take numbers already issued. On failure
  // `table` names the table.
  hostrt::Status RestoreIdentities(hostrt::Transaction& trans, std::string& table) const;

  const std::vector<ManifestEntry>& Entries() const { return entries_; }
  // The manifest's text / its reading; Parse's failure names the line at fault.
  std::string Text() const;
  hostrt::Status Parse(const std::string& text);

 private:
  const ManifestEntry* Find(const std::string& table) const;

  std::vector<ManifestEntry> entries_;
  std::vector<std::string> checked_;  // ticked tables found in the manifest
  bool present_ = false;
};

}  // namespace importlib
