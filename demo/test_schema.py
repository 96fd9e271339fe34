#!/usr/bin/env python3
"""Checks of the template schema, the SQL check files and the demonstration data.

The schema is read with the reader of make_sample.py and replayed on SQLite: tables with the
server's rules for char data (lengths in GBK bytes, comparison case-insensitive and ignoring
trailing blanks), the triggers as row triggers over the same INSERT ... SELECT bodies,
DISABLE/ENABLE TRIGGER ALL as dropping and re-creating them inside the running transaction.
The check files in test_sql/ and the sample files are run against it. Column types, which
SQLite does not enforce, are checked from the parsed schema. When a sqlstandin program is
built (build/bin/sqlstandin, or the path in SQLSTANDIN), the check files also run on it through
tsql (run_checks.py).

Run: python3 -m unittest discover -s demo -p 'test_*.py'
"""

import contextlib
import copy
import datetime as dt
import io
import os
import re
import shutil
import sqlite3
import tempfile
import unittest
from pathlib import Path

import make_sample as ms
import run_checks as rc

HERE = Path(__file__).resolve().parent
CHECKS = HERE / "test_sql"
SAMPLE = HERE / "sample"
TRIGGER_TABLES = ms.TRIGGER_TABLES
ALLOWED_TYPES = {
    "char", "varchar", "nchar", "nvarchar", "text", "int", "smallint", "tinyint", "bigint",
    "bit", "decimal", "numeric", "money", "float", "real", "datetime", "smalldatetime",
}


# ---------------------------------------------------------------------------------------------
# SQLite replay of the schema
# ---------------------------------------------------------------------------------------------


def tsql_collation(a, b):
    ka, kb = a.rstrip(" ").upper(), b.rstrip(" ").upper()
    return (ka > kb) - (ka < kb)


def stuff(s, start, length, replacement):
    if s is None or start is None or length is None or start < 1 or start > len(s):
        return None
    return s[: start - 1] + (replacement or "") + s[start - 1 + length :]


def getdate():
    return dt.datetime.now().strftime("%Y-%m-%d %H:%M:%S.%f")[:23]


class ServerError(Exception):
    def __init__(self, number, text):
        super().__init__(f"{number}: {text}")
        self.number = number


def gbk_len(value):
    return None if value is None else len(str(value).encode("gbk"))


def sqlite_error_number(err):
    text = str(err)
    if "CHECK constraint failed" in text:
        return 8152  # string or binary data would be truncated
    if "UNIQUE constraint failed" in text:
        return 2627
    if "NOT NULL constraint failed" in text:
        return 515
    return None


def translate(sql):
    """The T-SQL spellings used in our scripts that SQLite writes differently."""
    sql = re.sub(r"\bN'", "'", sql)
    sql = re.sub(r"^\s*delete\s+(?!from\b)(\w+)", r"DELETE FROM \1", sql, flags=re.I)
    sql = re.sub(r"^\s*INSERT\s+(?!INTO\b)(\w+)", r"INSERT INTO \1", sql, flags=re.I)
    sql = re.sub(r"^\s*BEGIN\s+TRAN(SACTION)?\s*;?\s*$", "BEGIN", sql, flags=re.I)
    sql = re.sub(r"^\s*(COMMIT|ROLLBACK)\s+TRAN(SACTION)?\s*;?\s*$", r"\1", sql, flags=re.I)
    return sql


def column_sql(table, col):
    if col.identity:
        if table.primary_key != [col.name]:
            raise AssertionError(f"{table.name}: identity column is not the whole key")
        return f"{col.name} INTEGER PRIMARY KEY AUTOINCREMENT"
    if col.type in ("char", "varchar"):
        kind = f"TEXT COLLATE TSQL CHECK (gbk_len({col.name}) <= {col.args[0]})"
    elif col.type in ("text", "nchar", "nvarchar"):
        kind = "TEXT COLLATE TSQL"
    elif col.type in ms.INT_RANGES:
        kind = "INTEGER"
    elif col.type in ("datetime", "smalldatetime"):
        kind = "TEXT"
    else:
        kind = "NUMERIC"
    parts = [col.name, kind]
    if not col.nullable:
        parts.append("NOT NULL")
    if col.default is not None:
        d = col.default
        parts.append("DEFAULT CURRENT_TIMESTAMP" if d.lower() == "getdate()" else "DEFAULT " + d)
    return " ".join(parts)


def table_sql(table):
    items = [column_sql(table, c) for c in table.columns]
    if not any(c.identity for c in table.columns):
        items.append(f"PRIMARY KEY ({', '.join(table.primary_key)})")
    for u in table.uniques:
        items.append(f"UNIQUE ({', '.join(u)})")
    return f"CREATE TABLE {table.name} ({', '.join(items)})"


def row_source(table, prefix, empty=False):
    cols = ", ".join(f"{prefix}.{c.name} AS {c.name}" if not empty else f"NULL AS {c.name}"
                     for c in table.columns)
    return f"(SELECT {cols}{' WHERE 0' if empty else ''})"


def trigger_sql(schema, trig):
    """SQLite row triggers doing what the statement trigger does for each of its events."""
    table = schema.tables[trig.table]
    out = []
    for event in trig.events:
        body = re.sub(r"\binserted\b", row_source(table, "NEW"), trig.body, flags=re.I)
        body = re.sub(r"\bdeleted\b", row_source(table, "OLD", empty=event == "insert"),
                      body, flags=re.I)
        out.append(
            f"CREATE TRIGGER IF NOT EXISTS {trig.name}_{event} AFTER {event.upper()} ON "
            f"{trig.table} FOR EACH ROW BEGIN {translate(body)}; END"
        )
    return out


class Replay:
    """A template database made from schema.sql on SQLite."""

    def __init__(self, schema=None):
        self.schema = schema or ms.load_schema()
        self.db = sqlite3.connect(":memory:", isolation_level=None)
        self.db.create_collation("TSQL", tsql_collation)
        self.db.create_function("stuff", 4, stuff)
        self.db.create_function("getdate", 0, getdate)
        self.db.create_function("gbk_len", 1, gbk_len, deterministic=True)
        self.triggers = {}  # table -> [sqlite trigger statements]
        for batch in self.schema.batches:
            head = batch.split(None, 2)[:2]
            kind = " ".join(head).upper()
            if kind == "CREATE TABLE":
                name = re.match(r"CREATE\s+TABLE\s+(\w+)", batch, re.I).group(1)
                self.db.execute(table_sql(self.schema.tables[name]))
            elif kind == "CREATE INDEX":
                self.db.execute(batch)
            elif kind == "CREATE TRIGGER":
                pass
            elif head[0].upper() == "INSERT":
                for stmt in re.split(r"(?m)^(?=INSERT\b)", batch):
                    if stmt.strip():
                        self.db.execute(translate(stmt))
            else:
                raise AssertionError(f"statement not replayed: {batch[:60]}")
        for trig in self.schema.triggers:
            stmts = trigger_sql(self.schema, trig)
            self.triggers.setdefault(trig.table, []).extend(stmts)
            for s in stmts:
                self.db.execute(s)

    def execute(self, sql):
        m = re.match(r"\s*ALTER\s+TABLE\s+(\w+)\s+(disable|enable)\s+TRIGGER\s+all\s*;?\s*$",
                     sql, re.I)
        if m:
            table, action = m.group(1), m.group(2).lower()
            for stmt in self.triggers.get(table, []):
                if action == "enable":
                    self.db.execute(stmt)
                else:
                    name = re.search(r"EXISTS\s+(\w+)", stmt).group(1)
                    self.db.execute(f"DROP TRIGGER IF EXISTS {name}")
            return []
        if re.match(r"\s*SET\s", sql, re.I):
            return []  # session options; SQLite takes explicit identity values anyway
        try:
            return self.db.execute(translate(sql)).fetchall()
        except sqlite3.Error as e:
            raise ServerError(sqlite_error_number(e), str(e)) from None

    def count(self, table, where="1=1"):
        return self.db.execute(f"SELECT count(*) FROM {table} WHERE {where}").fetchone()[0]


def run_checks(testcase, path, replay=None):
    replay = replay or Replay()
    batches = rc.read_case(path)
    testcase.assertTrue(batches, f"{path.name} holds no statements")
    for b in batches:
        where = f"{path.name}:{b.line}"
        sql = ms.strip_comments(b.sql).strip()
        try:
            result = replay.execute(sql)
        except ServerError as e:
            if e.number not in b.errors:
                testcase.fail(f"{where}: unexpected error {e}\n{sql}")
            continue
        if b.errors:
            testcase.fail(f"{where}: expected error {b.errors}, the batch succeeded\n{sql}")
        if b.rows is not None:
            got = [[None if v is None else str(v) for v in row] for row in result]
            testcase.assertEqual(got, b.rows, where)
    return replay


def redating_statements():
    return [ms.strip_comments(b.sql).strip() for b in rc.read_case(CHECKS / "redate.case")
            if re.match(r"\s*update\s", ms.strip_comments(b.sql), re.I)]


# ---------------------------------------------------------------------------------------------
# Tests
# ---------------------------------------------------------------------------------------------


class SchemaShape(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.text = ms.SCHEMA.read_text(encoding="utf-8")
        cls.schema = ms.load_schema()

    def test_catalogue_and_system_tables_exist_in_catalogue_order(self):
        names = list(self.schema.tables)
        catalogue = [t for _, t in ms.CATALOGUE]
        self.assertEqual(len(catalogue), 63)
        self.assertEqual(len(set(catalogue)), 63)
        self.assertIn("t_sys_system", names)
        self.assertEqual([n for n in names if n in catalogue], catalogue)

    def test_every_table_has_a_primary_key_on_not_null_columns(self):
        for table in self.schema.tables.values():
            with self.subTest(table=table.name):
                self.assertTrue(table.primary_key, "no primary key")
                for name in table.primary_key + [c for u in table.uniques for c in u]:
                    col = table.column(name)
                    self.assertIsNotNone(col, f"key column {name} missing")
                for name in table.primary_key:
                    self.assertFalse(table.column(name).nullable, f"{name} allows NULL")
                for col in table.columns:
                    if col.identity:
                        self.assertEqual(col.type, "int")

    def test_only_features_the_stand_in_supports(self):
        body = ms.strip_comments(self.text)
        for word in ("FOREIGN", "REFERENCES", "PROCEDURE", "VIEW", "FUNCTION", "CHECK"):
            self.assertNotRegex(body, rf"(?i)\b{word}\b")
        for batch in self.schema.batches:
            self.assertRegex(batch, r"(?i)^(CREATE\s+(TABLE|INDEX|TRIGGER)|INSERT\s+INTO\s+"
                                    r"t_sys_system)\b")
        for table in self.schema.tables.values():
            for col in table.columns:
                with self.subTest(column=f"{table.name}.{col.name}"):
                    self.assertIn(col.type, ALLOWED_TYPES)
                    if col.type in ("char", "varchar"):
                        self.assertEqual(len(col.args), 1)
                    if col.type in ("decimal", "numeric"):
                        self.assertEqual(len(col.args), 2)
                        self.assertLessEqual(col.args[1], col.args[0])
                    if col.default is not None:
                        self.assertRegex(col.default, r"^(getdate\(\)|'[^']*'|-?\d+(\.\d+)?)$")
        for name, table, cols in self.schema.indexes:
            for c in cols:
                self.assertIsNotNone(self.schema.tables[table].column(c), f"{name}: {c}")

    def test_system_variable_table(self):
        t = self.schema.tables["t_sys_system"]
        self.assertEqual([c.name for c in t.columns],
                         ["sys_var_id", "sys_var_name", "sys_var_value", "sys_ver_flag"])
        self.assertEqual(t.primary_key, ["sys_var_id"])
        # the library inserts rows without a version flag
        self.assertTrue(t.column("sys_ver_flag").nullable)
        # the library's display name is "系统变量" followed by an identifier of up to 30 bytes
        self.assertGreaterEqual(t.column("sys_var_name").args[0], 8 + t.column("sys_var_id").args[0])

    def test_redated_columns_hold_the_numbers_and_times(self):
        statements = redating_statements()
        self.assertEqual(len(statements), 9)
        redated = set()
        for sql in statements:
            table = self.schema.tables[re.match(r"update\s+(\w+)", sql, re.I).group(1)]
            redated.add(table.name)
            updated = re.findall(r"(\w+)\s*=", sql.split(" set ", 1)[1])
            # a number or time the updates leave alone would keep the day of the demo data
            dated = [c.name for c in table.columns
                     if c.name in ("ch_billno", "ch_payno") or c.type.endswith("datetime")]
            self.assertEqual(sorted(dated), sorted(updated), table.name)
            for name in updated:
                col = table.column(name)
                with self.subTest(column=f"{table.name}.{name}"):
                    self.assertIsNotNone(col)
                    if name == "dt_operdate":
                        self.assertEqual(col.type, "datetime")
                    else:
                        self.assertIn(col.type, ("char", "varchar"))
                        self.assertGreaterEqual(col.args[0], len("B0612080001"))
        open_tables = {t for _, t in ms.CATALOGUE if t.startswith("cybr_u_")}
        self.assertEqual(redated, open_tables)

    def test_each_switched_table_has_a_trigger_writing_existing_columns(self):
        by_table = {t.table: t for t in self.schema.triggers}
        self.assertEqual(sorted(by_table), sorted(TRIGGER_TABLES))
        for trig in self.schema.triggers:
            m = re.match(r"INSERT\s+INTO\s+(\w+)\s*\(([^)]*)\)", trig.body, re.I)
            self.assertIsNotNone(m, trig.name)
            target = self.schema.tables[m.group(1)]
            for c in m.group(2).split(","):
                self.assertIsNotNone(target.column(c.strip()), f"{trig.name}: {c}")
            for alias, c in re.findall(r"\b([id])\.(\w+)", trig.body):
                self.assertIsNotNone(self.schema.tables[trig.table].column(c), f"{trig.name}: {c}")


class CheckFiles(unittest.TestCase):
    def test_tables(self):
        run_checks(self, CHECKS / "tables.case")

    def test_triggers(self):
        run_checks(self, CHECKS / "triggers.case")

    def test_redate(self):
        run_checks(self, CHECKS / "redate.case")

    def test_keys(self):
        replay = run_checks(self, CHECKS / "keys.case")
        # the triggers were off: the price table's row left no history behind
        self.assertEqual(replay.count("t_m_member_log"), 0)
        self.assertEqual(replay.count("cybr_u_tmp_orderdish_audit"), 0)
        self.assertEqual(replay.count("t_st_material_price_audit"), 0)

    def test_a_wrong_expectation_is_reported(self):
        wrong = {
            "value": "SELECT count(*) FROM t_m_member_log\nGO\n-- expect rows\n1\n-- end\n",
            "missing error": "SELECT count(*) FROM t_m_member_log\nGO\n-- expect error 2627\n",
            "unlisted error": "SELECT count(*) FROM no_such_table\nGO\n",
            "no GO": "SELECT 1\n",
        }
        with tempfile.TemporaryDirectory() as d:
            for what, text in wrong.items():
                with self.subTest(what):
                    p = Path(d) / "wrong.case"
                    p.write_text(text, encoding="utf-8")
                    with self.assertRaises((AssertionError, rc.CaseError)):
                        run_checks(self, p)


class SampleData(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.schema = ms.load_schema()

    def load(self, replay):
        """Loads every sample file the way the import does: triggers off, all in one
        transaction."""
        replay.db.execute("BEGIN")
        for t in TRIGGER_TABLES:
            replay.execute(f"ALTER TABLE {t} disable TRIGGER all")
        counts = {}
        for _, name in ms.CATALOGUE:
            table = self.schema.tables[name]
            raw = (SAMPLE / f"{name}.txt").read_bytes()
            self.assertTrue(raw.endswith(b"\r\n"), name)
            lines = raw.decode("gbk").split("\r\n")[:-1]
            for n, line in enumerate(lines, start=1):
                fields = line.split("\t")
                self.assertEqual(len(fields), len(table.columns), f"{name} line {n}")
                values = [None if f == "" and c.nullable else f
                          for f, c in zip(fields, table.columns)]
                marks = ", ".join("?" * len(values))
                try:
                    replay.db.execute(f"INSERT INTO {name} VALUES ({marks})", values)
                except sqlite3.Error as e:
                    self.fail(f"{name} line {n}: {e}")
            counts[name] = len(lines)
        replay.db.execute("COMMIT")
        for t in TRIGGER_TABLES:
            replay.execute(f"ALTER TABLE {t} enable TRIGGER all")
        return counts

    def test_files_are_generated_from_the_current_data(self):
        self.assertEqual(ms.main(["--check", "--out", str(SAMPLE)]), 0)

    def test_sample_loads_with_triggers_off_and_survives_redating(self):
        replay = Replay(self.schema)
        counts = self.load(replay)
        for name, n in counts.items():
            self.assertGreater(n, 0, name)
            self.assertEqual(replay.count(name), n, name)
        self.assertEqual(replay.count("t_m_member_log"), 0)
        self.assertEqual(replay.count("cybr_u_tmp_orderdish_audit"), 0)
        self.assertEqual(replay.count("t_st_material_price_audit"), 0)
        self.assertEqual(replay.count("t_st_material_price_log"),
                         counts["t_st_material_price_log"])

        before = {}
        for sql in redating_statements():
            table = re.match(r"update\s+(\w+)", sql, re.I).group(1)
            before[table] = replay.db.execute(f"SELECT * FROM {table}").fetchall()
        today = dt.date.today().strftime("%y%m%d")
        for sql in redating_statements():
            replay.execute(sql.replace("'070115'", f"'{today}'"))
        for table, old_rows in before.items():
            cols = [c.name for c in self.schema.tables[table].columns]
            new_rows = replay.db.execute(f"SELECT * FROM {table}").fetchall()
            self.assertEqual(len(new_rows), len(old_rows), table)
            for old, new in zip(old_rows, new_rows):
                for name in ("ch_billno", "ch_payno"):
                    if name not in cols:
                        continue
                    o, v = old[cols.index(name)], new[cols.index(name)]
                    if o is None:
                        self.assertIsNone(v)
                    else:
                        self.assertEqual(v, o[0] + today + o[7:], table)

    def test_checker_rejects_faulty_rows(self):
        cases = [
            # a dish name of 21 Chinese characters does not fit varchar(40)
            ("cybr_bt_dish", 0, "vch_dishname", "超" * 21, "bytes"),
            # keys compare case-insensitively: 'a01' repeats 'A01'
            ("cybr_bt_table", 1, "ch_tableno", "a01", "primary key"),
            # an ordered dish that is not on the menu
            ("cybr_u_tmp_orderdish", 0, "ch_dishno", "99999", "not found"),
            # a bill number of another day
            ("cybr_u_tmp_master", 0, "ch_billno", "B0612070001", "is not a number"),
            # a price with more decimals than the column keeps
            ("cybr_bt_dish", 0, "num_price", "18.005", "decimal places"),
            # a code shorter than its char column would come back padded with blanks
            ("cybr_bt_dish_series", 0, "ch_seriesno", "1", "does not fill"),
            # NULL in a NOT NULL column
            ("t_m_member", 0, "vch_member", None, "NOT NULL"),
        ]
        saved = ms.DATA
        try:
            for table, row, column, value, message in cases:
                with self.subTest(table=table, column=column):
                    ms.DATA = copy.deepcopy(saved)
                    cols, rows_ = ms.DATA[table]
                    r = list(rows_[row])
                    r[cols.index(column)] = value
                    rows_[row] = tuple(r)
                    with self.assertRaisesRegex(ms.SampleError, message):
                        ms.build_all(self.schema)
        finally:
            ms.DATA = saved
        ms.build_all(self.schema)


def standin_binary():
    path = Path(os.environ.get("SQLSTANDIN", HERE.parent / "build" / "bin" / "sqlstandin"))
    return path if path.is_file() and shutil.which("tsql") else None


@unittest.skipUnless(standin_binary(), "no sqlstandin built, or no tsql")
class LiveStandin(unittest.TestCase):
    def run_files(self, *cases):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            status = rc.main(["--standin", str(standin_binary()), *map(str, cases)])
        return status, out.getvalue()

    def test_check_files_pass_on_the_stand_in(self):
        status, out = self.run_files()
        self.assertEqual(status, 0, out)
        for name in ("tables", "triggers", "redate", "keys"):
            self.assertIn(f"{name}.case:", out)
        self.assertIn("sample: 63 files, 0 failed", out)

    def test_a_wrong_expectation_fails_the_run(self):
        text = (CHECKS / "triggers.case").read_text(encoding="utf-8")
        wrong = text.replace("SELECT count(*) FROM t_m_member_log\nGO\n-- expect rows\n0\n",
                             "SELECT count(*) FROM t_m_member_log\nGO\n-- expect rows\n1\n", 1)
        self.assertNotEqual(wrong, text)
        with tempfile.TemporaryDirectory() as d:
            p = Path(d) / "wrong.case"
            p.write_text(wrong, encoding="utf-8")
            status, out = self.run_files("--no-sample", p)
        self.assertEqual(status, 1, out)
        self.assertRegex(out, r"wrong\.case:\d+: rows \[\['0'\]\], expected \[\['1'\]\]")


if __name__ == "__main__":
    unittest.main()
