#include "dataadmin/redating_check.h"

#include <algorithm>
#include <map>
#include <set>

#include "runtime/data/data_store.h"
#include "runtime/sql/transaction.h"

namespace importlib {

namespace {

struct NumberColumn {
  const char* kind;
  const char* column;
  std::vector<const char*> tables;
};

// Every column the re-dating rewrites with stuff(); one bill's number appears in several tables.
const std::vector<NumberColumn>& NumberColumns() {
  static const std::vector<NumberColumn> columns = {
      {"单号",
       "ch_billno",
       {"cybr_u_tmp_orderdish", "cybr_u_tmp_orderdish_memo", "cybr_u_tmp_table",
        "cybr_u_tmp_master", "cybr_u_tmp_checkout_master", "cybr_u_orderdish_delete",
        "cybr_u_tmp_togo"}},
      {"结算单号",
       "ch_payno",
       {"cybr_u_tmp_orderdish", "cybr_u_tmp_table", "cybr_u_tmp_checkout_master",
        "cybr_u_tmp_checkout_detail", "cybr_u_tmp_togo"}},
  };
  return columns;
}

// The length in bytes of the UTF-8 character that starts with `lead`.
size_t CharLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// How the server tells keys apart: trailing blanks do not count, nor the case of letters.
std::string KeyOf(const std::string& number) {
  std::string key = number.substr(0, number.find_last_not_of(' ') + 1);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

hostrt::Status ReadDistinct(hostrt::Transaction& trans, const std::string& table,
                            const std::string& column, std::vector<std::string>& values) {
  const std::string sql =
      "select distinct " + column + " from " + table + " where " + column + " is not null";
  hostrt::DataStore store;
  std::string syntax;
  if (hostrt::Status described = hostrt::SyntaxFromSQL(trans, sql, "style(type=grid)", syntax);
      !described.ok()) {
    return described;
  }
  if (store.Create(syntax) != 1) return store.LastStatus();
  store.SetTransObject(trans);
  if (store.Retrieve() < 0) return store.LastStatus();
  for (long row = 1; row <= store.RowCount(); ++row) {
    if (auto value = store.GetItemString(row, 1)) values.push_back(*value);
  }
  return hostrt::Status::Ok();
}

}  // namespace

std::optional<std::string> RedatingCheck::Redated(const std::string& number,
                                                  const std::string& today) {
  std::vector<size_t> starts;  // byte offset of every character
  for (size_t at = 0; at < number.size();
       at += CharLength(static_cast<unsigned char>(number[at]))) {
    starts.push_back(at);
  }
  if (starts.size() < 2) return std::nullopt;
  std::string result = number.substr(0, starts[1]) + today;
  if (starts.size() > 7) result += number.substr(starts[7]);
  return result;
}

hostrt::Status RedatingCheck::FindCollisions(hostrt::Transaction& trans, const std::string& today,
                                             std::vector<BillCollision>& collisions) {
  collisions.clear();
  for (const NumberColumn& column : NumberColumns()) {
    // New key -> (old key -> the old number as first read).
    std::map<std::string, std::map<std::string, std::string>> by_new;
    std::map<std::string, std::string> new_text;
    for (const char* table : column.tables) {
      std::vector<std::string> numbers;
      if (hostrt::Status read = ReadDistinct(trans, table, column.column, numbers); !read.ok()) {
        return read.WithContext(std::string(table) + ": ");
      }
      for (const std::string& number : numbers) {
        const std::optional<std::string> redated = Redated(number, today);
        if (!redated) continue;  // the update itself refuses or keeps NULL; nothing merges
        const std::string key = KeyOf(*redated);
        by_new[key].emplace(KeyOf(number), number);
        new_text.emplace(key, *redated);
      }
    }
    for (const auto& [key, olds] : by_new) {
      if (olds.size() < 2) continue;
      BillCollision collision;
      collision.kind = column.kind;
      collision.new_number = new_text[key];
      for (const auto& entry : olds) collision.old_numbers.push_back(entry.second);
      std::sort(collision.old_numbers.begin(), collision.old_numbers.end());
      collisions.push_back(std::move(collision));
    }
  }
  return hostrt::Status::Ok();
}

std::string RedatingCheck::Message(const std::vector<BillCollision>& collisions) {
  constexpr size_t kShown = 20;
  std::string text = "以下未结单据按今天的日期重新编号后会变成同一个号码，未更新任何单据：";
  for (size_t i = 0; i < collisions.size() && i < kShown; ++i) {
    const BillCollision& c = collisions[i];
    text += "\n" + c.kind + " ";
    for (size_t j = 0; j < c.old_numbers.size(); ++j) {
      text += (j ? "、" : "") + c.old_numbers[j];
    }
    text += " -> " + c.new_number;
  }
  if (collisions.size() > kShown) {
    text += "\n……另有 " + std::to_string(collisions.size() - kShown) + " 组";
  }
  return text;
}

}  // namespace importlib
