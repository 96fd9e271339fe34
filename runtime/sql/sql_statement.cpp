#include "runtime/sql/sql_statement.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

#include "runtime/sql/driver_results.h"
#include "runtime/sql/odbc.h"
#include "runtime/sql/odbc_connection.h"
#include "runtime/sql/odbc_text.h"
#include "runtime/sql/transaction.h"

namespace hostrt {

struct SqlStatement::Buffer {
  std::vector<odbctext::Char> text;  // room for the bound size; never moves while bound
  SQLBIGINT integer = 0;
  SQLINTEGER integer32 = 0;
  double real = 0;
  SQLLEN indicator = 0;
  SQLSMALLINT cType = 0;
  SQLSMALLINT sqlType = 0;
  SQLULEN size = 0;
};

namespace {

SQLHSTMT H(void* stmt) {
  return static_cast<SQLHSTMT>(stmt);
}

// Text longer than a varchar parameter can hold goes as text (varchar(max) on the server).
constexpr size_t kLongText = 8000;

// The column sizes ODBC gives the numeric parameter types: their digits of precision.
constexpr SQLULEN kIntegerDigits = 10;  // SQL_INTEGER
constexpr SQLULEN kBigIntDigits = 19;   // SQL_BIGINT
constexpr SQLULEN kDoubleDigits = 15;   // SQL_DOUBLE

}  // namespace

SqlStatement::SqlStatement(Transaction& trans) : trans_(trans) {
  void* dbc = trans.OdbcHandle();
  if (dbc == nullptr) {
    trans.Fail(kNotConnectedText);
    return;
  }
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (trans.Check(SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(dbc), &stmt), SQL_HANDLE_DBC,
                  dbc, "allocate a statement"))
    stmt_ = stmt;
}

SqlStatement::~SqlStatement() {
  if (stmt_ != nullptr) {
    // Freeing closes the cursor and discards what is left of the results.
    trans_.Check(SQLFreeHandle(SQL_HANDLE_STMT, H(stmt_)), SQL_HANDLE_STMT, stmt_,
                 "free a statement");
  }
}

namespace {

// The declared size of a text parameter: in bytes of the server's code page, where a UTF-16
// unit can take two bytes (sized in characters, Chinese text would be cut), rounded up so that
// a statement executed many times keeps one declaration for values of similar length.
SQLULEN TextSize(size_t units) {
  const size_t bytes = units * 2;
  if (bytes > kLongText) return bytes;
  SQLULEN size = 64;
  while (size < bytes) size *= 2;
  return size > kLongText ? kLongText : size;
}

}  // namespace

bool SqlStatement::Fill(Buffer& buffer, const SqlValue& input) {
  switch (input.kind()) {
    case SqlValue::Kind::Null:
      buffer.indicator = SQL_NULL_DATA;
      return true;
    case SqlValue::Kind::Text: {
      if (buffer.cType != odbctext::kCType) return false;
      const odbctext::String text = odbctext::ToOdbc(input.text());
      const bool longText = text.size() * 2 > kLongText;
      if ((buffer.sqlType == SQL_LONGVARCHAR) != longText || text.size() * 2 > buffer.size ||
          text.size() > buffer.text.size())
        return false;
      std::copy(text.begin(), text.end(), buffer.text.begin());
      buffer.indicator = static_cast<SQLLEN>(text.size() * sizeof(odbctext::Char));
      return true;
    }
    case SqlValue::Kind::Integer:
      if (buffer.cType == SQL_C_SLONG &&
          input.integer() >= std::numeric_limits<SQLINTEGER>::min() &&
          input.integer() <= std::numeric_limits<SQLINTEGER>::max()) {
        buffer.integer32 = static_cast<SQLINTEGER>(input.integer());
      } else if (buffer.cType == SQL_C_SBIGINT) {
        buffer.integer = input.integer();
      } else {
        return false;
      }
      buffer.indicator = 0;
      return true;
    case SqlValue::Kind::Real:
      if (buffer.cType != SQL_C_DOUBLE) return false;
      buffer.real = input.real();
      buffer.indicator = 0;
      return true;
  }
  return false;
}

bool SqlStatement::BindInputs(const std::vector<SqlValue>& inputs) {
  // A statement executed again keeps its bindings when every value fits them (a NULL fits any):
  // the driver then runs the prepared statement without preparing it again.
  if (buffers_.size() == inputs.size()) {
    bool fits = true;
    for (size_t i = 0; fits && i < inputs.size(); ++i) fits = Fill(*buffers_[i], inputs[i]);
    if (fits) return true;
  }
  if (!trans_.Check(SQLFreeStmt(H(stmt_), SQL_RESET_PARAMS), SQL_HANDLE_STMT, stmt_,
                    "reset parameters"))
    return false;
  buffers_.clear();
  SQLUSMALLINT number = 0;
  for (const SqlValue& input : inputs) {
    ++number;
    auto buffer = std::make_unique<Buffer>();
    SQLSMALLINT cType = odbctext::kCType;
    SQLSMALLINT sqlType = SQL_VARCHAR;
    SQLULEN size = 64;
    SQLPOINTER data = nullptr;
    SQLLEN capacity = 0;
    switch (input.kind()) {
      case SqlValue::Kind::Null:
      case SqlValue::Kind::Text: {
        const size_t units = input.isNull() ? 0 : odbctext::ToOdbc(input.text()).size();
        size = TextSize(units);
        if (size > kLongText) sqlType = SQL_LONGVARCHAR;
        buffer->text.assign(size / 2 + 1, 0);
        data = buffer->text.data();
        capacity = static_cast<SQLLEN>(buffer->text.size() * sizeof(odbctext::Char));
        break;
      }
      case SqlValue::Kind::Integer:
        if (input.integer() >= std::numeric_limits<SQLINTEGER>::min() &&
            input.integer() <= std::numeric_limits<SQLINTEGER>::max()) {
          cType = SQL_C_SLONG;
          sqlType = SQL_INTEGER;
          data = &buffer->integer32;
          size = kIntegerDigits;
        } else {
          cType = SQL_C_SBIGINT;
          sqlType = SQL_BIGINT;
          data = &buffer->integer;
          size = kBigIntDigits;
        }
        break;
      case SqlValue::Kind::Real:
        cType = SQL_C_DOUBLE;
        sqlType = SQL_DOUBLE;
        data = &buffer->real;
        size = kDoubleDigits;
        break;
    }
    buffer->cType = cType;
    buffer->sqlType = sqlType;
    buffer->size = size;
    Fill(*buffer, input);
    if (!trans_.Check(SQLBindParameter(H(stmt_), number, SQL_PARAM_INPUT, cType, sqlType, size, 0,
                                       data, capacity, &buffer->indicator),
                      SQL_HANDLE_STMT, stmt_, "bind an input value"))
      return false;
    buffers_.push_back(std::move(buffer));
  }
  return true;
}

bool SqlStatement::ExecDirect(std::string_view sql, const std::vector<SqlValue>& inputs) {
  if (stmt_ == nullptr) return false;
  CloseCursor();
  if (!BindInputs(inputs)) return false;
  executed_ = true;
  SQLRETURN rc = odbctext::ExecDirect(H(stmt_), sql);
  failedAtStart_ = rc == SQL_ERROR;
  return rc == SQL_NO_DATA || trans_.Check(rc, SQL_HANDLE_STMT, stmt_, "execute");
}

bool SqlStatement::Prepare(std::string_view sql) {
  if (stmt_ == nullptr) return false;
  CloseCursor();
  return trans_.Check(odbctext::Prepare(H(stmt_), sql), SQL_HANDLE_STMT, stmt_, "prepare");
}

bool SqlStatement::Execute(const std::vector<SqlValue>& inputs) {
  if (stmt_ == nullptr) return false;
  CloseCursor();
  if (!BindInputs(inputs)) return false;
  executed_ = true;
  SQLRETURN rc = SQLExecute(H(stmt_));
  failedAtStart_ = rc == SQL_ERROR;
  return rc == SQL_NO_DATA || trans_.Check(rc, SQL_HANDLE_STMT, stmt_, "execute");
}

int SqlStatement::ColumnCount() {
  if (stmt_ == nullptr) return -1;
  SQLSMALLINT count = 0;
  if (!trans_.Check(SQLNumResultCols(H(stmt_), &count), SQL_HANDLE_STMT, stmt_,
                    "count result columns"))
    return -1;
  return count;
}

bool SqlStatement::Describe(int column, SqlColumn& out) {
  if (stmt_ == nullptr) return false;
  const auto number = static_cast<SQLUSMALLINT>(column);
  SqlColumn result;
  SQLSMALLINT type = 0;
  SQLULEN size = 0;
  SQLSMALLINT digits = 0;
  SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
  if (!trans_.Check(
          odbctext::DescribeCol(H(stmt_), number, result.name, type, size, digits, nullable),
          SQL_HANDLE_STMT, stmt_, "describe a column"))
    return false;
  result.sqlType = type;
  result.size = static_cast<unsigned long>(size);
  result.decimalDigits = digits;
  result.nullable = nullable != SQL_NO_NULLS;
  SQLLEN autoUnique = SQL_FALSE;
  if (!trans_.Check(SQLColAttribute(H(stmt_), number, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0,
                                    nullptr, &autoUnique),
                    SQL_HANDLE_STMT, stmt_, "describe a column") ||
      !trans_.Check(
          odbctext::ColAttributeText(H(stmt_), number, SQL_DESC_TYPE_NAME, result.typeName),
          SQL_HANDLE_STMT, stmt_, "describe a column"))
    return false;
  result.identity = autoUnique == SQL_TRUE;
  out = std::move(result);
  return true;
}

int SqlStatement::Fetch() {
  if (stmt_ == nullptr) return -1;
  SQLRETURN rc = SQLFetch(H(stmt_));
  if (rc == SQL_NO_DATA) return 0;
  return trans_.Check(rc, SQL_HANDLE_STMT, stmt_, "fetch") ? 1 : -1;
}

bool SqlStatement::GetData(int column, short cType, std::optional<std::string>& value) {
  // Long values arrive in pieces: each call returns SQL_SUCCESS_WITH_INFO (01004) while more
  // is left. Text pieces end in a terminating character that is not part of the value.
  std::string bytes;
  char chunk[8192];
  const size_t terminator = cType == SQL_C_BINARY ? 0 : sizeof(odbctext::Char);
  const size_t room = sizeof chunk - terminator;
  for (;;) {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(H(stmt_), static_cast<SQLUSMALLINT>(column), cType, chunk,
                              sizeof chunk, &indicator);
    if (rc == SQL_NO_DATA) break;  // every piece read
    if (!trans_.Check(rc, SQL_HANDLE_STMT, stmt_, "read a column")) return false;
    if (indicator == SQL_NULL_DATA) {
      value = std::nullopt;
      return true;
    }
    const bool whole = indicator != SQL_NO_TOTAL && static_cast<size_t>(indicator) <= room;
    bytes.append(chunk, whole ? static_cast<size_t>(indicator) : room);
    if (rc == SQL_SUCCESS || whole) break;
  }
  if (cType == SQL_C_BINARY)
    value = std::move(bytes);
  else
    value = odbctext::FromOdbc(reinterpret_cast<const odbctext::Char*>(bytes.data()),
                               bytes.size() / sizeof(odbctext::Char));
  return true;
}

bool SqlStatement::GetText(int column, std::optional<std::string>& value) {
  if (stmt_ == nullptr) return false;
  return GetData(column, odbctext::kCType, value);
}

bool SqlStatement::GetBytes(int column, std::optional<std::string>& value) {
  if (stmt_ == nullptr) return false;
  return GetData(column, SQL_C_BINARY, value);
}

bool SqlStatement::GetDouble(int column, std::optional<double>& value) {
  if (stmt_ == nullptr) return false;
  double number = 0;
  SQLLEN indicator = 0;
  if (!trans_.Check(SQLGetData(H(stmt_), static_cast<SQLUSMALLINT>(column), SQL_C_DOUBLE, &number,
                               sizeof number, &indicator),
                    SQL_HANDLE_STMT, stmt_, "read a column"))
    return false;
  if (indicator == SQL_NULL_DATA)
    value = std::nullopt;
  else
    value = number;
  return true;
}

bool SqlStatement::BindBlock(const std::vector<size_t>& chars, size_t rows,
                             const std::vector<BlockKind>& kinds) {
  if (stmt_ == nullptr || rows == 0) return false;
  static_assert(sizeof(fetched_) >= sizeof(SQLULEN), "the fetched count is an SQLULEN");
  block_.assign(chars.size(), BlockColumn());
  blockRows_ = rows;
  for (size_t c = 0; c < chars.size(); ++c) {
    BlockColumn& b = block_[c];
    b.kind = c < kinds.size() ? kinds[c] : BlockKind::Text;
    SQLSMALLINT cType = odbctext::kCType;
    b.room = chars[c] + 1;
    b.unit = sizeof(odbctext::Char);
    if (b.kind == BlockKind::AsciiText || b.kind == BlockKind::Bytes) {
      cType = b.kind == BlockKind::Bytes ? SQL_C_BINARY : SQL_C_CHAR;
      b.unit = 1;
    } else if (b.kind == BlockKind::DateTime) {
      cType = SQL_C_TYPE_TIMESTAMP;
      b.room = 1;
      b.unit = sizeof(SQL_TIMESTAMP_STRUCT);
    } else if (b.kind == BlockKind::Integer) {
      cType = SQL_C_SBIGINT;
      b.room = 1;
      b.unit = sizeof(SQLBIGINT);
    }
    b.text.assign(b.room * rows * b.unit, 0);
    b.indicators.assign(rows * sizeof(SQLLEN), 0);
    if (!trans_.Check(SQLBindCol(H(stmt_), static_cast<SQLUSMALLINT>(c + 1), cType, b.text.data(),
                                 static_cast<SQLLEN>(b.room * b.unit),
                                 reinterpret_cast<SQLLEN*>(b.indicators.data())),
                      SQL_HANDLE_STMT, stmt_, "bind a result column"))
      return false;
  }
  return trans_.Check(SQLSetStmtAttr(H(stmt_), SQL_ATTR_ROW_BIND_TYPE,
                                     reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0),
                      SQL_HANDLE_STMT, stmt_, "bind by column") &&
         trans_.Check(SQLSetStmtAttr(H(stmt_), SQL_ATTR_ROW_ARRAY_SIZE,
                                     reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(rows)), 0),
                      SQL_HANDLE_STMT, stmt_, "set the row array size") &&
         trans_.Check(SQLSetStmtAttr(H(stmt_), SQL_ATTR_ROWS_FETCHED_PTR,
                                     reinterpret_cast<SQLPOINTER>(&fetched_), 0),
                      SQL_HANDLE_STMT, stmt_, "count fetched rows");
}

int SqlStatement::FetchBlock() {
  if (stmt_ == nullptr || block_.empty()) return -1;
  fetched_ = 0;
  SQLRETURN rc = SQLFetch(H(stmt_));
  const auto fetched = static_cast<size_t>(fetched_);
  if (rc == SQL_NO_DATA) return 0;
  if (rc == SQL_SUCCESS_WITH_INFO) {
    // 01004: a value did not fit its room; anything else is only information.
    for (size_t c = 0; c < block_.size(); ++c)
      for (size_t r = 0; r < fetched; ++r) {
        const SQLLEN length = reinterpret_cast<const SQLLEN*>(block_[c].indicators.data())[r];
        if (block_[c].kind == BlockKind::DateTime || block_[c].kind == BlockKind::Integer) continue;
        if (length == SQL_NO_TOTAL ||
            (length > 0 && static_cast<size_t>(length) >= block_[c].room * block_[c].unit)) {
          trans_.Fail("第 " + std::to_string(c + 1) + " 列的值比为它留出的空间长");
          return -1;
        }
      }
  }
  if (!trans_.Check(rc, SQL_HANDLE_STMT, stmt_, "fetch")) return -1;
  return static_cast<int>(fetched);
}

void SqlStatement::BlockText(size_t row, int column, std::optional<std::string>& value) const {
  std::string scratch = value ? std::move(*value) : std::string();
  const std::optional<std::string_view> view = BlockView(row, column, scratch);
  if (!view) {
    value.reset();
    return;
  }
  if (view->data() != scratch.data()) scratch.assign(*view);
  value = std::move(scratch);
}

std::optional<std::string_view> SqlStatement::BlockView(size_t row, int column,
                                                        std::string& scratch) const {
  const BlockColumn& b = block_[static_cast<size_t>(column - 1)];
  const SQLLEN length = reinterpret_cast<const SQLLEN*>(b.indicators.data())[row];
  if (length == SQL_NULL_DATA) return std::nullopt;
  if (b.kind == BlockKind::DateTime) {
    // "yyyy-mm-dd hh:mm:ss.fff", the driver's text of a datetime (milliseconds rounded from
    // the value's 1/300 seconds).
    SQL_TIMESTAMP_STRUCT t;
    std::memcpy(&t, b.text.data() + row * b.unit, sizeof t);
    const unsigned ms = static_cast<unsigned>((t.fraction + 500000u) / 1000000u);
    scratch.resize(23);
    auto put = [&scratch](size_t at, unsigned number, size_t digits) {
      for (size_t k = digits; k > 0; --k, number /= 10)
        scratch[at + k - 1] = static_cast<char>('0' + number % 10);
    };
    put(0, static_cast<unsigned>(t.year), 4);
    scratch[4] = '-';
    put(5, t.month, 2);
    scratch[7] = '-';
    put(8, t.day, 2);
    scratch[10] = ' ';
    put(11, t.hour, 2);
    scratch[13] = ':';
    put(14, t.minute, 2);
    scratch[16] = ':';
    put(17, t.second, 2);
    scratch[19] = '.';
    put(20, ms, 3);
    return std::string_view(scratch);
  }
  if (b.kind == BlockKind::Integer) {
    SQLBIGINT number = 0;
    std::memcpy(&number, b.text.data() + row * b.unit, sizeof number);
    // Digits from the end; the magnitude is unsigned so that the most negative value works.
    char digits[24];
    char* at = std::end(digits);
    auto magnitude = static_cast<unsigned long long>(number);
    if (number < 0) magnitude = 0 - magnitude;
    do {
      *--at = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (number < 0) *--at = '-';
    scratch.assign(at, static_cast<size_t>(std::end(digits) - at));
    return std::string_view(scratch);
  }
  if (b.unit == 1)
    return std::string_view(reinterpret_cast<const char*>(b.text.data()) + row * b.room,
                            static_cast<size_t>(length));
  const auto* text = reinterpret_cast<const odbctext::Char*>(b.text.data());
  odbctext::AssignFromOdbc(scratch, text + row * b.room,
                           static_cast<size_t>(length) / sizeof(odbctext::Char));
  return std::string_view(scratch);
}

long SqlStatement::RowCount() {
  if (stmt_ == nullptr) return -1;
  SQLLEN count = -1;
  if (!trans_.Check(SQLRowCount(H(stmt_), &count), SQL_HANDLE_STMT, stmt_, "count rows")) return -1;
  return static_cast<long>(count);
}

int SqlStatement::MoreResults() {
  if (stmt_ == nullptr) return 0;
  SQLRETURN rc = SQLMoreResults(H(stmt_));
  if (rc == SQL_NO_DATA) return 0;
  return trans_.Check(rc, SQL_HANDLE_STMT, stmt_, "read the next result") ? 1 : -1;
}

long SqlStatement::Drain() {
  long last = -1;
  if (!executed_) return last;  // nothing was sent, so nothing is to be read
  if (failedAtStart_) {
    // The driver manager no longer passes SQLMoreResults on; ask the driver directly.
    failedAtStart_ = false;
    const OdbcConnection* conn = trans_.conn_.get();
    if (conn == nullptr) return last;
    DriverResults rest(conn->dbc, H(stmt_), conn->driverLibrary);
    bool failed = false;
    return rest.ReadAll(failed);  // the failure at the start is the one reported
  }
  // A driver that keeps reporting errors without moving on would loop for ever; a batch of
  // this many failing statements in a row is not one this library sends.
  int failuresInARow = 0;
  for (;;) {
    const int more = MoreResults();
    if (more == 0) break;
    if (more < 0) {
      if (++failuresInARow > 1000) break;
      continue;
    }
    failuresInARow = 0;
    const long count = RowCount();
    if (count >= 0) last = count;
  }
  return last;
}

void SqlStatement::CloseCursor() {
  if (stmt_ == nullptr) return;
  // SQLCloseCursor would complain when no cursor is open; SQLFreeStmt(SQL_CLOSE) does not.
  trans_.Check(SQLFreeStmt(H(stmt_), SQL_CLOSE), SQL_HANDLE_STMT, stmt_, "close the cursor");
}

}  // namespace hostrt
