// The parser on the statements our programs send, written as they write them, and on the
// lexical corners that break naive parsers.
#include "standin/engine/parser.h"

#include <gtest/gtest.h>

namespace standin {
namespace {

Batch parse(const std::string& sql) {
  Batch b;
  SqlError e;
  EXPECT_TRUE(parseBatch(sql, &b, &e)) << sql << "\n" << e.number << ": " << e.text;
  return b;
}

SqlError parseError(const std::string& sql) {
  Batch b;
  SqlError e;
  EXPECT_FALSE(parseBatch(sql, &b, &e)) << sql;
  return e;
}

std::vector<StmtKind> kinds(const Batch& b) {
  std::vector<StmtKind> k;
  for (const auto& s : b.statements) k.push_back(s->kind);
  return k;
}

TEST(ParserTest, BatchesWithoutSemicolonsSplitAtStatementKeywords) {
  Batch b = parse(
      "delete t_sys_system where sys_var_id ='Is_Distributed' insert into t_sys_system ( "
      "sys_var_id , sys_var_name , sys_var_value , sys_ver_flag ) values ( 'Is_Distributed' , "
      "'' , @P1 , '' ) commit ");
  EXPECT_EQ(kinds(b),
            (std::vector<StmtKind>{StmtKind::Delete, StmtKind::Insert, StmtKind::CommitTran}));
  EXPECT_EQ(b.statements[1]->columns.size(), 4u);
  EXPECT_EQ(b.statements[1]->values.at(0).size(), 4u);

  b = parse("SET FMTONLY ON select * from t SET FMTONLY OFF; select 1;;");
  EXPECT_EQ(kinds(b), (std::vector<StmtKind>{StmtKind::SetOption, StmtKind::Select,
                                             StmtKind::SetOption, StmtKind::Select}));
  EXPECT_TRUE(b.statements[0]->on);
  EXPECT_FALSE(b.statements[2]->on);
}

TEST(ParserTest, ProcedureCallsWithAndWithoutExec) {
  Batch b = parse("sp_droplogin qdzt");
  ASSERT_EQ(b.statements.size(), 1u);
  EXPECT_EQ(b.statements[0]->kind, StmtKind::Exec);
  EXPECT_EQ(b.statements[0]->name, "sp_droplogin");
  ASSERT_EQ(b.statements[0]->args.size(), 1u);
  EXPECT_EQ(b.statements[0]->args[0].value->lit.s, "qdzt");

  b = parse("sp_addsrvrolemember N'qdzt', sysadmin");
  ASSERT_EQ(b.statements[0]->args.size(), 2u);
  EXPECT_EQ(b.statements[0]->args[1].value->lit.s, "sysadmin");

  b = parse("exec sp_defaultdb N'qdzt', N'qdzt' EXECUTE sp_addlogin @loginame = 'a', @passwd = ''");
  ASSERT_EQ(b.statements.size(), 2u);
  EXPECT_EQ(b.statements[1]->args[0].paramName, "@loginame");
  EXPECT_EQ(b.statements[1]->args[1].value->lit.s, "");
}

TEST(ParserTest, DatabaseStatementsOfTheInstaller) {
  Batch b = parse(
      "CREATE DATABASE qdzt  ON PRIMARY (NAME = N'qdzt_Data', FILENAME = "
      "N'D:\\data\\qdzt_Data.MDF' "
      ", SIZE = 2, FILEGROWTH = 30%) LOG ON (NAME = N'qdzt_Log', FILENAME = "
      "N'D:\\data\\qdzt_Log.LDF' , SIZE = 1, FILEGROWTH = 30%)");
  const Stmt& c = *b.statements.at(0);
  EXPECT_EQ(c.kind, StmtKind::CreateDatabase);
  EXPECT_EQ(c.name, "qdzt");
  ASSERT_EQ(c.dataFiles.size(), 1u);
  EXPECT_EQ(c.dataFiles[0].logicalName, "qdzt_Data");
  EXPECT_EQ(c.dataFiles[0].fileName, "D:\\data\\qdzt_Data.MDF");
  ASSERT_EQ(c.logFiles.size(), 1u);
  EXPECT_EQ(c.logFiles[0].fileName, "D:\\data\\qdzt_Log.LDF");

  b = parse(
      "RESTORE DATABASE qdzt FROM  DISK = N'c:\\qd.tmp' WITH  FILE = 1,  NOUNLOAD ,  STATS = 10,  "
      "RECOVERY ,  REPLACE ,MOVE 'qdzt_log' TO N'D:\\d\\qdzt_Log.LDF',MOVE 'qdzt_data' TO "
      "N'D:\\d\\qdzt_Data.MDF'");
  const Stmt& r = *b.statements.at(0);
  EXPECT_EQ(r.kind, StmtKind::Restore);
  EXPECT_EQ(r.disk, "c:\\qd.tmp");
  EXPECT_EQ(r.stats, 10);
  EXPECT_TRUE(r.replace);
  ASSERT_EQ(r.moves.size(), 2u);
  EXPECT_EQ(r.moves[0].logicalName, "qdzt_log");
  EXPECT_EQ(r.moves[1].path, "D:\\d\\qdzt_Data.MDF");

  b = parse("Drop DATABASE qdzt use [my db] RESTORE FILELISTONLY FROM DISK = 'x.bak'");
  EXPECT_EQ(kinds(b), (std::vector<StmtKind>{StmtKind::DropDatabase, StmtKind::Use,
                                             StmtKind::RestoreFileList}));
  EXPECT_EQ(b.statements[1]->name, "my db");
}

TEST(ParserTest, TableStatementsOfTheImport) {
  Batch b = parse(
      "ALTER TABLE t_m_member disable TRIGGER all Truncate Table x ALTER TABLE "
      "[t] ENABLE TRIGGER tr1");
  ASSERT_EQ(b.statements.size(), 3u);
  EXPECT_FALSE(b.statements[0]->enable);
  EXPECT_TRUE(b.statements[0]->name.empty());
  EXPECT_EQ(b.statements[1]->kind, StmtKind::Truncate);
  EXPECT_TRUE(b.statements[2]->enable);
  EXPECT_EQ(b.statements[2]->name, "tr1");

  b = parse(
      "insert bulk dbo.t ([a] Int, [b] VarChar(20) COLLATE Chinese_PRC_CI_AS, [c] "
      "decimal(18,4)) with (TABLOCK)");
  const Stmt& ib = *b.statements.at(0);
  EXPECT_EQ(ib.kind, StmtKind::InsertBulk);
  ASSERT_EQ(ib.bulkColumns.size(), 3u);
  EXPECT_EQ(ib.bulkColumns[1].type.id, TypeId::VarChar);
  EXPECT_EQ(ib.bulkColumns[1].type.length, 20);
  EXPECT_EQ(ib.bulkColumns[2].type.scale, 4);
}

TEST(ParserTest, TriggerBodyRunsToTheEndOfTheBatch) {
  Batch b = parse(
      "CREATE TRIGGER tr ON t FOR INSERT, UPDATE AS\n"
      "INSERT INTO log (a) SELECT i.a FROM inserted i INNER JOIN deleted d ON d.a = i.a\n"
      "update t set b = 1 from t, inserted where t.a = inserted.a");
  ASSERT_EQ(b.statements.size(), 1u);
  const Stmt& t = *b.statements[0];
  EXPECT_EQ(t.kind, StmtKind::CreateTrigger);
  EXPECT_EQ(t.events, (std::vector<std::string>{"insert", "update"}));
  ASSERT_EQ(t.body.size(), 2u);
  EXPECT_EQ(t.body[1]->from.size(), 2u);
  EXPECT_EQ(t.text.substr(0, 14), "CREATE TRIGGER");
}

TEST(ParserTest, NamesLiteralsAndComments) {
  Batch b = parse(
      "select [a]]b] , \"q\"\"x\" as [y z], N'it''s' -- a comment ' \n"
      "/* outer /* nested */ still comment */ from master..sysdatabases d , db.dbo.t");
  const SelectStmt& s = *b.statements.at(0)->select;
  ASSERT_EQ(s.items.size(), 3u);
  EXPECT_EQ(s.items[0].expr->parts.back(), "a]b");
  EXPECT_EQ(s.items[1].expr->parts.back(), "q\"x");
  EXPECT_EQ(s.items[1].alias, "y z");
  EXPECT_EQ(s.items[2].expr->lit.s, "it's");
  EXPECT_EQ(s.items[2].expr->litType.id, TypeId::NVarChar);
  ASSERT_EQ(s.from.size(), 2u);
  EXPECT_EQ(s.from[0].table.db, "master");
  EXPECT_EQ(s.from[0].table.schema, "");
  EXPECT_EQ(s.from[0].alias, "d");
  EXPECT_EQ(s.from[1].table.db, "db");
  EXPECT_EQ(s.from[1].table.name, "t");
}

TEST(ParserTest, LiteralsGetSqlServerTypes) {
  Batch b = parse("select 1, 2147483648, 12.50, 1e3, 0x0aFF, -2147483648");
  const auto& it = b.statements.at(0)->select->items;
  EXPECT_EQ(it[0].expr->litType.id, TypeId::Int);
  EXPECT_EQ(it[1].expr->litType.id, TypeId::Decimal);
  EXPECT_EQ(it[2].expr->litType.precision, 4);
  EXPECT_EQ(it[2].expr->litType.scale, 2);
  EXPECT_EQ(it[3].expr->litType.id, TypeId::Float);
  EXPECT_EQ(it[4].expr->lit.s, std::string("\x0a\xff", 2));
  EXPECT_EQ(it[5].expr->litType.id, TypeId::Decimal);
  EXPECT_EQ(it[5].expr->lit.s, "-2147483648");
}

TEST(ParserTest, SyntaxErrorsCarrySqlServerNumbers) {
  EXPECT_EQ(parseError("select * from").number, 102);
  SqlError k = parseError("select * from where");
  EXPECT_EQ(k.number, 156);
  EXPECT_EQ(k.text, "Incorrect syntax near the keyword 'where'.");
  EXPECT_EQ(parseError("select 'abc").number, 105);
  EXPECT_EQ(parseError("select 1 /* open").number, 113);
  EXPECT_EQ(parseError("insert t values (1").number, 102);
  // An option list cut after its comma is an error, never a read past the last token.
  EXPECT_EQ(parseError("set ansi_nulls,").number, 102);
  EXPECT_EQ(parseError("set ansi_nulls, ansi_padding,").number, 102);
  EXPECT_EQ(parseError("create table t (a nosuchtype)").number, 2715);
}

TEST(ParserTest, TypeTexts) {
  SqlType t;
  ASSERT_TRUE(parseTypeText("numeric(10, 3)", &t));
  EXPECT_EQ(t.id, TypeId::Decimal);
  EXPECT_EQ(t.precision, 10);
  EXPECT_EQ(t.scale, 3);
  ASSERT_TRUE(parseTypeText("nvarchar(max)", &t));
  EXPECT_EQ(t.length, -1);
  ASSERT_TRUE(parseTypeText("char", &t));
  EXPECT_EQ(t.length, 1);
  ASSERT_TRUE(parseTypeText("float(24)", &t));
  EXPECT_EQ(t.id, TypeId::Real);
  EXPECT_FALSE(parseTypeText("varchar(", &t));
}

// Every alias and the sizes a name implies without parentheses.
TEST(ParserTest, TypeNamesAndTheSizesTheyImply) {
  struct Case {
    const char* text;
    TypeId id;
    int32_t length;
    int precision;
    int scale;
  };
  const Case cases[] = {
      {"integer", TypeId::Int, 0, 0, 0},
      {"dec(5, 2)", TypeId::Decimal, 0, 5, 2},
      {"numeric", TypeId::Decimal, 0, 18, 0},
      {"double precision", TypeId::Float, 0, 0, 0},
      {"double", TypeId::Float, 0, 0, 0},
      {"float(53)", TypeId::Float, 0, 0, 0},
      {"money", TypeId::Money, 0, 19, 4},
      {"smallmoney", TypeId::SmallMoney, 0, 10, 4},
      {"datetime2", TypeId::DateTime2, 0, 0, 7},
      {"datetime2(9)", TypeId::DateTime2, 0, 0, 7},
      {"time(3)", TypeId::Time, 0, 0, 3},
      {"smalldatetime", TypeId::SmallDateTime, 0, 0, 0},
      {"character(4)", TypeId::Char, 4, 0, 0},
      {"character varying(20)", TypeId::VarChar, 20, 0, 0},
      {"nchar varying(5)", TypeId::NVarChar, 5, 0, 0},
      {"varbinary", TypeId::VarBinary, 1, 0, 0},
      {"sysname", TypeId::NVarChar, 128, 0, 0},
      {"rowversion", TypeId::Binary, 8, 0, 0},
      {"timestamp", TypeId::Binary, 8, 0, 0},
      {"uniqueidentifier", TypeId::UniqueIdentifier, 16, 0, 0},
      {"dbo.ntext", TypeId::NText, 0, 0, 0},
      {"[image]", TypeId::Image, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SqlType t;
    ASSERT_TRUE(parseTypeText(c.text, &t)) << c.text;
    EXPECT_EQ(t.id, c.id) << c.text;
    EXPECT_EQ(t.length, c.length) << c.text;
    EXPECT_EQ(t.precision, c.precision) << c.text;
    EXPECT_EQ(t.scale, c.scale) << c.text;
  }
  SqlType t;
  EXPECT_FALSE(parseTypeText("bits", &t));
  EXPECT_FALSE(parseTypeText("'int'", &t));
}

TEST(ParserTest, TransactionAndControlStatements) {
  Batch b = parse(
      "begin tran commit transaction t1 rollback tran @name save transaction s1 "
      "if @a = 1 print 'x' else return 5 while @i < 3 set @i = @i + 1 "
      "raiserror('m', 16, 1) with nowait return");
  EXPECT_EQ(kinds(b),
            (std::vector<StmtKind>{StmtKind::BeginTran, StmtKind::CommitTran,
                                   StmtKind::RollbackTran, StmtKind::SaveTran, StmtKind::If,
                                   StmtKind::While, StmtKind::RaisError, StmtKind::Return}));
  EXPECT_EQ(b.statements[2]->name, "@name");
  EXPECT_EQ(b.statements[3]->name, "s1");
  const Stmt& branch = *b.statements[4];
  ASSERT_EQ(branch.body.size(), 1u);
  EXPECT_EQ(branch.body[0]->kind, StmtKind::Print);
  ASSERT_EQ(branch.elseBody.size(), 1u);
  EXPECT_EQ(branch.elseBody[0]->kind, StmtKind::Return);
  EXPECT_NE(branch.elseBody[0]->condition, nullptr);
  ASSERT_EQ(b.statements[5]->body.size(), 1u);
  EXPECT_EQ(b.statements[5]->body[0]->kind, StmtKind::SetVariable);
  EXPECT_EQ(b.statements[6]->args.size(), 3u);
  EXPECT_EQ(b.statements[7]->condition, nullptr);
  EXPECT_EQ(b.statements[7]->text, "return");
  // A reserved word that opens no statement is a syntax error, not a procedure call.
  EXPECT_EQ(parseError("where x = 1").number, 156);
}

TEST(ParserTest, DeepNestingIsRefusedNotACrash) {
  std::string deep = "select " + std::string(100000, '(') + "1" + std::string(100000, ')');
  EXPECT_EQ(parseError(deep).number, 191);
  std::string blocks;
  for (int i = 0; i < 5000; ++i) blocks += "begin ";
  EXPECT_EQ(parseError(blocks).number, 191);
  std::string minus = "select ";
  for (int i = 0; i < 50000; ++i) minus += "- ";
  minus += "1";
  EXPECT_EQ(parseError(minus).number, 191);
  std::string chain = "select 1 where 1 = 1";
  for (int i = 0; i < 20000; ++i) chain += " and 1 = 1";
  EXPECT_EQ(parseError(chain).number, 191);
  parse("select " + std::string(50, '(') + "1" + std::string(50, ')'));
}

}  // namespace
}  // namespace standin
