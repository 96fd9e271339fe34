// The text form of a grid definition: what SyntaxFromSQL writes, Create must read back.
#include "runtime/data/grid_definition.h"

#include <gtest/gtest.h>

namespace hostrt {
namespace {

TEST(GridDefinitionTest, TextFormReadsBackExactly) {
  GridDefinition def;
  def.table = "[odd \"name\"]";
  def.select = "SELECT a, ')' AS \"x=y\" FROM t\r\nWHERE b = '~n~\n'";
  GridColumn id;
  id.name = "id";
  id.type = "long";
  id.dbType = "int identity";
  id.kind = GridColumn::Kind::Integer;
  id.key = id.identity = true;
  GridColumn text;
  text.name = "名称";
  text.type = "char(20)";
  text.dbType = "varchar";
  def.columns = {id, text};

  GridDefinition back;
  const Status parsed = back.Parse(def.ToText());
  ASSERT_TRUE(parsed.ok()) << parsed.message();
  EXPECT_EQ(back.table, def.table);
  EXPECT_EQ(back.select, def.select);
  ASSERT_EQ(back.columns.size(), 2u);
  EXPECT_TRUE(back.columns[0].key);
  EXPECT_TRUE(back.columns[0].identity);
  EXPECT_EQ(back.columns[0].kind, GridColumn::Kind::Integer);
  EXPECT_EQ(back.columns[1].name, "名称");
  EXPECT_FALSE(back.columns[1].key);
}

TEST(GridDefinitionTest, BrokenTextIsRefusedWithoutChangingTheDefinition) {
  GridDefinition def;
  def.table = "kept";
  for (const char* text :
       {"", "datawindow(style=grid)\n", "datawindow(style=grid)\ncolumn(name=\"a\"",
        "datawindow(style=grid)\ncolumn(name=\"a\" type=\"frob\")",
        "datawindow(style=grid)\nwidget(x=1)\ncolumn(name=a type=long)",
        "datawindow(style=grid)\ncolumn(name=\"a type=long)"}) {
    const Status parsed = def.Parse(text);
    EXPECT_EQ(parsed.code(), StatusCode::BadValue) << text;
    EXPECT_FALSE(parsed.message().empty()) << text;
    EXPECT_EQ(def.table, "kept");
  }
}

TEST(GridDefinitionTest, ValuesAreCheckedAgainstTheirKind) {
  using K = GridColumn::Kind;
  for (const char* ok : {"0", "-12", "+7"}) EXPECT_TRUE(ValueFitsKind(K::Integer, ok)) << ok;
  for (const char* bad : {"", "-", "1.0", "1e3", " 1"})
    EXPECT_FALSE(ValueFitsKind(K::Integer, bad)) << bad;
  for (const char* ok : {"12.3400", "-.5", "7.", "0"})
    EXPECT_TRUE(ValueFitsKind(K::Decimal, ok)) << ok;
  for (const char* bad : {"", ".", "1,5", "1e3", "abc"})
    EXPECT_FALSE(ValueFitsKind(K::Decimal, bad)) << bad;
  EXPECT_TRUE(ValueFitsKind(K::Real, "-1.5E-3"));
  EXPECT_FALSE(ValueFitsKind(K::Real, "1e"));
  for (const char* ok : {"2024-02-29 23:59:59.997", "2024-02-29", "2024-02-29 23:59",
                         "1900-01-01 00:00:00", "11:00", "2024-01-01 00:00:00.1234567"})
    EXPECT_TRUE(ValueFitsKind(K::DateTime, ok)) << ok;
  for (const char* bad :
       {"", "2024-2-29", "2024-02-29T10:00", "2024-02-29 10", "yesterday", "2024-02-29 10:00:00."})
    EXPECT_FALSE(ValueFitsKind(K::DateTime, bad)) << bad;
  EXPECT_TRUE(ValueFitsKind(K::Binary, "0aFF"));
  EXPECT_FALSE(ValueFitsKind(K::Binary, "0aF"));
}

}  // namespace
}  // namespace hostrt
