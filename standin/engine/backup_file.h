// BackupFile: the stand-in's backup format. A file holds a magic, a version, a header of
// key=value lines (database name, logical and physical file names), the SQLite database image
// and a SHA-256 checksum of everything before it. Reading verifies the whole file before
// handing anything out; writing goes to a temporary file that is renamed into place.
#pragma once

#include <string>

namespace standin {

struct BackupHeader {
  std::string database;
  std::string dataLogical;
  std::string logLogical;
  std::string dataPath;
  std::string logPath;
  std::string created;
};

enum class BackupReadResult { Ok, CannotOpen, Foreign, Damaged };

class BackupFile {
 public:
  static bool write(const std::string& path, const BackupHeader& h, const std::string& image,
                    std::string* error);
  static BackupReadResult read(const std::string& path, BackupHeader* h, std::string* image);
  // Whole-file helpers used by backup and restore.
  static bool readAll(const std::string& path, std::string* out);
  static bool writeAtomically(const std::string& path, const std::string& data, std::string* error);
};

}  // namespace standin
