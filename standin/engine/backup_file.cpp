#include "standin/engine/backup_file.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/text/sha256.h"

namespace standin {

namespace {

const char kMagic[16] = {'S', 'Q', 'L', 'S', 'T', 'A', 'N', 'D',
                         'I', 'N', '-', 'B', 'A', 'K', 0,   1};
constexpr uint32_t kVersion = 1;

void putU32(std::string* s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s->push_back(char((v >> (8 * i)) & 0xFF));
}
void putU64(std::string* s, uint64_t v) {
  for (int i = 0; i < 8; ++i) s->push_back(char((v >> (8 * i)) & 0xFF));
}
uint64_t getLE(const std::string& s, size_t at, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | (unsigned char)s[at + size_t(i)];
  return v;
}

}  // namespace

bool BackupFile::readAll(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return false;
  *out = ss.str();
  return true;
}

bool BackupFile::writeAtomically(const std::string& path, const std::string& data,
                                 std::string* error) {
  std::string tmp = path + ".partial";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) {
      *error = "cannot create " + tmp;
      return false;
    }
    out.write(data.data(), std::streamsize(data.size()));
    out.flush();
    if (!out) {
      *error = "cannot write " + tmp;
      std::error_code ec;
      std::filesystem::remove(tmp, ec);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    *error = ec.message();
    std::filesystem::remove(tmp, ec);
    return false;
  }
  return true;
}

bool BackupFile::write(const std::string& path, const BackupHeader& h, const std::string& image,
                       std::string* error) {
  std::string header = "database=" + h.database + "\ndata_logical=" + h.dataLogical +
                       "\nlog_logical=" + h.logLogical + "\ndata_path=" + h.dataPath +
                       "\nlog_path=" + h.logPath + "\ncreated=" + h.created + "\n";
  std::string out(kMagic, sizeof kMagic);
  putU32(&out, kVersion);
  putU32(&out, uint32_t(header.size()));
  out += header;
  putU64(&out, image.size());
  out += image;
  hostrt::Sha256 sum;
  sum.Update(out);
  const auto d = sum.Digest();
  out.append(reinterpret_cast<const char*>(d.data()), d.size());
  return writeAtomically(path, out, error);
}

BackupReadResult BackupFile::read(const std::string& path, BackupHeader* h, std::string* image) {
  std::string data;
  if (!readAll(path, &data)) return BackupReadResult::CannotOpen;
  if (data.size() < sizeof kMagic + 8 || std::memcmp(data.data(), kMagic, sizeof kMagic) != 0)
    return BackupReadResult::Foreign;
  if (getLE(data, 16, 4) != kVersion) return BackupReadResult::Foreign;
  if (data.size() < 24 + 32) return BackupReadResult::Damaged;
  hostrt::Sha256 sum;
  sum.Update(data.data(), data.size() - 32);
  const auto d = sum.Digest();
  if (std::memcmp(d.data(), data.data() + data.size() - 32, 32) != 0)
    return BackupReadResult::Damaged;
  uint64_t hlen = getLE(data, 20, 4);
  if (24 + hlen + 8 + 32 > data.size()) return BackupReadResult::Damaged;
  std::string header = data.substr(24, size_t(hlen));
  uint64_t ilen = getLE(data, size_t(24 + hlen), 8);
  if (24 + hlen + 8 + ilen + 32 != data.size()) return BackupReadResult::Damaged;
  *image = data.substr(size_t(24 + hlen + 8), size_t(ilen));
  std::istringstream lines(header);
  std::string line;
  while (std::getline(lines, line)) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string k = line.substr(0, eq), v = line.substr(eq + 1);
    if (k == "database")
      h->database = v;
    else if (k == "data_logical")
      h->dataLogical = v;
    else if (k == "log_logical")
      h->logLogical = v;
    else if (k == "data_path")
      h->dataPath = v;
    else if (k == "log_path")
      h->logPath = v;
    else if (k == "created")
      h->created = v;
  }
  if (h->database.empty() || h->dataLogical.empty()) return BackupReadResult::Damaged;
  return BackupReadResult::Ok;
}

}  // namespace standin
