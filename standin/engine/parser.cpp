#include "standin/engine/parser.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "runtime/text/ascii.h"
#include "standin/engine/lexer.h"
#include "standin/engine/values.h"

namespace standin {

bool iequals(std::string_view a, std::string_view b) {
  return hostrt::EqualsIgnoreAsciiCase(a, b);
}

std::string lowerAscii(std::string_view s) {
  return hostrt::ToLowerAscii(s);
}

std::string ObjectName::display() const {
  if (db == kTempDb) return name;
  std::string r;
  if (!db.empty())
    r = db + "." + (schema.empty() ? std::string() : schema) + ".";
  else if (!schema.empty())
    r = schema + ".";
  return r + name;
}

namespace {

const std::unordered_set<std::string>& reserved() {
  static const std::unordered_set<std::string> words = {
      "add",        "all",       "alter",     "and",         "as",      "asc",      "backup",
      "begin",      "between",   "by",        "case",        "check",   "close",    "commit",
      "constraint", "create",    "cross",     "database",    "declare", "default",  "delete",
      "desc",       "distinct",  "drop",      "else",        "end",     "exec",     "execute",
      "exists",     "fetch",     "for",       "foreign",     "from",    "full",     "go",
      "group",      "having",    "identity",  "if",          "in",      "index",    "inner",
      "insert",     "into",      "is",        "join",        "key",     "left",     "like",
      "not",        "null",      "on",        "open",        "or",      "order",    "outer",
      "primary",    "print",     "raiserror", "references",  "restore", "return",   "right",
      "rollback",   "save",      "select",    "set",         "table",   "then",     "top",
      "except",     "intersect", "tran",      "transaction", "trigger", "truncate", "union",
      "unique",     "update",    "use",       "values",      "when",    "where",    "while",
      "with",       "waitfor"};
  return words;
}

// A built-in type name and what it declares before any (length) or (precision, scale).
struct TypeName {
  const char* name;
  TypeId id;
  int32_t length;
  uint8_t scale;
};

const TypeName kTypeNames[] = {
    {"bit", TypeId::Bit, 0, 0},
    {"tinyint", TypeId::TinyInt, 0, 0},
    {"smallint", TypeId::SmallInt, 0, 0},
    {"int", TypeId::Int, 0, 0},
    {"integer", TypeId::Int, 0, 0},
    {"bigint", TypeId::BigInt, 0, 0},
    {"decimal", TypeId::Decimal, 0, 0},
    {"numeric", TypeId::Decimal, 0, 0},
    {"dec", TypeId::Decimal, 0, 0},
    {"money", TypeId::Money, 0, 0},
    {"smallmoney", TypeId::SmallMoney, 0, 0},
    {"float", TypeId::Float, 0, 0},
    {"double", TypeId::Float, 0, 0},  // DOUBLE PRECISION
    {"real", TypeId::Real, 0, 0},
    {"datetime", TypeId::DateTime, 0, 0},
    {"date", TypeId::Date, 0, 0},
    {"datetime2", TypeId::DateTime2, 0, 7},
    {"time", TypeId::Time, 0, 7},
    {"smalldatetime", TypeId::SmallDateTime, 0, 0},
    {"char", TypeId::Char, 0, 0},
    {"character", TypeId::Char, 0, 0},
    {"varchar", TypeId::VarChar, 0, 0},
    {"nchar", TypeId::NChar, 0, 0},
    {"nvarchar", TypeId::NVarChar, 0, 0},
    {"sysname", TypeId::NVarChar, 128, 0},
    {"text", TypeId::Text, 0, 0},
    {"ntext", TypeId::NText, 0, 0},
    {"binary", TypeId::Binary, 0, 0},
    {"varbinary", TypeId::VarBinary, 0, 0},
    {"image", TypeId::Image, 0, 0},
    {"timestamp", TypeId::Binary, 8, 0},
    {"rowversion", TypeId::Binary, 8, 0},
    {"uniqueidentifier", TypeId::UniqueIdentifier, 16, 0},
};

// The type a lower-case built-in type name declares; raises 2715 for an unknown name.
SqlType typeNamed(const std::string& n) {
  for (const TypeName& tn : kTypeNames) {
    if (n != tn.name) continue;
    SqlType t;
    t.id = tn.id;
    t.length = tn.length;
    t.scale = tn.scale;
    return t;
  }
  raise(2715, 16, "Column, parameter, or variable #1: Cannot find data type " + n + ".",
        ErrorScope::Batch);
}

class Parser {
 public:
  Parser(std::string_view sql, std::vector<Token> toks) : sql_(sql), t_(std::move(toks)) {}

  void batch(Batch* out) {
    while (!atEnd()) {
      if (isOp(";")) {
        ++p_;
        continue;
      }
      if (isKw("go") && (t_[p_ + 1].kind == TokKind::End || t_[p_ + 1].line != t_[p_].line)) {
        ++p_;
        continue;
      }
      out->statements.push_back(statement(true));
    }
  }

  ExprPtr expression() { return orExpr(); }

 private:
  std::string_view sql_;
  std::vector<Token> t_;
  size_t p_ = 0;
  int depth_ = 0;

  // Bounds the recursion so that a hostile batch cannot exhaust the stack.
  struct DepthGuard {
    explicit DepthGuard(Parser* p) : p_(p) {
      if (++p_->depth_ > 300)
        raise(191, 15,
              "Some part of your SQL statement is nested too deeply. Rewrite the query or break "
              "it up into smaller queries.",
              ErrorScope::Batch);
    }
    ~DepthGuard() { --p_->depth_; }
    Parser* p_;
  };

  const Token& cur() const { return t_[p_]; }
  const Token& peek(size_t n = 1) const { return t_[std::min(p_ + n, t_.size() - 1)]; }
  bool atEnd() const { return cur().kind == TokKind::End; }
  bool isKw(const char* kw, size_t ahead = 0) const {
    const Token& t = peek(ahead);
    return t.kind == TokKind::Ident && iequals(t.text, kw);
  }
  bool isOp(const char* op, size_t ahead = 0) const {
    const Token& t = peek(ahead);
    return t.kind == TokKind::Op && t.text == op;
  }
  bool acceptKw(const char* kw) {
    if (isKw(kw)) {
      ++p_;
      return true;
    }
    return false;
  }
  bool acceptOp(const char* op) {
    if (isOp(op)) {
      ++p_;
      return true;
    }
    return false;
  }
  [[noreturn]] void syntaxError() const {
    const Token& t = cur();
    if (t.kind == TokKind::End)
      raise(102, 15, "Incorrect syntax near '" + (p_ > 0 ? t_[p_ - 1].text : std::string()) + "'.",
            ErrorScope::Batch);
    if (t.kind == TokKind::Ident && reserved().count(lowerAscii(t.text)))
      raise(156, 15, "Incorrect syntax near the keyword '" + lowerAscii(t.text) + "'.",
            ErrorScope::Batch);
    std::string shown = t.text;
    if (t.kind == TokKind::String || t.kind == TokKind::NString) shown = t.text;
    raise(102, 15, "Incorrect syntax near '" + shown + "'.", ErrorScope::Batch);
  }
  void expectKw(const char* kw) {
    if (!acceptKw(kw)) syntaxError();
  }
  void expectOp(const char* op) {
    if (!acceptOp(op)) syntaxError();
  }
  bool isReserved(const Token& t) const {
    return t.kind == TokKind::Ident && reserved().count(lowerAscii(t.text)) > 0;
  }
  std::string identifier() {
    const Token& t = cur();
    if (t.kind == TokKind::QuotedIdent || (t.kind == TokKind::Ident && !isReserved(t))) {
      ++p_;
      return t.text;
    }
    syntaxError();
  }
  bool isIdentifier(size_t ahead = 0) const {
    const Token& t = peek(ahead);
    return t.kind == TokKind::QuotedIdent || (t.kind == TokKind::Ident && !isReserved(t));
  }
  // A name or a string literal (sp_ arguments, logical file names, database names).
  std::string nameOrString() {
    const Token& t = cur();
    if (t.kind == TokKind::String || t.kind == TokKind::NString || t.kind == TokKind::Ident ||
        t.kind == TokKind::QuotedIdent) {
      ++p_;
      return t.text;
    }
    syntaxError();
  }
  std::string stringLit() {
    const Token& t = cur();
    if (t.kind == TokKind::String || t.kind == TokKind::NString) {
      ++p_;
      return t.text;
    }
    syntaxError();
  }

  ObjectName objectName() {
    std::vector<std::string> parts;
    parts.push_back(isOp(".") ? std::string() : identifier());
    while (isOp(".")) {
      ++p_;
      if (isOp(".")) {
        parts.push_back("");
        continue;
      }
      parts.push_back(identifier());
    }
    if (parts.size() > 3 || parts.back().empty()) syntaxError();
    ObjectName n;
    n.name = parts.back();
    if (parts.size() >= 2) n.schema = parts[parts.size() - 2];
    if (parts.size() == 3) n.db = parts[0];
    if (n.name[0] == '#') n.db = ObjectName::kTempDb;  // tempdb..#t is the same table
    return n;
  }

  // DBCC CHECKIDENT ('table' | table [, RESEED [, value] | , NORESEED]) [WITH NO_INFOMSGS];
  // the only DBCC command the stand-in knows.
  void dbccStmt(Stmt& s) {
    ++p_;
    if (!isKw("checkident")) syntaxError();
    ++p_;
    s.kind = StmtKind::DbccCheckIdent;
    expectOp("(");
    if (cur().kind == TokKind::String || cur().kind == TokKind::NString) {
      // 'db.schema.table', parts possibly in brackets.
      std::vector<std::string> parts(1);
      for (char c : cur().text) {
        if (c == '.')
          parts.emplace_back();
        else if (c != '[' && c != ']')
          parts.back() += c;
      }
      ++p_;
      if (parts.size() > 3 || parts.back().empty()) syntaxError();
      s.table.name = parts.back();
      if (parts.size() >= 2) s.table.schema = parts[parts.size() - 2];
      if (parts.size() == 3) s.table.db = parts[0];
    } else {
      s.table = objectName();
    }
    if (acceptOp(",")) {
      if (acceptKw("noreseed")) {
        s.name = "noreseed";
      } else {
        if (!isKw("reseed")) syntaxError();
        ++p_;
        s.name = "reseed";
        if (acceptOp(",")) s.condition = expression();
      }
    }
    expectOp(")");
    if (acceptKw("with")) {
      if (!isKw("no_infomsgs")) syntaxError();
      ++p_;
      s.on = true;
    }
  }

  int64_t integerLit() {
    bool neg = acceptOp("-");
    if (cur().kind != TokKind::Integer) syntaxError();
    int64_t v = std::stoll(cur().text);
    ++p_;
    return neg ? -v : v;
  }

  std::string sourceFrom(size_t startTok) const {
    size_t b = t_[startTok].offset;
    size_t e = cur().offset;
    return std::string(sql_.substr(b, e - b));
  }

  // ---- statements ----

  StmtPtr statement(bool topLevel) {
    DepthGuard guard(this);
    (void)topLevel;
    size_t start = p_;
    auto s = std::make_unique<Stmt>();
    s->line = cur().line;
    const Token& t = cur();
    if (t.kind != TokKind::Ident) {
      if (!isOp("(")) syntaxError();
      s->kind = StmtKind::Select;
      s->select = selectStmt();
    } else if (!dataStatement(*s, start) && !transactionStatement(*s) && !flowStatement(*s)) {
      if (isReserved(t)) syntaxError();
      // A procedure call without EXEC (sp_droplogin x).
      execStmt(*s);
    }
    if (s->text.empty()) s->text = sourceFrom(start);
    return s;
  }

  // Statements on data, objects and databases, and the session's settings; false when the
  // current keyword opens none of them.
  bool dataStatement(Stmt& s, size_t start) {
    if (isKw("select")) {
      s.kind = StmtKind::Select;
      s.select = selectStmt();
    } else if (isKw("insert")) {
      insertStmt(s);
    } else if (isKw("update")) {
      updateStmt(s);
    } else if (isKw("delete")) {
      deleteStmt(s);
    } else if (isKw("create")) {
      createStmt(s, start);
    } else if (isKw("drop")) {
      dropStmt(s);
    } else if (isKw("alter")) {
      alterStmt(s);
    } else if (isKw("truncate")) {
      ++p_;
      expectKw("table");
      s.kind = StmtKind::Truncate;
      s.table = objectName();
    } else if (isKw("use")) {
      ++p_;
      s.kind = StmtKind::Use;
      s.name = identifier();
    } else if (isKw("backup")) {
      backupStmt(s);
    } else if (isKw("restore")) {
      restoreStmt(s);
    } else if (isKw("set")) {
      setStmt(s);
    } else if (isKw("dbcc")) {
      dbccStmt(s);
    } else if (isKw("declare")) {
      declareStmt(s);
    } else {
      return false;
    }
    return true;
  }

  // BEGIN (a block or a transaction), COMMIT, ROLLBACK and SAVE; false for anything else.
  bool transactionStatement(Stmt& s) {
    if (isKw("begin")) {
      beginStmt(s);
    } else if (isKw("commit")) {
      ++p_;
      s.kind = StmtKind::CommitTran;
      if (acceptKw("tran") || acceptKw("transaction") || acceptKw("work")) {
        if (isIdentifier() || cur().kind == TokKind::Variable) ++p_;
      }
    } else if (isKw("rollback")) {
      ++p_;
      s.kind = StmtKind::RollbackTran;
      if (acceptKw("tran") || acceptKw("transaction") || acceptKw("work")) {
        if (isIdentifier() || cur().kind == TokKind::Variable) {
          s.name = cur().text;
          ++p_;
        }
      }
    } else if (isKw("save")) {
      ++p_;
      if (!acceptKw("tran")) expectKw("transaction");
      s.kind = StmtKind::SaveTran;
      s.name = identifier();
    } else {
      return false;
    }
    return true;
  }

  // EXEC, IF, WHILE, PRINT, RETURN and RAISERROR; false for anything else.
  bool flowStatement(Stmt& s) {
    if (isKw("exec") || isKw("execute")) {
      ++p_;
      execStmt(s);
    } else if (isKw("if")) {
      ++p_;
      s.kind = StmtKind::If;
      s.condition = expression();
      s.body.push_back(statement(false));
      skipSemicolons();
      if (acceptKw("else")) s.elseBody.push_back(statement(false));
    } else if (isKw("while")) {
      ++p_;
      s.kind = StmtKind::While;
      s.condition = expression();
      s.body.push_back(statement(false));
    } else if (isKw("print")) {
      ++p_;
      s.kind = StmtKind::Print;
      s.condition = expression();
    } else if (isKw("return")) {
      ++p_;
      s.kind = StmtKind::Return;
      if (!atEnd() && !isOp(";") && !startsStatement()) s.condition = expression();
    } else if (isKw("raiserror")) {
      ++p_;
      s.kind = StmtKind::RaisError;
      bool paren = acceptOp("(");
      s.args.push_back({"", expression()});
      while (acceptOp(",")) s.args.push_back({"", expression()});
      if (paren) expectOp(")");
      if (acceptKw("with")) identifier();
    } else {
      return false;
    }
    return true;
  }

  void skipSemicolons() {
    while (acceptOp(";")) {
    }
  }

  bool startsStatement() const {
    static const char* starts[] = {
        "select",   "insert",   "update",    "delete",  "create",  "drop",    "alter",
        "truncate", "use",      "backup",    "restore", "exec",    "execute", "begin",
        "commit",   "rollback", "save",      "set",     "declare", "if",      "while",
        "print",    "return",   "raiserror", "end",     "else",    "go"};
    for (const char* k : starts)
      if (isKw(k)) return true;
    return false;
  }

  void insertStmt(Stmt& s) {
    ++p_;
    if (isKw("bulk") && !isOp("(", 1) && !isKw("values", 1) && !isKw("select", 1)) {
      ++p_;
      s.kind = StmtKind::InsertBulk;
      s.table = objectName();
      expectOp("(");
      do {
        BulkColumn c;
        c.name = identifier();
        c.type = dataType();
        if (acceptKw("collate")) identifier();
        if (acceptKw("not"))
          expectKw("null");
        else
          acceptKw("null");
        s.bulkColumns.push_back(std::move(c));
      } while (acceptOp(","));
      expectOp(")");
      if (acceptKw("with")) {
        // Hints: the words at the outer level (KEEP_NULLS, CHECK_CONSTRAINTS, FIRE_TRIGGERS,
        // TABLOCK, ...); arguments in parentheses (ORDER (...)) are skipped.
        expectOp("(");
        int depth = 1;
        while (!atEnd() && depth > 0) {
          if (isOp("(")) ++depth;
          if (isOp(")")) --depth;
          if (depth == 1 && cur().kind == TokKind::Ident)
            s.bulkHints.push_back(lowerAscii(cur().text));
          ++p_;
        }
      }
      return;
    }
    s.kind = StmtKind::Insert;
    acceptKw("into");
    s.table = objectName();
    if (isOp("(") && !isKw("select", 1)) {
      ++p_;
      do s.columns.push_back(identifier());
      while (acceptOp(","));
      expectOp(")");
    }
    if (acceptKw("values")) {
      do {
        expectOp("(");
        std::vector<ExprPtr> row;
        do {
          if (isKw("default") && (isOp(",", 1) || isOp(")", 1))) {
            ++p_;
            row.push_back(nullptr);  // the column's default
          } else {
            row.push_back(expression());
          }
        } while (acceptOp(","));
        expectOp(")");
        s.values.push_back(std::move(row));
      } while (acceptOp(","));
    } else if (isKw("select") || isOp("(")) {
      s.select = selectStmt();
    } else if (acceptKw("default")) {
      expectKw("values");
      s.defaultValues = true;
    } else {
      syntaxError();
    }
  }

  void updateStmt(Stmt& s) {
    ++p_;
    s.kind = StmtKind::Update;
    if (isKw("top")) syntaxError();
    s.table = objectName();
    expectKw("set");
    do {
      ExprPtr target;
      if (cur().kind == TokKind::Variable) {
        target = std::make_unique<Expr>();
        target->kind = ExprKind::Variable;
        target->name = lowerAscii(cur().text);
        ++p_;
      } else {
        target = columnRef();
      }
      expectOp("=");
      s.assignments.emplace_back(std::move(target), expression());
    } while (acceptOp(","));
    if (acceptKw("from")) s.from = fromList();
    if (acceptKw("where")) s.where = expression();
  }

  void deleteStmt(Stmt& s) {
    ++p_;
    s.kind = StmtKind::Delete;
    acceptKw("from");
    s.table = objectName();
    if (acceptKw("from")) s.from = fromList();
    if (acceptKw("where")) s.where = expression();
  }

  // defaultLength: the length of char and binary types written without one (30 in CAST and
  // CONVERT, 1 elsewhere).
  SqlType dataType(int32_t defaultLength = 1) {
    std::string n = lowerAscii(cur().kind == TokKind::QuotedIdent || cur().kind == TokKind::Ident
                                   ? cur().text
                                   : std::string());
    if (n.empty()) syntaxError();
    ++p_;
    if (n == "dbo" && acceptOp(".")) {
      n = lowerAscii(cur().text);
      ++p_;
    }
    SqlType t = typeNamed(n);
    if (n == "double") acceptKw("precision");
    if (acceptKw("varying")) t.id = t.id == TypeId::NChar ? TypeId::NVarChar : TypeId::VarChar;
    if (isOp("(")) typeArguments(t);
    if (t.id == TypeId::Decimal && t.precision == 0) t.precision = 18;
    if ((isCharLike(t.id)) && t.length == 0) t.length = defaultLength;
    if (t.id == TypeId::Money) t.precision = 19, t.scale = 4;
    if (t.id == TypeId::SmallMoney) t.precision = 10, t.scale = 4;
    return t;
  }

  // The parenthesised part of a type: (max), (length), (precision, scale) or digits of a
  // fraction; float(24) and less is real.
  void typeArguments(SqlType& t) {
    expectOp("(");
    if (acceptKw("max")) {
      t.length = -1;
    } else {
      int64_t a = integerLit();
      if (t.id == TypeId::Decimal) {
        t.precision = uint8_t(std::clamp<int64_t>(a, 1, 38));
        if (acceptOp(",")) t.scale = uint8_t(std::clamp<int64_t>(integerLit(), 0, t.precision));
      } else if (t.id == TypeId::Float) {
        if (a <= 24) t.id = TypeId::Real;
      } else if (t.id == TypeId::DateTime2 || t.id == TypeId::Time) {
        t.scale = uint8_t(std::clamp<int64_t>(a, 0, 7));
      } else {
        t.length = int32_t(a);
        if (acceptOp(",")) integerLit();
      }
    }
    expectOp(")");
  }

  static bool isCharLike(TypeId id) {
    return id == TypeId::Char || id == TypeId::VarChar || id == TypeId::NChar ||
           id == TypeId::NVarChar || id == TypeId::Binary || id == TypeId::VarBinary;
  }

  std::vector<std::string> parenNameList() {
    std::vector<std::string> cols;
    expectOp("(");
    do {
      cols.push_back(identifier());
      if (!acceptKw("asc")) acceptKw("desc");
    } while (acceptOp(","));
    expectOp(")");
    return cols;
  }

  void skipIndexOptions() {
    if (acceptKw("with")) {
      if (isOp("(")) {
        skipParens();
      } else {
        while (isIdentifier() || isKw("fillfactor")) {
          ++p_;
          if (acceptOp("=")) ++p_;
          if (!acceptOp(",")) break;
        }
      }
    }
    if (isKw("on") &&
        (isOp("[", 1) || isKw("primary", 1) || peek(1).kind == TokKind::QuotedIdent)) {
      p_ += 2;
    }
    if (acceptKw("textimage_on")) ++p_;
  }

  void skipParens() {
    expectOp("(");
    int depth = 1;
    while (!atEnd() && depth > 0) {
      if (isOp("(")) ++depth;
      if (isOp(")")) --depth;
      ++p_;
    }
  }

  void createStmt(Stmt& s, size_t start) {
    ++p_;
    if (acceptKw("table")) {
      s.kind = StmtKind::CreateTable;
      s.table = objectName();
      expectOp("(");
      do {
        if (isKw("constraint") || isKw("primary") || isKw("unique") || isKw("foreign") ||
            isKw("check")) {
          s.constraints.push_back(tableConstraint());
        } else {
          s.columnDefs.push_back(columnDef(s));
        }
      } while (acceptOp(",") && !isOp(")"));
      expectOp(")");
      skipIndexOptions();
      s.text = sourceFrom(start);
      return;
    }
    bool unique = acceptKw("unique");
    if (!acceptKw("clustered")) acceptKw("nonclustered");
    if (acceptKw("index")) {
      s.kind = StmtKind::CreateIndex;
      s.unique = unique;
      s.name = identifier();
      expectKw("on");
      s.table = objectName();
      s.columns = parenNameList();
      skipIndexOptions();
      s.text = sourceFrom(start);
      return;
    }
    if (unique) syntaxError();
    if (acceptKw("trigger")) {
      s.kind = StmtKind::CreateTrigger;
      ObjectName tn = objectName();
      s.name = tn.name;
      expectKw("on");
      s.table = objectName();
      if (!acceptKw("for")) {
        if (!acceptKw("after")) syntaxError();
      }
      do {
        if (acceptKw("insert"))
          s.events.push_back("insert");
        else if (acceptKw("update"))
          s.events.push_back("update");
        else if (acceptKw("delete"))
          s.events.push_back("delete");
        else
          syntaxError();
      } while (acceptOp(","));
      if (acceptKw("not")) {
        expectKw("for");
        identifier();  // replication
      }
      expectKw("as");
      while (!atEnd()) {
        if (acceptOp(";")) continue;
        if (isKw("go") && peek(1).line != cur().line) break;
        s.body.push_back(statement(false));
      }
      s.text = sourceFrom(start);
      return;
    }
    if (acceptKw("database")) {
      s.kind = StmtKind::CreateDatabase;
      s.name = identifier();
      if (acceptKw("on")) {
        acceptKw("primary");
        do s.dataFiles.push_back(fileSpec());
        while (acceptOp(","));
      }
      if (acceptKw("log")) {
        expectKw("on");
        do s.logFiles.push_back(fileSpec());
        while (acceptOp(","));
      }
      if (acceptKw("collate")) identifier();
      return;
    }
    syntaxError();
  }

  FileSpec fileSpec() {
    FileSpec f;
    expectOp("(");
    do {
      std::string key = lowerAscii(cur().text);
      if (cur().kind != TokKind::Ident) syntaxError();
      ++p_;
      expectOp("=");
      if (key == "name") {
        f.logicalName = nameOrString();
      } else if (key == "filename") {
        f.fileName = stringLit();
      } else {
        // SIZE, MAXSIZE, FILEGROWTH: a number with an optional unit or %, or UNLIMITED.
        if (cur().kind == TokKind::Integer || cur().kind == TokKind::Number)
          ++p_;
        else if (isKw("unlimited"))
          ++p_;
        else
          syntaxError();
        if (acceptOp("%")) {
        } else if (isKw("kb") || isKw("mb") || isKw("gb") || isKw("tb")) {
          ++p_;
        }
      }
    } while (acceptOp(","));
    expectOp(")");
    return f;
  }

  ColumnDef columnDef(Stmt& s) {
    ColumnDef c;
    c.name = identifier();
    if (acceptKw("as")) {
      raise(1759, 16, "Computed columns are not supported by this server.", ErrorScope::Batch);
    }
    c.type = dataType();
    for (;;) {
      if (acceptKw("collate")) {
        identifier();
      } else if (acceptKw("identity")) {
        c.identity = true;
        if (acceptOp("(")) {
          c.identityStart = integerLit();
          expectOp(",");
          c.identityStep = integerLit();
          expectOp(")");
        }
      } else if (acceptKw("not")) {
        if (acceptKw("for")) {
          identifier();
          continue;
        }
        expectKw("null");
        c.nullable = false;
        c.nullSpecified = true;
      } else if (acceptKw("null")) {
        c.nullable = true;
        c.nullSpecified = true;
      } else if (acceptKw("constraint")) {
        c.constraintName = identifier();
      } else if (isKw("default")) {
        ++p_;
        size_t b = p_;
        c.defaultExpr = expression();
        c.defaultText = std::string(sql_.substr(t_[b].offset, cur().offset - t_[b].offset));
      } else if (acceptKw("primary")) {
        expectKw("key");
        if (!acceptKw("clustered")) acceptKw("nonclustered");
        TableConstraint k;
        k.kind = TableConstraint::Kind::PrimaryKey;
        k.name = c.constraintName;
        k.columns.push_back(c.name);
        s.constraints.push_back(std::move(k));
        c.constraintName.clear();
      } else if (acceptKw("unique")) {
        if (!acceptKw("clustered")) acceptKw("nonclustered");
        TableConstraint k;
        k.kind = TableConstraint::Kind::Unique;
        k.name = c.constraintName;
        k.columns.push_back(c.name);
        s.constraints.push_back(std::move(k));
        c.constraintName.clear();
      } else if (acceptKw("foreign")) {
        expectKw("key");
      } else if (acceptKw("references")) {
        TableConstraint k;
        k.kind = TableConstraint::Kind::ForeignKey;
        k.name = c.constraintName;
        k.columns.push_back(c.name);
        k.refTable = objectName();
        if (isOp("(")) k.refColumns = parenNameList();
        skipReferentialActions();
        s.constraints.push_back(std::move(k));
        c.constraintName.clear();
      } else if (acceptKw("check")) {
        TableConstraint k;
        k.kind = TableConstraint::Kind::Check;
        k.name = c.constraintName;
        k.columns.push_back(c.name);
        if (acceptKw("not")) {
          expectKw("for");
          identifier();
        }
        expectOp("(");
        k.check = expression();
        expectOp(")");
        s.constraints.push_back(std::move(k));
        c.constraintName.clear();
      } else if (acceptKw("rowguidcol")) {
      } else {
        break;
      }
    }
    return c;
  }

  void skipReferentialActions() {
    while (isKw("on") && (isKw("delete", 1) || isKw("update", 1))) {
      p_ += 2;
      if (acceptKw("no"))
        identifier();
      else if (acceptKw("set")) {
        if (!acceptKw("null")) acceptKw("default");
      } else
        identifier();
    }
    if (isKw("not") && isKw("for", 1)) p_ += 3;
  }

  TableConstraint tableConstraint() {
    TableConstraint k;
    if (acceptKw("constraint")) k.name = identifier();
    if (acceptKw("primary")) {
      expectKw("key");
      if (!acceptKw("clustered")) acceptKw("nonclustered");
      k.kind = TableConstraint::Kind::PrimaryKey;
      k.columns = parenNameList();
      skipIndexOptions();
    } else if (acceptKw("unique")) {
      if (!acceptKw("clustered")) acceptKw("nonclustered");
      k.kind = TableConstraint::Kind::Unique;
      k.columns = parenNameList();
      skipIndexOptions();
    } else if (acceptKw("foreign")) {
      expectKw("key");
      k.kind = TableConstraint::Kind::ForeignKey;
      k.columns = parenNameList();
      expectKw("references");
      k.refTable = objectName();
      if (isOp("(")) k.refColumns = parenNameList();
      skipReferentialActions();
    } else if (acceptKw("check")) {
      k.kind = TableConstraint::Kind::Check;
      if (acceptKw("not")) {
        expectKw("for");
        identifier();
      }
      expectOp("(");
      k.check = expression();
      expectOp(")");
    } else {
      syntaxError();
    }
    return k;
  }

  void dropStmt(Stmt& s) {
    ++p_;
    if (acceptKw("table")) {
      s.kind = StmtKind::DropTable;
      s.table = objectName();
    } else if (acceptKw("index")) {
      s.kind = StmtKind::DropIndex;
      ObjectName n = objectName();
      if (acceptKw("on")) {
        s.name = n.name;
        s.table = objectName();
      } else {
        s.name = n.name;
        s.table.name = n.schema;
        if (n.schema.empty()) syntaxError();
      }
    } else if (acceptKw("trigger")) {
      s.kind = StmtKind::DropTrigger;
      s.name = objectName().name;
    } else if (acceptKw("database")) {
      s.kind = StmtKind::DropDatabase;
      s.name = identifier();
    } else {
      syntaxError();
    }
  }

  void alterStmt(Stmt& s) {
    ++p_;
    expectKw("table");
    s.table = objectName();
    if (acceptKw("enable"))
      s.enable = true;
    else if (!acceptKw("disable"))
      syntaxError();
    expectKw("trigger");
    s.kind = StmtKind::AlterTableTrigger;
    if (acceptKw("all"))
      s.name.clear();
    else
      s.name = identifier();
  }

  void backupStmt(Stmt& s) {
    ++p_;
    expectKw("database");
    s.kind = StmtKind::Backup;
    s.name = identifier();
    expectKw("to");
    expectKw("disk");
    expectOp("=");
    s.disk = stringLit();
    if (acceptKw("with")) {
      do {
        if (acceptKw("stats")) {
          s.stats = 10;
          if (acceptOp("=")) s.stats = int(integerLit());
        } else if (acceptKw("name") || acceptKw("description") || acceptKw("mediadescription") ||
                   acceptKw("medianame")) {
          expectOp("=");
          ++p_;
        } else if (cur().kind == TokKind::Ident) {
          ++p_;
          if (acceptOp("=")) ++p_;
        } else {
          syntaxError();
        }
      } while (acceptOp(","));
    }
  }

  void restoreStmt(Stmt& s) {
    ++p_;
    if (acceptKw("filelistonly") || acceptKw("headeronly") || acceptKw("verifyonly")) {
      s.kind = StmtKind::RestoreFileList;
      s.name = lowerAscii(t_[p_ - 1].text);
      expectKw("from");
      expectKw("disk");
      expectOp("=");
      s.disk = stringLit();
      if (acceptKw("with")) {
        do {
          ++p_;
          if (acceptOp("=")) ++p_;
        } while (acceptOp(","));
      }
      return;
    }
    expectKw("database");
    s.kind = StmtKind::Restore;
    s.name = identifier();
    expectKw("from");
    expectKw("disk");
    expectOp("=");
    s.disk = stringLit();
    if (acceptKw("with")) {
      do {
        if (acceptKw("move")) {
          MoveSpec m;
          m.logicalName = stringLit();
          expectKw("to");
          m.path = stringLit();
          s.moves.push_back(std::move(m));
        } else if (acceptKw("replace")) {
          s.replace = true;
        } else if (acceptKw("stats")) {
          s.stats = 10;
          if (acceptOp("=")) s.stats = int(integerLit());
        } else if (acceptKw("file")) {
          expectOp("=");
          integerLit();
        } else if (cur().kind == TokKind::Ident) {
          ++p_;  // RECOVERY, NORECOVERY, NOUNLOAD, UNLOAD, CHECKSUM ...
          if (acceptOp("=")) ++p_;
        } else {
          syntaxError();
        }
      } while (acceptOp(","));
    }
  }

  void execStmt(Stmt& s) {
    s.kind = StmtKind::Exec;
    if (cur().kind == TokKind::Variable && isOp("=", 1)) {
      s.returnVar = std::make_unique<Expr>();
      s.returnVar->kind = ExprKind::Variable;
      s.returnVar->name = lowerAscii(cur().text);
      p_ += 2;
    }
    ObjectName proc = objectName();
    s.name = lowerAscii(proc.name);
    if (atEnd() || isOp(";") || (startsStatement() && cur().kind == TokKind::Ident)) return;
    do {
      ExecArg a;
      if (cur().kind == TokKind::Variable && isOp("=", 1)) {
        a.paramName = lowerAscii(cur().text);
        p_ += 2;
      }
      if (cur().kind == TokKind::Ident && !isKw("null") && !isOp("(", 1) && !isOp(".", 1)) {
        // A bare word argument is a string (sp_addsrvrolemember x, sysadmin).
        a.value = std::make_unique<Expr>();
        a.value->kind = ExprKind::Literal;
        a.value->lit = Value::text(cur().text);
        a.value->litType = SqlType{TypeId::NVarChar, int32_t(cur().text.size()), 0, 0};
        ++p_;
      } else if (cur().kind == TokKind::QuotedIdent) {
        a.value = std::make_unique<Expr>();
        a.value->kind = ExprKind::Literal;
        a.value->lit = Value::text(cur().text);
        a.value->litType = SqlType{TypeId::NVarChar, int32_t(cur().text.size()), 0, 0};
        ++p_;
      } else {
        a.value = expression();
      }
      if (acceptKw("output") || acceptKw("out")) {
      }
      s.args.push_back(std::move(a));
    } while (acceptOp(","));
  }

  void beginStmt(Stmt& s) {
    ++p_;
    if (acceptKw("distributed")) {
      if (!acceptKw("tran")) expectKw("transaction");
      s.kind = StmtKind::BeginTran;
      return;
    }
    if (acceptKw("tran") || acceptKw("transaction")) {
      s.kind = StmtKind::BeginTran;
      if (isIdentifier() && !startsStatement())
        ++p_;
      else if (cur().kind == TokKind::Variable)
        ++p_;
      if (isKw("with") && isKw("mark", 1)) {
        p_ += 2;
        if (cur().kind == TokKind::String || cur().kind == TokKind::NString) ++p_;
      }
      return;
    }
    s.kind = StmtKind::Block;
    while (!isKw("end")) {
      if (atEnd()) syntaxError();
      if (acceptOp(";")) continue;
      s.body.push_back(statement(false));
    }
    ++p_;
  }

  void setStmt(Stmt& s) {
    ++p_;
    if (cur().kind == TokKind::Variable) {
      s.kind = StmtKind::SetVariable;
      s.name = lowerAscii(cur().text);
      ++p_;
      std::string op = cur().text;
      if (cur().kind != TokKind::Op ||
          (op != "=" && op != "+=" && op != "-=" && op != "*=" && op != "/="))
        syntaxError();
      ++p_;
      ExprPtr rhs = expression();
      if (op != "=") {
        auto bin = std::make_unique<Expr>();
        bin->kind = ExprKind::Binary;
        bin->op = op.substr(0, 1);
        auto var = std::make_unique<Expr>();
        var->kind = ExprKind::Variable;
        var->name = s.name;
        bin->args.push_back(std::move(var));
        bin->args.push_back(std::move(rhs));
        rhs = std::move(bin);
      }
      s.condition = std::move(rhs);
      return;
    }
    s.kind = StmtKind::SetOption;
    if (acceptKw("transaction")) {
      expectKw("isolation");
      expectKw("level");
      s.name = "transaction isolation level";
      std::string lvl;
      while (cur().kind == TokKind::Ident && !startsStatement()) {
        lvl += (lvl.empty() ? "" : " ") + lowerAscii(cur().text);
        ++p_;
      }
      s.optionValue = lvl;
      return;
    }
    if (acceptKw("identity_insert")) {
      s.name = "identity_insert";
      s.table = objectName();
      s.on = onOff();
      return;
    }
    s.name = lowerAscii(cur().text);
    if (cur().kind != TokKind::Ident) syntaxError();
    ++p_;
    if (isOp(",")) {
      while (acceptOp(",")) {
        // A list ends with ON or OFF, never with a comma.
        if (cur().kind != TokKind::Ident) syntaxError();
        s.optionValue += (s.optionValue.empty() ? "" : ",") + lowerAscii(cur().text);
        ++p_;
      }
      s.on = onOff();
      return;
    }
    if (isKw("on") || isKw("off")) {
      s.on = onOff();
      return;
    }
    // SET TEXTSIZE n, SET LANGUAGE x, SET DATEFORMAT ymd, SET LOCK_TIMEOUT n, SET DEADLOCK_PRIORITY
    bool neg = acceptOp("-");
    if (atEnd()) syntaxError();
    s.optionValue = (neg ? "-" : "") + cur().text;
    ++p_;
  }

  bool onOff() {
    if (acceptKw("on")) return true;
    if (acceptKw("off")) return false;
    syntaxError();
  }

  void declareStmt(Stmt& s) {
    ++p_;
    s.kind = StmtKind::Declare;
    do {
      if (cur().kind != TokKind::Variable) syntaxError();
      std::string name = lowerAscii(cur().text);
      ++p_;
      acceptKw("as");
      if (isKw("table") || isKw("cursor"))
        raise(156, 15, "Incorrect syntax near the keyword '" + lowerAscii(cur().text) + "'.",
              ErrorScope::Batch);
      SqlType t = dataType();
      ExprPtr init;
      if (acceptOp("=")) init = expression();
      s.declarations.emplace_back(name, t);
      s.declInits.push_back(std::move(init));
    } while (acceptOp(","));
  }

  // ---- SELECT ----

  std::shared_ptr<SelectStmt> selectStmt() {
    std::shared_ptr<SelectStmt> first = intersectTerm();
    while (isKw("union") || isKw("except")) {
      SelectStmt::SetOp op = isKw("union") ? SelectStmt::SetOp::Union : SelectStmt::SetOp::Except;
      ++p_;
      bool all = op == SelectStmt::SetOp::Union && acceptKw("all");
      first->unions.push_back(intersectTerm());
      first->unionAll.push_back(all);
      first->setOps.push_back(op);
    }
    if (acceptKw("order")) {
      expectKw("by");
      do {
        OrderItem o;
        o.expr = expression();
        if (acceptKw("desc"))
          o.desc = true;
        else
          acceptKw("asc");
        first->orderBy.push_back(std::move(o));
      } while (acceptOp(","));
    }
    return first;
  }

  // INTERSECT binds tighter than UNION and EXCEPT: "a UNION b INTERSECT c" is a UNION (b
  // INTERSECT c). A term's INTERSECT branches hang off its first query, applied left to right.
  std::shared_ptr<SelectStmt> intersectTerm() {
    std::shared_ptr<SelectStmt> term = selectCore();
    while (acceptKw("intersect")) {
      term->unions.push_back(selectCore());
      term->unionAll.push_back(false);
      term->setOps.push_back(SelectStmt::SetOp::Intersect);
    }
    return term;
  }

  std::shared_ptr<SelectStmt> selectCore() {
    DepthGuard guard(this);
    if (acceptOp("(")) {
      auto inner = selectStmt();
      expectOp(")");
      return inner;
    }
    expectKw("select");
    auto s = std::make_shared<SelectStmt>();
    if (acceptKw("distinct"))
      s->distinct = true;
    else
      acceptKw("all");
    if (acceptKw("top")) {
      if (acceptOp("(")) {
        s->top = expression();
        expectOp(")");
      } else {
        s->top = primary();
      }
      if (acceptKw("percent")) s->topPercent = true;
      if (acceptKw("with")) expectKw("ties");
    }
    do s->items.push_back(selectItem());
    while (acceptOp(","));
    if (acceptKw("into")) s->into = objectName();
    if (acceptKw("from")) s->from = fromList();
    if (acceptKw("where")) s->where = expression();
    if (acceptKw("group")) {
      expectKw("by");
      do s->groupBy.push_back(expression());
      while (acceptOp(","));
    }
    if (acceptKw("having")) s->having = expression();
    return s;
  }

  SelectItem selectItem() {
    SelectItem it;
    if (isOp("*")) {
      ++p_;
      it.expr = std::make_unique<Expr>();
      it.expr->kind = ExprKind::Star;
      return it;
    }
    if (cur().kind == TokKind::Variable && isOp("=", 1) && cur().text.rfind("@@", 0) != 0) {
      it.assignVar = lowerAscii(cur().text);
      p_ += 2;
      it.expr = expression();
      return it;
    }
    // alias = expr
    if ((cur().kind == TokKind::QuotedIdent || cur().kind == TokKind::String ||
         (cur().kind == TokKind::Ident && !isReserved(cur()))) &&
        isOp("=", 1)) {
      it.alias = cur().text;
      p_ += 2;
      it.expr = expression();
      return it;
    }
    // qualifier.*
    {
      size_t save = p_;
      std::vector<std::string> q;
      while (isIdentifier() && isOp(".", 1)) {
        q.push_back(cur().text);
        p_ += 2;
      }
      if (!q.empty() && isOp("*")) {
        ++p_;
        it.expr = std::make_unique<Expr>();
        it.expr->kind = ExprKind::Star;
        it.expr->parts = q;
        return it;
      }
      p_ = save;
    }
    it.expr = expression();
    if (acceptKw("as")) {
      if (cur().kind == TokKind::String || cur().kind == TokKind::NString) {
        it.alias = cur().text;
        ++p_;
      } else {
        it.alias = identifier();
      }
    } else if (isIdentifier() && !startsStatement() && !isKw("from")) {
      it.alias = identifier();
    } else if (cur().kind == TokKind::String) {
      it.alias = cur().text;
      ++p_;
    }
    return it;
  }

  std::vector<TableRef> fromList() {
    std::vector<TableRef> refs;
    refs.push_back(tableSource(TableRef::Join::First));
    for (;;) {
      if (acceptOp(",")) {
        refs.push_back(tableSource(TableRef::Join::Cross));
        continue;
      }
      TableRef::Join j;
      if (isKw("join") || isKw("inner")) {
        acceptKw("inner");
        expectKw("join");
        j = TableRef::Join::Inner;
      } else if (isKw("left")) {
        ++p_;
        acceptKw("outer");
        expectKw("join");
        j = TableRef::Join::Left;
      } else if (isKw("right")) {
        ++p_;
        acceptKw("outer");
        expectKw("join");
        j = TableRef::Join::Right;
      } else if (isKw("cross")) {
        ++p_;
        expectKw("join");
        j = TableRef::Join::Cross;
        refs.push_back(tableSource(j));
        continue;
      } else {
        break;
      }
      TableRef r = tableSource(j);
      expectKw("on");
      r.on = expression();
      refs.push_back(std::move(r));
    }
    return refs;
  }

  TableRef tableSource(TableRef::Join j) {
    TableRef r;
    r.join = j;
    if (acceptOp("(")) {
      r.derived = selectStmt();
      expectOp(")");
    } else {
      r.table = objectName();
    }
    if (acceptKw("as"))
      r.alias = identifier();
    else if (isIdentifier() && !startsStatement())
      r.alias = identifier();
    if (acceptKw("with"))
      skipParens();  // table hints: WITH (NOLOCK)
    else if (isOp("(") && (isKw("nolock", 1) || isKw("holdlock", 1) || isKw("updlock", 1) ||
                           isKw("readuncommitted", 1) || isKw("rowlock", 1) || isKw("tablock", 1)))
      skipParens();
    if (r.derived && r.alias.empty()) syntaxError();
    return r;
  }

  // ---- expressions ----

  ExprPtr makeBinary(std::string op, ExprPtr a, ExprPtr b) {
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Binary;
    e->op = std::move(op);
    e->height = std::max(a->height, b->height) + 1;
    if (e->height > 1000)
      raise(191, 15,
            "Some part of your SQL statement is nested too deeply. Rewrite the query or break "
            "it up into smaller queries.",
            ErrorScope::Batch);
    e->args.push_back(std::move(a));
    e->args.push_back(std::move(b));
    return e;
  }

  ExprPtr orExpr() {
    ExprPtr l = andExpr();
    while (acceptKw("or")) l = makeBinary("or", std::move(l), andExpr());
    return l;
  }
  ExprPtr andExpr() {
    ExprPtr l = notExpr();
    while (acceptKw("and")) l = makeBinary("and", std::move(l), notExpr());
    return l;
  }
  ExprPtr notExpr() {
    if (acceptKw("not")) {
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::Unary;
      e->op = "not";
      e->args.push_back(notExpr());
      return e;
    }
    return predicate();
  }
  ExprPtr predicate() {
    if (isKw("exists")) {
      ++p_;
      expectOp("(");
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::Exists;
      e->sub = selectStmt();
      expectOp(")");
      return e;
    }
    ExprPtr l = additive();
    for (;;) {
      const Token& t = cur();
      if (t.kind == TokKind::Op &&
          (t.text == "=" || t.text == "<>" || t.text == "!=" || t.text == "<" || t.text == ">" ||
           t.text == "<=" || t.text == ">=" || t.text == "!<" || t.text == "!>")) {
        std::string op = t.text == "!="   ? "<>"
                         : t.text == "!<" ? ">="
                         : t.text == "!>" ? "<="
                                          : t.text;
        ++p_;
        l = makeBinary(op, std::move(l), additive());
        continue;
      }
      if (isKw("is")) {
        ++p_;
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::IsNull;
        e->negated = acceptKw("not");
        expectKw("null");
        e->args.push_back(std::move(l));
        l = std::move(e);
        continue;
      }
      bool neg = false;
      if (isKw("not") && (isKw("in", 1) || isKw("like", 1) || isKw("between", 1))) {
        ++p_;
        neg = true;
      }
      if (acceptKw("in")) {
        expectOp("(");
        auto e = std::make_unique<Expr>();
        e->negated = neg;
        e->args.push_back(std::move(l));
        if (isKw("select")) {
          e->kind = ExprKind::InSubquery;
          e->sub = selectStmt();
        } else {
          e->kind = ExprKind::InList;
          do e->args.push_back(expression());
          while (acceptOp(","));
        }
        expectOp(")");
        l = std::move(e);
        continue;
      }
      if (acceptKw("like")) {
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::Like;
        e->negated = neg;
        e->args.push_back(std::move(l));
        e->args.push_back(additive());
        if (acceptKw("escape")) additive();
        l = std::move(e);
        continue;
      }
      if (acceptKw("between")) {
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::Between;
        e->negated = neg;
        e->args.push_back(std::move(l));
        e->args.push_back(additive());
        expectKw("and");
        e->args.push_back(additive());
        l = std::move(e);
        continue;
      }
      if (neg) syntaxError();
      return l;
    }
  }
  ExprPtr additive() {
    ExprPtr l = multiplicative();
    for (;;) {
      if (isOp("+") || isOp("-") || isOp("&") || isOp("|") || isOp("^")) {
        std::string op = cur().text;
        ++p_;
        l = makeBinary(op, std::move(l), multiplicative());
      } else {
        return l;
      }
    }
  }
  ExprPtr multiplicative() {
    ExprPtr l = unary();
    for (;;) {
      if (isOp("*") || isOp("/") || isOp("%")) {
        std::string op = cur().text;
        ++p_;
        l = makeBinary(op, std::move(l), unary());
      } else {
        return l;
      }
    }
  }
  ExprPtr unary() {
    DepthGuard guard(this);
    if (isOp("-") || isOp("+") || isOp("~")) {
      std::string op = cur().text;
      ++p_;
      ExprPtr inner = unary();
      if (op == "+") return inner;
      // Fold a negative numeric literal so that -2147483648 stays an int.
      if (op == "-" && inner->kind == ExprKind::Literal && !inner->lit.isNull()) {
        if (inner->lit.kind == Value::Kind::Int) {
          inner->lit.i = -inner->lit.i;
          return inner;
        }
        if (inner->lit.kind == Value::Kind::Decimal) {
          inner->lit.s = "-" + inner->lit.s;
          return inner;
        }
        if (inner->lit.kind == Value::Kind::Float) {
          inner->lit.f = -inner->lit.f;
          return inner;
        }
      }
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::Unary;
      e->op = op;
      e->args.push_back(std::move(inner));
      return e;
    }
    return primary();
  }

  ExprPtr literal(Value v, SqlType t) {
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Literal;
    e->lit = std::move(v);
    e->litType = t;
    return e;
  }

  ExprPtr columnRef() {
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Column;
    e->parts.push_back(isOp(".") ? std::string() : identifierOrKeywordColumn());
    while (isOp(".")) {
      ++p_;
      if (isOp(".")) {
        e->parts.push_back("");
        continue;
      }
      e->parts.push_back(identifierOrKeywordColumn());
    }
    return e;
  }

  std::string identifierOrKeywordColumn() {
    if (cur().kind == TokKind::Ident || cur().kind == TokKind::QuotedIdent) {
      if (cur().kind == TokKind::Ident && isReserved(cur())) syntaxError();
      return t_[p_++].text;
    }
    syntaxError();
  }

  ExprPtr primary() {
    const Token& t = cur();
    switch (t.kind) {
      case TokKind::Integer:
        ++p_;
        return integerLiteral(t.text);
      case TokKind::Number:
        ++p_;
        return numberLiteral(t.text);
      case TokKind::Float:
        ++p_;
        return literal(Value::real(std::stod(t.text)), SqlType{TypeId::Float, 0, 0, 0});
      case TokKind::String: {
        ++p_;
        // A literal without N is char data: what code page 936 lacks is '?' already here.
        std::string text = toCodePage(t.text);
        int32_t len = int32_t(std::max<size_t>(1, gbkLen(text)));
        return literal(Value::text(std::move(text)), SqlType{TypeId::VarChar, len, 0, 0});
      }
      case TokKind::NString:
        ++p_;
        return literal(
            Value::text(t.text),
            SqlType{TypeId::NVarChar, int32_t(std::max<size_t>(1, charLen(t.text))), 0, 0});
      case TokKind::Binary:
        ++p_;
        return literal(
            Value::binary(t.text),
            SqlType{TypeId::VarBinary, int32_t(std::max<size_t>(1, t.text.size())), 0, 0});
      case TokKind::Variable: {
        ++p_;
        auto e = std::make_unique<Expr>();
        e->kind = t.text.rfind("@@", 0) == 0 ? ExprKind::Global : ExprKind::Variable;
        e->name = lowerAscii(t.text);
        return e;
      }
      case TokKind::Op:
        if (t.text != "(") syntaxError();
        ++p_;
        return parenthesised();
      case TokKind::QuotedIdent:
        return columnRef();
      case TokKind::Ident:
        return wordExpr(t);
      default:
        syntaxError();
    }
  }

  // An integer literal is int when it fits, else a decimal of its digits.
  ExprPtr integerLiteral(const std::string& txt) {
    if (txt.size() <= 18) {
      int64_t v = std::stoll(txt);
      if (v <= INT32_MAX) return literal(Value::integer(v), SqlType{TypeId::Int, 0, 0, 0});
      return literal(Value::decimal(txt), SqlType{TypeId::Decimal, 0, uint8_t(txt.size()), 0});
    }
    return literal(Value::decimal(txt),
                   SqlType{TypeId::Decimal, 0, uint8_t(std::min<size_t>(38, txt.size())), 0});
  }

  // A literal with a decimal point is a decimal whose precision counts its significant digits.
  ExprPtr numberLiteral(std::string txt) {
    if (txt[0] == '.') txt = "0" + txt;
    size_t dot = txt.find('.');
    uint8_t scale = uint8_t(txt.size() - dot - 1);
    std::string lead = txt.substr(0, dot);
    while (lead.size() > 1 && lead[0] == '0') lead.erase(0, 1);
    uint8_t prec = uint8_t(
        std::min<size_t>(38, std::max<size_t>(lead == "0" ? scale : lead.size() + scale, 1)));
    if (txt.back() == '.') txt.pop_back();
    return literal(Value::decimal(txt), SqlType{TypeId::Decimal, 0, prec, scale});
  }

  // After "(": a subquery or an expression in parentheses.
  ExprPtr parenthesised() {
    if (isKw("select")) {
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::Subquery;
      e->sub = selectStmt();
      expectOp(")");
      return e;
    }
    ExprPtr inner = expression();
    expectOp(")");
    return inner;
  }

  // An expression opened by a word: NULL, CASE, CAST, CONVERT, a function call or a column.
  ExprPtr wordExpr(const Token& t) {
    std::string lw = lowerAscii(t.text);
    if (lw == "null") {
      ++p_;
      return literal(Value::null(), SqlType{TypeId::Int, 0, 0, 0});
    }
    if (lw == "case") return caseExpr();
    if (lw == "cast" && isOp("(", 1)) {
      p_ += 2;
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::Cast;
      e->args.push_back(expression());
      expectKw("as");
      e->castType = dataType(30);
      expectOp(")");
      return e;
    }
    if (lw == "convert" && isOp("(", 1)) {
      p_ += 2;
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::Cast;
      e->castType = dataType(30);
      expectOp(",");
      e->args.push_back(expression());
      if (acceptOp(",")) e->style = int(integerLit());
      expectOp(")");
      return e;
    }
    if (isOp("(", 1) && (!isReserved(t) || lw == "left" || lw == "right" || lw == "update")) {
      p_ += 2;
      return functionCall(lw);
    }
    // Schema-qualified function: dbo.f(...)
    if (isOp(".", 1) && peek(2).kind == TokKind::Ident && isOp("(", 3)) {
      p_ += 2;
      return primary();
    }
    if (isReserved(t)) syntaxError();
    return columnRef();
  }

  // The arguments of a call to the function `lw`, after its "(".
  ExprPtr functionCall(const std::string& lw) {
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Func;
    e->name = lw;
    if (lw == "count" && isOp("*")) {
      ++p_;
      e->star = true;
      expectOp(")");
      return e;
    }
    if (acceptKw("distinct"))
      e->distinct = true;
    else
      acceptKw("all");
    if (lw == "dateadd" || lw == "datediff" || lw == "datepart" || lw == "datename") {
      // The first argument is a date part name.
      e->args.push_back(
          literal(Value::text(lowerAscii(cur().text)), SqlType{TypeId::VarChar, 10, 0, 0}));
      ++p_;
      expectOp(",");
    }
    if (!isOp(")")) {
      do e->args.push_back(expression());
      while (acceptOp(","));
    }
    expectOp(")");
    return e;
  }

  static size_t gbkLen(const std::string& s) { return gbkLength(s); }
  static size_t charLen(const std::string& s) { return charLength(s); }

  ExprPtr caseExpr() {
    ++p_;
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Case;
    if (!isKw("when")) {
      e->hasOperand = true;
      e->args.push_back(expression());
    }
    if (!isKw("when")) syntaxError();
    while (acceptKw("when")) {
      e->args.push_back(expression());
      expectKw("then");
      e->args.push_back(expression());
    }
    if (acceptKw("else")) {
      e->hasElse = true;
      e->args.push_back(expression());
    }
    expectKw("end");
    return e;
  }
};

}  // namespace

bool parseBatch(std::string_view sql, Batch* out, SqlError* error, bool quotedIdentifier) {
  std::vector<Token> toks;
  std::string lexError;
  if (!tokenize(sql, &toks, &lexError, quotedIdentifier)) {
    int number = lexError.rfind("Missing", 0) == 0               ? 113
                 : lexError.rfind("The identifier that", 0) == 0 ? 103
                                                                 : 105;
    *error = makeError(number, 15, lexError, ErrorScope::Batch);
    return false;
  }
  try {
    Parser p(sql, std::move(toks));
    p.batch(out);
    return true;
  } catch (const SqlError& e) {
    *error = e;
    return false;
  } catch (const std::exception&) {
    *error = makeError(102, 15, "Incorrect syntax.", ErrorScope::Batch);
    return false;
  }
}

bool parseTypeText(std::string_view text, SqlType* out) {
  std::string sql = "declare @x " + std::string(text);
  Batch b;
  SqlError e;
  if (!parseBatch(sql, &b, &e) || b.statements.size() != 1 ||
      b.statements[0]->declarations.size() != 1)
    return false;
  *out = b.statements[0]->declarations[0].second;
  return true;
}

}  // namespace standin
