// Statement semantics through the session API: types and their checks, identity values,
// keys, triggers, queries and built-in functions.
#include "standin/engine/tests/engine_fixture.h"

namespace standin::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class StatementsTest : public EngineTest {};

TEST_F(StatementsTest, CharDataIsCheckedInGbkBytesPaddedAndComparedWithoutCase) {
  ok("create table c (v varchar(4), f char(4), n nvarchar(2))");
  ok("insert c values ('中文', 'ab', N'中文')");
  auto r = run("insert c values ('中文x', 'a', N'a')");
  EXPECT_EQ(r.errors(), std::vector<int>{8152});
  EXPECT_TRUE(r.hasMessage(3621));
  EXPECT_EQ(run("insert c values ('a', 'a', N'中文字')").errors(), std::vector<int>{8152});
  // Trailing blanks beyond the length are dropped silently.
  ok("insert c values ('abcd   ', 'x', null)");
  EXPECT_EQ(rows("select f, datalength(v), len(f) from c where v = '中文'"),
            (Rows{{"ab  ", "4", "2"}}));
  EXPECT_EQ(scalar("select count(*) from c where f = 'AB' and v <> 'X'"), "1");
  EXPECT_EQ(scalar("select v from c where v like 'ABC%'"), "abcd");
}

TEST_F(StatementsTest, NumbersAreExactAndRangeChecked) {
  ok("create table n (d decimal(18,4), m money, t tinyint, i int, s smallmoney)");
  ok("insert n values (12345678901234.5678, 922337203685477.5807, 255, 2147483647, 1.23456)");
  EXPECT_EQ(rows("select d, m, s from n"),
            (Rows{{"12345678901234.5678", "922337203685477.5807", "1.2346"}}));
  EXPECT_EQ(scalar("select d * 2 + 0.0001 from n"), "24691357802469.1357");
  EXPECT_EQ(run("insert n (t) values (256)").errors(), std::vector<int>{220});
  EXPECT_EQ(run("insert n (i) values (2147483648)").errors(), std::vector<int>{8115});
  EXPECT_EQ(run("insert n (d) values (123456789012345.1)").errors(), std::vector<int>{8115});
  ok("insert n (d) values (1.00005)");
  EXPECT_EQ(scalar("select d from n where d < 2"), "1.0001");
  EXPECT_EQ(scalar("select sum(d) from n"), "12345678901235.5679");
  EXPECT_EQ(scalar("select cast(10 as decimal(5,2)) / 3"), "3.3333333333333");
  EXPECT_EQ(run("select 1 / 0").errors(), std::vector<int>{8134});
}

TEST_F(StatementsTest, DatetimesRoundToTicksAndConvertWithStyles) {
  ok("create table d (t datetime, s smalldatetime)");
  ok("insert d values ('2024-02-29 23:59:59.998', '2024-02-29 10:20:30')");
  ok("insert d values ('20240301 00:00:00.002', '2024-03-01 10:20:29')");
  EXPECT_EQ(rows("select t, s from d order by t"),
            (Rows{{"2024-02-29 23:59:59.997", "2024-02-29 10:21:00.000"},
                  {"2024-03-01 00:00:00.003", "2024-03-01 10:20:00.000"}}));
  EXPECT_EQ(rows("select convert(varchar(19), t, 120), convert(char(8), t, 112), "
                 "convert(varchar(10), t, 23) from d where t > '2024-03-01'"),
            (Rows{{"2024-03-01 00:00:00", "20240301", "2024-03-01"}}));
  EXPECT_EQ(scalar("select datediff(day, '2024-02-28', t) from d where t < '2024-03-01'"), "1");
  EXPECT_EQ(scalar("select convert(varchar(10), dateadd(day, 1, t), 23) from d where "
                   "month(t) = 2"),
            "2024-03-01");
  auto bad = run("insert d (t) values ('2024-13-01') select 1");
  EXPECT_EQ(bad.errors(), std::vector<int>{241});
  EXPECT_TRUE(bad.sets.empty()) << "a conversion error ends the batch";
}

TEST_F(StatementsTest, IdentityValuesFollowSqlServerRules) {
  ok("create table i (id int identity(10, 5) not null, v varchar(5))");
  ok("insert i (v) values ('a') insert i (v) values ('b')");
  EXPECT_EQ(scalar("select @@identity"), "15");
  auto r = run("insert i (id, v) values (1, 'x')");
  EXPECT_EQ(r.errors(), std::vector<int>{544});
  EXPECT_EQ(r.text(544),
            "Cannot insert explicit value for identity column in table 'i' when "
            "IDENTITY_INSERT is set to OFF.");
  ok("set identity_insert i on insert i (id, v) values (100, 'c') set identity_insert i off");
  ok("insert i (v) values ('d')");
  EXPECT_EQ(rows("select id from i order by id"), (Rows{{"10"}, {"15"}, {"100"}, {"105"}}));
  ok("truncate table i");
  ok("insert i (v) values ('e')");
  EXPECT_EQ(scalar("select id from i"), "10");
  EXPECT_EQ(run("update i set id = 3").errors(), std::vector<int>{8102});
}

TEST_F(StatementsTest, KeyAndNullViolationsEndOnlyTheStatement) {
  ok("create table p (id int not null, code varchar(10), constraint PK_p primary key (id))");
  ok("create unique index ux_code on p (code)");
  ok("insert p values (1, 'a')");
  auto r =
      run("insert p values (1, 'b') insert p values (2, 'A') insert p values (null, 'z') "
          "insert p values (3, 'c')");
  EXPECT_EQ(r.errors(), (std::vector<int>{2627, 2601, 515}));
  EXPECT_EQ(r.text(2627),
            "Violation of PRIMARY KEY constraint 'PK_p'. Cannot insert duplicate key in object "
            "'dbo.p'. The duplicate key value is (1).");
  EXPECT_EQ(rows("select id from p order by id"), (Rows{{"1"}, {"3"}}));
  // A multi-row insert is all or nothing.
  EXPECT_EQ(run("insert p values (4, 'd'), (1, 'e')").errors(), std::vector<int>{2627});
  EXPECT_EQ(scalar("select count(*) from p"), "2");
}

TEST_F(StatementsTest, ForeignKeysRefuseOrphansAndTruncate) {
  ok("create table parent (id int primary key)");
  ok("create table child (id int, pid int references parent(id))");
  ok("insert parent values (1) insert child values (1, 1)");
  EXPECT_EQ(run("insert child values (2, 9)").errors(), std::vector<int>{547});
  EXPECT_EQ(run("delete parent").errors(), std::vector<int>{547});
  EXPECT_EQ(run("Truncate Table parent").errors(), std::vector<int>{4712});
  ok("Truncate Table child");
  EXPECT_EQ(scalar("select count(*) from child"), "0");
}

TEST_F(StatementsTest, TriggersSeeInsertedAndDeletedAndCanBeSwitchedOff) {
  ok("create table acct (id int primary key, bal money)");
  ok("create table audit_log (id int, old_bal money, new_bal money, what varchar(10))");
  ok("CREATE TRIGGER tr_acct ON acct FOR INSERT, UPDATE, DELETE AS\n"
     "insert audit_log select i.id, d.bal, i.bal, 'upd' from inserted i join deleted d on "
     "i.id = d.id\n"
     "insert audit_log select id, null, bal, 'ins' from inserted where id not in (select id "
     "from deleted)\n"
     "insert audit_log select id, bal, null, 'del' from deleted where id not in (select id "
     "from inserted)");
  auto ins = ok("insert acct values (1, 10), (2, 20)");
  EXPECT_EQ(ins.dones.back().count, 2u);
  EXPECT_EQ(scalar("select @@rowcount"), "2") << "the trigger's statements do not change it";
  ok("update acct set bal = bal + 1 where id = 2");
  EXPECT_EQ(scalar("select @@rowcount"), "1");
  auto upd = ok("update acct set bal = bal * 2");
  EXPECT_EQ(upd.dones.size(), 1u) << "trigger statements report nothing";
  EXPECT_EQ(upd.dones.back().count, 2u);
  ok("delete acct where id = 1");
  EXPECT_EQ(rows("select id, old_bal, new_bal, what from audit_log where what <> 'upd' order by "
                 "what, id"),
            (Rows{{"1", "20.0000", "NULL", "del"},
                  {"1", "NULL", "10.0000", "ins"},
                  {"2", "NULL", "20.0000", "ins"}}));
  EXPECT_EQ(scalar("select count(*) from audit_log where what = 'upd'"), "3");

  // Switched off inside a transaction that is rolled back: the trigger is on again.
  ok("begin tran ALTER TABLE acct disable TRIGGER all rollback");
  ok("insert acct values (3, 0)");
  EXPECT_EQ(scalar("select count(*) from audit_log where id = 3"), "1");
  ok("ALTER TABLE acct disable TRIGGER all");
  ok("insert acct values (4, 0)");
  EXPECT_EQ(scalar("select count(*) from audit_log where id = 4"), "0");
  ok("ALTER TABLE acct enable TRIGGER all");
  ok("insert acct values (5, 0)");
  EXPECT_EQ(scalar("select count(*) from audit_log where id = 5"), "1");
}

TEST_F(StatementsTest, AFailingTriggerUndoesItsStatement) {
  ok("create table a (id int)");
  ok("create table b (id int primary key)");
  ok("create trigger tr_a on a for insert as insert b select id from inserted");
  ok("insert a values (1)");
  EXPECT_EQ(run("insert a values (1)").errors(), std::vector<int>{2627});
  EXPECT_EQ(scalar("select count(*) from a"), "1");
}

TEST_F(StatementsTest, QueriesJoinGroupOrderAndLimit) {
  ok("create table dish (id int, name nvarchar(20), price decimal(10,2), kind char(2))");
  ok("create table kind (code char(2), label varchar(10))");
  ok("insert dish values (1, N'鱼', 12.50, 'A'), (2, N'鸡', 8.00, 'A'), (3, N'汤', 5.25, 'B'), "
     "(4, N'饭', 1.00, 'C')");
  ok("insert kind values ('a', 'main'), ('B', 'soup')");
  EXPECT_EQ(rows("select k.label, count(*), sum(d.price), max(d.name) from dish d inner join "
                 "kind k on d.kind = k.code group by k.label having count(*) > 0 order by 2 "
                 "desc"),
            (Rows{{"main", "2", "20.50", "鱼"}, {"soup", "1", "5.25", "汤"}}));
  EXPECT_EQ(rows("select d.id, k.label from dish d left join kind k on k.code = d.kind where "
                 "k.label is null"),
            (Rows{{"4", "NULL"}}));
  EXPECT_EQ(rows("select top 2 id from dish order by price desc"), (Rows{{"1"}, {"2"}}));
  EXPECT_EQ(rows("select distinct kind from dish where id in (1, 2, 3) order by kind"),
            (Rows{{"A "}, {"B "}}));
  EXPECT_EQ(rows("select id from dish a where exists (select * from kind where code = a.kind) "
                 "and price between 5 and 10 order by id"),
            (Rows{{"2"}, {"3"}}));
  EXPECT_EQ(rows("select id, case when price > 10 then 'dear' when price > 5 then 'fair' else "
                 "'cheap' end as c from dish, kind where kind.code = dish.kind and kind.code = "
                 "'A' order by c"),
            (Rows{{"1", "dear"}, {"2", "fair"}}));
  EXPECT_EQ(scalar("select avg(price) from dish"), "6.687500");
  EXPECT_EQ(scalar("select count(*) from dish where price > (select min(price) from dish)"), "3");
  auto bad = run("select nope from dish");
  EXPECT_EQ(bad.errors(), std::vector<int>{207});
  EXPECT_EQ(run("select * from nothere select 1").errors(), std::vector<int>{208});
}

TEST_F(StatementsTest, BuiltInFunctions) {
  EXPECT_EQ(rows("select stuff('A24010100001', 2, 6, '250101'), upper(ltrim(rtrim('  ab  '))), "
                 "substring('abcdef', 2, 3), isnull(null, 'x'), replace('aXbx', 'x', '-'), "
                 "charindex('c', 'abcabc', 4), left('中文字', 2), right('abc', 5), "
                 "len('ab  '), datalength(N'ab'), abs(-2.5), round(2.345, 2), "
                 "'系统变量' + N'x'"),
            (Rows{{"A25010100001", "AB", "bcd", "x", "a-b-", "6", "中文", "abc", "2", "4", "2.5",
                   "2.350", "系统变量x"}}));
  EXPECT_EQ(scalar("select db_name()"), "master");
  EXPECT_EQ(scalar("select @@trancount"), "0");
  EXPECT_EQ(scalar("select @@spid"), std::to_string(session->spid()));
  EXPECT_EQ(scalar("select cast('12' as int) + 1"), "13");
  EXPECT_EQ(run("select cast('x1' as int)").errors(), std::vector<int>{245});
  EXPECT_EQ(scalar("select convert(varchar(10), getdate(), 120)").size(), 10u);
}

TEST_F(StatementsTest, SystemVariableStatementsOfTheLibrary) {
  ok("create table t_sys_system (sys_var_id varchar(30) not null primary key, sys_var_name "
     "varchar(60), sys_var_value varchar(100), sys_ver_flag varchar(10))");
  std::vector<Param> p(3);
  p[0].name = "@P1";
  p[0].type = SqlType{TypeId::VarChar, 30, 0, 0};
  p[0].value = Value::text("uniform_saleway");
  p[1] = p[0];
  p[1].name = "@P2";
  p[2] = p[0];
  p[2].name = "@P3";
  p[2].value = Value::text("0");
  RecordingSink ins;
  session->executeWithParams(
      "INSERT t_sys_system ( sys_var_id , sys_var_name , sys_var_value ) Values ( @P1 , "
      "'系统变量' + @P2 , @P3 )",
      p, false, ins);
  EXPECT_TRUE(ins.errors().empty());
  ASSERT_EQ(ins.dones.size(), 1u);
  EXPECT_TRUE(ins.dones[0].countValid);
  EXPECT_EQ(ins.dones[0].count, 1u);
  std::vector<Param> q(1, p[0]);
  q[0].value = Value::text(" UNIFORM_saleway ");
  RecordingSink sel;
  session->executeWithParams(
      "SELECT sys_var_value FROM t_sys_system WHERE Upper ( LTRIM ( RTRIM ( sys_var_id ) ) ) "
      "=Upper ( LTRIM ( RTRIM ( @P1 ) ) )",
      q, false, sel);
  ASSERT_EQ(sel.sets.size(), 1u);
  ASSERT_EQ(sel.sets[0].rows.size(), 1u);
  EXPECT_EQ(sel.sets[0].rows[0][0].s, "0");
  EXPECT_EQ(scalar("select sys_var_name from t_sys_system"), "系统变量uniform_saleway");

  // Describing without running: metadata of the table's columns.
  RecordingSink meta;
  session->executeWithParams("SELECT * FROM t_sys_system", {}, true, meta);
  ASSERT_EQ(meta.sets.size(), 1u);
  EXPECT_TRUE(meta.sets[0].rows.empty());
  ASSERT_EQ(meta.sets[0].cols.size(), 4u);
  EXPECT_EQ(meta.sets[0].cols[0].type.id, TypeId::VarChar);
  EXPECT_EQ(meta.sets[0].cols[0].type.length, 30);
  EXPECT_FALSE(meta.sets[0].cols[0].nullable);
}

TEST_F(StatementsTest, RedatingUpdateWithBoundDate) {
  ok("create table cybr_u_tmp_orderdish (ch_billno varchar(12), ch_payno varchar(12) null, "
     "dt_operdate datetime)");
  ok("insert cybr_u_tmp_orderdish values ('B2301010001', null, '2023-01-01')");
  std::vector<Param> p(1);
  p[0].name = "@P1";
  p[0].type = SqlType{TypeId::VarChar, 6, 0, 0};
  p[0].value = Value::text("250304");
  RecordingSink s;
  session->executeWithParams(
      "update cybr_u_tmp_orderdish set ch_billno = stuff(ch_billno, 2, 6, @P1), ch_payno = "
      "stuff(ch_payno, 2, 6, @P1), dt_operdate = getdate()",
      p, false, s);
  EXPECT_TRUE(s.errors().empty());
  EXPECT_EQ(rows("select ch_billno, ch_payno, year(dt_operdate) >= 2024 from "
                 "cybr_u_tmp_orderdish"),
            (Rows{{"B2503040001", "NULL", "1"}}));
}

TEST_F(StatementsTest, ResultMetadataDescribesColumns) {
  ok("create table m (id int identity primary key, code char(3) not null, amt decimal(12,3), "
     "memo text)");
  auto r = ok("set fmtonly on select * from m set fmtonly off");
  ASSERT_EQ(r.sets.size(), 1u);
  const auto& c = r.sets[0].cols;
  ASSERT_EQ(c.size(), 4u);
  EXPECT_TRUE(c[0].identity);
  EXPECT_FALSE(c[0].nullable);
  EXPECT_EQ(c[1].type.id, TypeId::Char);
  EXPECT_EQ(c[1].type.length, 3);
  EXPECT_EQ(c[2].type.precision, 12);
  EXPECT_EQ(c[2].type.scale, 3);
  EXPECT_EQ(c[3].type.id, TypeId::Text);
  EXPECT_EQ(c[3].table, "m");
  auto e = ok("select id + 1 as nxt, amt * 2 from m");
  EXPECT_EQ(e.sets[0].cols[0].name, "nxt");
  EXPECT_EQ(e.sets[0].cols[1].type.id, TypeId::Decimal);
}

TEST_F(StatementsTest, EqualityJoinsOnLargerTablesMatchAsComparisonsDo) {
  ok("create table a (k char(6), n int)");
  ok("create table b (k varchar(6), d decimal(6,2))");
  for (int i = 0; i < 30; ++i) {
    ok("insert a values ('key" + std::to_string(i) + "', " + std::to_string(i) + ")");
    if (i % 3 == 0)
      ok("insert b values ('KEY" + std::to_string(i) + "  ', " + std::to_string(i) + ".00)");
  }
  ok("insert a values (null, null) insert b values (null, null)");
  EXPECT_EQ(scalar("select count(*) from a join b on a.k = b.k"), "10");
  EXPECT_EQ(scalar("select count(*) from a inner join b on b.d = a.n and a.n > 10"), "6");
  EXPECT_EQ(scalar("select count(*) from a left join b on a.k = b.k where b.k is null"), "21");
  EXPECT_EQ(scalar("select count(*) from a, b where a.n = b.d"), "10");
  EXPECT_EQ(rows("select a.n from a join b on a.k = b.k where a.n between 5 and 10 order by "
                 "a.n desc"),
            (Rows{{"9"}, {"6"}}));
}

TEST_F(StatementsTest, DefaultsAndUpdateOfAColumnInTriggers) {
  ok("create table s (id int identity, state char(1) not null default 'Y', amt money default 0, "
     "stamp datetime default getdate())");
  ok("create table s_log (what varchar(20))");
  ok("create trigger tr_s on s for insert, update as\n"
     "if update(amt) insert s_log values ('amt')\n"
     "if update(state) insert s_log values ('state')");
  ok("insert s (state, amt) values (default, default)");
  ok("insert s default values");
  EXPECT_EQ(rows("select id, state, amt, stamp is not null from s order by id"),
            (Rows{{"1", "Y", "0.0000", "1"}, {"2", "Y", "0.0000", "1"}}));
  ok("delete s_log");
  ok("update s set amt = 5 where id = 1");
  EXPECT_EQ(rows("select what from s_log"), (Rows{{"amt"}}));
  EXPECT_EQ(run("insert s (state) values (null)").errors(), std::vector<int>{515});
}

TEST_F(StatementsTest, VariablesControlFlowAndUnion) {
  auto r =
      ok("declare @i int, @s varchar(20) set @i = 0 set @s = ''\n"
         "while @i < 3 begin set @i = @i + 1 set @s = @s + cast(@i as varchar(2)) end\n"
         "if @s = '123' select @s, @@error else select 'no'");
  ASSERT_EQ(r.sets.size(), 1u);
  EXPECT_EQ(show(r.sets[0].rows[0][0]), "123");
  EXPECT_EQ(run("select @undeclared").errors(), std::vector<int>{137});
  EXPECT_EQ(rows("select 1 as n union select 2 union all select 1 order by n"),
            (Rows{{"1"}, {"1"}, {"2"}}));
  ok("create table u (x int)");
  auto e = run("insert u values ('z') select @@error");
  EXPECT_EQ(e.errors(), std::vector<int>{245});
  ok("insert u values (1) select @@rowcount");
  EXPECT_EQ(scalar("declare @n int select @n = count(*) from u select @n"), "1");
}

TEST_F(StatementsTest, ObjectCatalogueSupportsTheDropIfExistsIdiom) {
  ok("create table old_t (x int)");
  ok("create trigger old_tr on old_t for insert as select 1");
  EXPECT_EQ(rows("select name, xtype from sysobjects order by name"),
            (Rows{{"old_t", "U "}, {"old_tr", "TR"}}));
  ok("if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[old_t]') and "
     "OBJECTPROPERTY(id, N'IsUserTable') = 1) drop table [dbo].[old_t]");
  EXPECT_EQ(run("select * from old_t").errors(), std::vector<int>{208});
  EXPECT_EQ(scalar("select count(*) from sysobjects"), "0") << "the trigger went with its table";
  ok("create table old_t (x int)");
}

TEST_F(StatementsTest, ProceduresRunInABatchToo) {
  ok("create table p (id int, name varchar(10))");
  ok("exec sp_executesql N'insert p values (@a, @b)', N'@a int, @b varchar(10)', @a = 7, @b = "
     "'seven'");
  EXPECT_EQ(rows("select id, name from p"), (Rows{{"7", "seven"}}));
  EXPECT_EQ(run("exec sp_nothing").errors(), std::vector<int>{2812});
}

TEST_F(StatementsTest, SchemaObjectsRefuseWhatSqlServerRefuses) {
  ok("create table k (id int primary key, code varchar(5))");
  EXPECT_EQ(run("create table k (x int)").errors(), std::vector<int>{2714});
  ok("insert k values (1, 'a') insert k values (2, 'A')");
  EXPECT_EQ(run("create unique index ux on k (code)").errors(), std::vector<int>{1505});
  ok("create index ix on k (code)");
  EXPECT_EQ(run("create index ix on k (id)").errors(), std::vector<int>{1913});
  ok("drop index k.ix");
  EXPECT_EQ(run("drop index k.ix").errors(), std::vector<int>{3703});
  ok("create table kc (id int, kid int foreign key references k (id))");
  EXPECT_EQ(run("drop table k").errors(), std::vector<int>{3726});
  EXPECT_EQ(run("create table bad (a int references nothere (id))").errors(),
            std::vector<int>{1767});
  EXPECT_EQ(run("create table bad (a int references k (code))").errors(), std::vector<int>{1776});
  EXPECT_EQ(run("create table two (a int identity, b int identity)").errors(),
            std::vector<int>{2744});
  EXPECT_EQ(run("create table dupcol (a int, A int)").errors(), std::vector<int>{2705});
  EXPECT_EQ(run("drop table nothere").errors(), std::vector<int>{3701});
  EXPECT_EQ(run("Truncate Table nothere").errors(), std::vector<int>{4701});
  EXPECT_EQ(run("ALTER TABLE nothere disable TRIGGER all").errors(), std::vector<int>{4902});
  ok("drop table kc drop table k");
}

TEST_F(StatementsTest, IdentityInsertIsPerTableAndNeedsAColumnList) {
  ok("create table i1 (id int identity, v int) create table i2 (id int identity, v int) create "
     "table plain (v int)");
  ok("set identity_insert i1 on");
  EXPECT_EQ(run("set identity_insert i2 on").errors(), std::vector<int>{8107});
  EXPECT_EQ(run("set identity_insert plain on").errors(), std::vector<int>{8106});
  EXPECT_EQ(run("insert i1 values (5, 1)").errors(), std::vector<int>{8101});
  EXPECT_EQ(run("insert i1 (v) values (1)").errors(), std::vector<int>{545});
  ok("insert i1 (id, v) values (5, 1)");
  ok("set identity_insert i1 off");
  ok("insert i2 (v) values (1)");
  EXPECT_EQ(scalar("select id from i2"), "1");
}

TEST_F(StatementsTest, RollbackInATriggerEndsTheBatch) {
  ok("create table guarded (v int)");
  ok("create trigger tr_guard on guarded for insert as if exists (select * from inserted where "
     "v < 0) rollback");
  ok("insert guarded values (1)");
  auto r = run("begin tran insert guarded values (2) insert guarded values (-1) select 'after'");
  EXPECT_EQ(r.errors(), std::vector<int>{3609});
  EXPECT_TRUE(r.sets.empty());
  EXPECT_EQ(scalar("select @@trancount"), "0");
  EXPECT_EQ(rows("select v from guarded"), (Rows{{"1"}}));
}

TEST_F(StatementsTest, SubqueryAndArithmeticErrors) {
  ok("create table sq (v int) insert sq values (1) insert sq values (2)");
  auto r = run("select (select v from sq) select 'next'");
  EXPECT_EQ(r.errors(), std::vector<int>{512});
  ASSERT_EQ(r.sets.size(), 1u) << "a statement error lets the batch go on";
  EXPECT_EQ(run("select v from sq where v = 'x'").errors(), std::vector<int>{245});
  EXPECT_EQ(run("select 2147483647 + 1").errors(), std::vector<int>{8115});
  EXPECT_EQ(scalar("select cast(2147483647 as bigint) + 1"), "2147483648");
  EXPECT_EQ(scalar("select 2147483648 + 1"), "2147483649") << "a numeric literal";
  EXPECT_EQ(run("select cast(-9223372036854775808 as bigint) / -1").errors(),
            std::vector<int>{8115});
  EXPECT_EQ(run("select 99999999999999999999999999999999999999 + "
                "99999999999999999999999999999999999999")
                .errors(),
            std::vector<int>{8115});
  EXPECT_EQ(scalar("select len(replicate('', 1000000000))"), "0");
  EXPECT_EQ(run("select count(*) from sq where sum(v) > 1").errors(), std::vector<int>{147});
  EXPECT_EQ(run("select x.v from sq").errors(), std::vector<int>{4104});
  ok("create table sq2 (v int)");
  EXPECT_EQ(run("select v from sq, sq2").errors(), std::vector<int>{209});
}

TEST_F(StatementsTest, InformationSchemaDescribesTables) {
  ok("create table info (id int not null, name varchar(20), amt decimal(9,2))");
  EXPECT_EQ(rows("select TABLE_NAME, TABLE_TYPE from INFORMATION_SCHEMA.TABLES"),
            (Rows{{"info", "BASE TABLE"}}));
  EXPECT_EQ(rows("select COLUMN_NAME, DATA_TYPE, IS_NULLABLE, CHARACTER_MAXIMUM_LENGTH, "
                 "NUMERIC_PRECISION, NUMERIC_SCALE from information_schema.columns where "
                 "table_name = 'INFO' order by ORDINAL_POSITION"),
            (Rows{{"id", "int", "NO", "NULL", "10", "0"},
                  {"name", "varchar", "YES", "20", "NULL", "NULL"},
                  {"amt", "decimal", "YES", "NULL", "9", "2"}}));
  EXPECT_EQ(scalar("select count(*) from sys.databases where name = 'master'"), "1");
}

TEST_F(StatementsTest, KeysAreCheckedOnTheFinalStateOfAnUpdate) {
  ok("create table seq (id int primary key, v varchar(5))");
  ok("insert seq values (1, 'a'), (2, 'b'), (3, 'c')");
  ok("update seq set id = id + 1");
  EXPECT_EQ(rows("select id, v from seq order by id"), (Rows{{"2", "a"}, {"3", "b"}, {"4", "c"}}));
  auto r = run("update seq set id = 9 where id > 2");
  EXPECT_EQ(r.errors(), std::vector<int>{2627});
  EXPECT_EQ(rows("select id from seq order by id"), (Rows{{"2"}, {"3"}, {"4"}}));
}

TEST_F(StatementsTest, NocountAndFmtonlyChangeWhatIsReportedAndRun) {
  ok("create table nc (v int)");
  auto counted = ok("insert nc values (1)");
  ASSERT_EQ(counted.dones.size(), 1u);
  EXPECT_TRUE(counted.dones[0].countValid);
  auto quiet = ok("set nocount on insert nc values (2) set nocount off");
  ASSERT_EQ(quiet.dones.size(), 3u);
  EXPECT_FALSE(quiet.dones[1].countValid);
  auto described = ok("set fmtonly on insert nc values (3) select v from nc set fmtonly off");
  ASSERT_EQ(described.sets.size(), 1u);
  EXPECT_TRUE(described.sets[0].rows.empty());
  EXPECT_EQ(scalar("select count(*) from nc"), "2") << "FMTONLY does not run the insert";
}

TEST_F(StatementsTest, ParametersConvertToTheirDeclaredTypes) {
  ok("create table pc (i int, d decimal(10,2), t datetime, s varchar(4))");
  std::vector<Param> p(4);
  p[0] = {"@P1", SqlType{TypeId::VarChar, 10, 0, 0}, Value::text("12"), false};
  p[1] = {"@P2", SqlType{TypeId::Decimal, 0, 18, 4}, Value::decimal("3.1415"), false};
  p[2] = {"@P3", SqlType{TypeId::DateTime, 0, 0, 0}, Value::datetime(45000, 150), false};
  p[3] = {"@P4", SqlType{TypeId::NVarChar, 10, 0, 0}, Value::null(), false};
  RecordingSink ins;
  session->executeWithParams("insert pc values (@P1, @P2, @P3, @P4)", p, false, ins);
  EXPECT_TRUE(ins.errors().empty());
  EXPECT_EQ(rows("select i, d, t, s from pc"),
            (Rows{{"12", "3.14", "2023-03-17 00:00:00.500", "NULL"}}));
  p[3].value = Value::text("toolong");
  RecordingSink bad;
  session->executeWithParams("insert pc values (@P1, @P2, @P3, @P4)", p, false, bad);
  EXPECT_EQ(bad.errors(), std::vector<int>{8152});
  // Parameters do not outlive their statement.
  EXPECT_EQ(run("select @P1").errors(), std::vector<int>{137});
}

class CancellingSink : public RecordingSink {
 public:
  bool cancelled() override { return sets.size() > 0 && sets.back().rows.size() >= 3; }
};

TEST_F(StatementsTest, AnAttentionStopsTheBatch) {
  ok("create table big (v int)");
  std::string values = "insert big values (0)";
  for (int i = 1; i < 3000; ++i) values += ", (" + std::to_string(i) + ")";
  ok(values);
  CancellingSink sink;
  session->executeBatch("select v from big where v >= 0 select 'never'", sink);
  ASSERT_EQ(sink.sets.size(), 1u);
  EXPECT_LT(sink.sets[0].rows.size(), 3000u);
  EXPECT_TRUE(sink.errors().empty());
  EXPECT_EQ(scalar("select count(*) from big"), "3000") << "the session stays usable";
}

TEST_F(StatementsTest, PlainScansReturnRowsInPrimaryKeyOrder) {
  ok("create table ord (code varchar(5) primary key, v int)");
  ok("insert ord values ('b', 1), ('C', 2), ('a', 3)");
  EXPECT_EQ(rows("select * from ord"), (Rows{{"a", "3"}, {"b", "1"}, {"C", "2"}}));
  EXPECT_EQ(rows("select v from ord where v > 0"), (Rows{{"3"}, {"1"}, {"2"}}));
  ok("create table heap (v int) insert heap values (2), (1)");
  EXPECT_EQ(rows("select * from heap"), (Rows{{"2"}, {"1"}})) << "without a key: insertion order";
}

TEST_F(StatementsTest, KeyLookupsFindRowsAsFullComparisonsWould) {
  ok("create table lk (code char(6) primary key, n int, d datetime)");
  ok("insert lk values ('ab', 1, '2024-01-01'), ('AB2', 2, '2024-01-02'), ('c', 3, null)");
  EXPECT_EQ(scalar("select n from lk where code = 'AB    '"), "1");
  EXPECT_EQ(scalar("select n from lk where 'ab2' = code and n > 1"), "2");
  EXPECT_EQ(scalar("declare @k varchar(6) set @k = 'C' select n from lk where code = @k"), "3");
  EXPECT_EQ(scalar("select count(*) from lk where n = 2 and code = 'ab'"), "0");
  EXPECT_EQ(scalar("select code from lk where d = '2024-01-02'"), "AB2   ");
  EXPECT_EQ(scalar("select count(*) from lk where n = '2'"), "1");
  ok("update lk set n = 10 where code = 'AB'");
  ok("delete lk where code = 'c'");
  EXPECT_EQ(rows("select code, n from lk"), (Rows{{"ab    ", "10"}, {"AB2   ", "2"}}));
}

TEST_F(StatementsTest, CatalogueProceduresOfTheOdbcDriver) {
  ok("create table cat_a (id int identity primary key, name varchar(20) not null, at datetime)");
  ok("create table other (x int)");
  EXPECT_EQ(rows("exec sp_tables @table_name = 'cat%'"),
            (Rows{{"master", "dbo", "cat_a", "TABLE", "NULL"}}));
  auto cols = rows("exec sp_columns @table_name = N'cat_a', @table_owner = N'dbo'");
  ASSERT_EQ(cols.size(), 3u);
  EXPECT_EQ(cols[0][3], "id");
  EXPECT_EQ(cols[0][5], "int identity");
  EXPECT_EQ(cols[1][4], "12");  // SQL_VARCHAR
  EXPECT_EQ(cols[1][6], "20");
  EXPECT_EQ(cols[1][10], "0");  // not nullable
  EXPECT_EQ(cols[2][4], "93");  // SQL_TYPE_TIMESTAMP
  auto keys = rows("sp_pkeys 'cat_a'");
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0][3], "id");
  EXPECT_EQ(keys[0][4], "1");
}

TEST_F(StatementsTest, ChineseSortsInPinyinOrderInQueriesAndKeys) {
  ok("create table city (name nvarchar(10) primary key, n int)");
  ok("insert city values (N'中山', 1), (N'北京', 2), (N'安庆', 3), (N'Zurich', 4)");
  EXPECT_EQ(rows("select name from city order by name"),
            (Rows{{"Zurich"}, {"安庆"}, {"北京"}, {"中山"}}));
  EXPECT_EQ(rows("select n from city"), (Rows{{"4"}, {"3"}, {"2"}, {"1"}}))
      << "the key's scan order follows the same collation";
  EXPECT_EQ(run("insert city values (N'ZURICH  ', 5)").errors(), std::vector<int>{2627});
}

TEST_F(StatementsTest, CheckConstraintsAreEnforced) {
  ok("create table ck (qty int check (qty >= 0), flag char(1) not null default 'Y', constraint "
     "ck_flag check (flag in ('Y', 'N')))");
  ok("insert ck values (1, 'Y') insert ck (qty) values (null)");
  auto r = run("insert ck values (-1, 'Y')");
  EXPECT_EQ(r.errors(), std::vector<int>{547});
  EXPECT_NE(r.text(547).find("CHECK constraint"), std::string::npos);
  EXPECT_EQ(run("update ck set flag = 'x'").errors(), std::vector<int>{547});
  EXPECT_EQ(rows("select qty, flag from ck order by qty"), (Rows{{"NULL", "Y"}, {"1", "Y"}}));
  EXPECT_EQ(run("create table ck2 (a int check (nosuch > 0))").errors(), std::vector<int>{207});
}

TEST_F(StatementsTest, RightOuterJoinKeepsUnmatchedRightRows) {
  ok("create table l (k int, a varchar(5)) create table r (k int, b varchar(5))");
  ok("insert l values (1, 'l1'), (2, 'l2') insert r values (2, 'r2'), (3, 'r3'), (3, 'r3b')");
  EXPECT_EQ(rows("select l.a, r.b from l right join r on l.k = r.k order by r.b"),
            (Rows{{"l2", "r2"}, {"NULL", "r3"}, {"NULL", "r3b"}}));
  EXPECT_EQ(scalar("select count(*) from l right outer join r on l.k = r.k where l.k is null"),
            "2");
}

}  // namespace
}  // namespace standin::test
