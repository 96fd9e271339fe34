#!/usr/bin/env python3
"""Tests of the template builder's failure handling and of scripts/demo.sh end to end.

The demo runs on a free port with a scratch demo directory and without the bootstrap step, using
the programs of the build named by DEMO_BUILD_DIR (build/ by default); SQLSTANDIN names the
stand-in for the template builder. Tests that need a program that is not built are skipped.

Run: python3 -m unittest -v test_demo   (in demo/)
"""

import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest
from datetime import date
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
sys.path.insert(0, str(HERE))
import run_checks as rc  # noqa: E402

BUILD = Path(os.environ.get("DEMO_BUILD_DIR", ROOT / "build")).resolve()
STANDIN = Path(os.environ.get("SQLSTANDIN", BUILD / "bin" / "sqlstandin"))
DBSETUP = BUILD / "bin" / "dbsetup"
LAUNCHER = BUILD / "bin" / "hostrt-run"
HAVE_TOOLS = shutil.which("tsql") is not None and shutil.which("freebcp") is not None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def accepts_connections(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


@unittest.skipUnless(STANDIN.is_file() and HAVE_TOOLS, "no sqlstandin built, or no tsql")
class TemplateBuilder(unittest.TestCase):
    def build(self, *args):
        return subprocess.run([sys.executable, str(HERE / "build_template.py"), *args],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                              timeout=300)

    def test_a_rejected_statement_fails_and_keeps_the_previous_template(self):
        with tempfile.TemporaryDirectory() as d:
            out = Path(d) / "qdzt.dat"
            out.write_bytes(b"the previous template")
            schema = Path(d) / "schema.sql"
            schema.write_text("CREATE TABLE t_a (x int NOT NULL PRIMARY KEY)\nGO\n"
                              "-- the same name again\nCREATE TABLE t_a (y int)\nGO\n"
                              "CREATE TABLE t_b (z int)\nGO\n", encoding="utf-8")
            p = self.build("--standin", str(STANDIN), "--schema", str(schema), "--out", str(out))
            self.assertEqual(p.returncode, 1, p.stderr)
            self.assertIn("batch 4 of 8 failed", p.stderr)
            self.assertIn("Msg 2714", p.stderr)
            self.assertIn("CREATE TABLE t_a (y int)", p.stderr)
            self.assertEqual(out.read_bytes(), b"the previous template")
            self.assertEqual(sorted(f.name for f in Path(d).iterdir()), ["qdzt.dat", "schema.sql"])

    def test_a_good_schema_gives_a_backup_with_the_two_logical_files(self):
        with tempfile.TemporaryDirectory() as d:
            schema = Path(d) / "schema.sql"
            schema.write_text("CREATE TABLE t_sys_system (sys_var_id varchar(30) NOT NULL "
                              "PRIMARY KEY)\nGO\nINSERT INTO t_sys_system VALUES ('x')\nGO\n",
                              encoding="utf-8")
            out = Path(d) / "sub dir" / "it's.dat"  # a new folder, a quote in the name
            p = self.build("--standin", str(STANDIN), "--schema", str(schema), "--out", str(out))
            self.assertEqual(p.returncode, 0, p.stderr)
            self.assertTrue(out.is_file())
            # restore it as the installer does, moving the two logical files
            work = Path(d) / "check"
            work.mkdir()
            proc, host, port = rc.start_standin(STANDIN, work)
            try:
                session = rc.Tsql(host, port, "sa", rc.STANDIN_PASSWORD, work)
                lit = str(out).replace("'", "''")
                files = str(work).replace("'", "''")
                outcomes = session.run([
                    f"RESTORE DATABASE copy1 FROM DISK = N'{lit}' WITH FILE = 1, RECOVERY, "
                    f"REPLACE, MOVE 'qdzt_data' TO N'{files}/c.mdf', "
                    f"MOVE 'qdzt_log' TO N'{files}/c.ldf'",
                    "SELECT sys_var_id FROM copy1.dbo.t_sys_system",
                ])
            finally:
                proc.terminate()
                proc.wait()
                proc.stdout.close()
            self.assertEqual(outcomes[0].errors, [], outcomes[0].messages)
            self.assertEqual(outcomes[1].lines[1:], ["x"])

    def test_checks_refuse_a_template_that_is_missing_or_not_a_backup(self):
        with tempfile.TemporaryDirectory() as d:
            missing = Path(d) / "none.dat"
            junk = Path(d) / "junk.dat"
            junk.write_bytes(b"not a backup\n" * 100)
            for template, code, message in [
                (missing, 2, f"no template backup at {missing}"),
                (junk, 1, "tables.case: errors ["),
            ]:
                with self.subTest(template=template.name):
                    argv = [sys.executable, str(HERE / "run_checks.py"), "--standin",
                            str(STANDIN), "--no-sample", "--template", str(template),
                            str(HERE / "test_sql" / "tables.case")]
                    p = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                       text=True, timeout=300)
                    self.assertEqual(p.returncode, code, p.stdout)
                    self.assertIn(message, p.stdout)

    def test_missing_programs_and_files_are_named(self):
        with tempfile.TemporaryDirectory() as d:
            out = Path(d) / "qdzt.dat"
            p = self.build("--standin", str(Path(d) / "nothing"), "--out", str(out))
            self.assertEqual(p.returncode, 2)
            self.assertIn(f"no sqlstandin program at {Path(d) / 'nothing'}", p.stderr)
            p = self.build("--standin", str(STANDIN), "--schema", str(Path(d) / "none.sql"),
                           "--out", str(out))
            self.assertEqual(p.returncode, 2)
            self.assertIn("cannot read the schema", p.stderr)
            self.assertFalse(out.exists())


class DemoRun:
    def __init__(self, p):
        self.code, self.out, self.err = p.returncode, p.stdout, p.stderr

    def __str__(self):
        return f"exit {self.code}\n--- stdout\n{self.out}\n--- stderr\n{self.err}"


class DemoData(unittest.TestCase):
    def make(self, out, rows):
        p = subprocess.run([sys.executable, str(HERE / "make_demo_data.py"), "--out", str(out),
                            "--rows", str(rows), "--quiet"], stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, text=True, timeout=600)
        self.assertEqual(p.returncode, 0, p.stderr)
        return p.stdout

    def test_the_same_files_every_time_and_more_rows_where_the_size_says(self):
        with tempfile.TemporaryDirectory() as d:
            a, b, big = Path(d) / "a", Path(d) / "b", Path(d) / "big"
            said = self.make(a, 10000)
            self.make(b, 10000)
            self.make(big, 60000)
            names = sorted(f.name for f in a.iterdir())
            self.assertEqual(names, sorted(f"{t}.txt" for _, t in rc_catalogue()))
            for name in names:
                self.assertEqual((a / name).read_bytes(), (b / name).read_bytes(), name)

            def lines(directory, table):
                return (directory / f"{table}.txt").read_bytes().count(b"\r\n")

            total = sum(lines(a, t) for _, t in rc_catalogue())
            self.assertIn(f"make_demo_data: {total:,} rows in 63 files", said)
            # master data stays, the flows, vouchers and open orders grow
            self.assertEqual(lines(a, "cybr_bt_dish"), lines(big, "cybr_bt_dish"))
            self.assertGreater(lines(a, "cybr_bt_dish"), 300)
            for table in ("t_st_material_io_flow", "t_st_voucher_detail", "cybr_u_tmp_orderdish"):
                self.assertGreater(lines(big, table), 4 * lines(a, table), table)
            self.assertGreater(sum(lines(big, t) for _, t in rc_catalogue()), 55000)
            # the files' layout: GBK, CRLF, quotes only where the import needs them
            company = (a / "cybr_sys_company.txt").read_bytes().decode("gbk")
            self.assertTrue(company.endswith("\r\n"))
            self.assertIn('\t"""味之源""连锁第一店，2003年开业"\r\n', company)

    def test_refuses_a_size_too_small(self):
        p = subprocess.run([sys.executable, str(HERE / "make_demo_data.py"), "--out", "x",
                            "--rows", "50"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           text=True, timeout=60)
        self.assertEqual(p.returncode, 2)
        self.assertIn("--rows must be at least 10000", p.stderr)


def rc_catalogue():
    import make_sample
    return make_sample.CATALOGUE


@unittest.skipUnless(STANDIN.is_file() and DBSETUP.is_file() and LAUNCHER.is_file() and HAVE_TOOLS,
                     "sqlstandin, dbsetup or hostrt-run not built, or no tsql")
class DemoScript(unittest.TestCase):
    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="demo-test-"))
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        self.demo_dir = self.work / "build" / "demo"  # does not exist yet
        self.port = free_port()

    def demo(self, *args, **env):
        full = dict(os.environ, DEMO_DIR=str(self.demo_dir), DEMO_PORT=str(self.port),
                    DEMO_SKIP_BOOTSTRAP="1", DEMO_BUILD_DIR=str(BUILD))
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "DEMO_SA_PASSWORD", "HOSTRT_REGISTRY"):
            full.pop(name, None)
        full.update(env)
        p = subprocess.run(["bash", str(ROOT / "scripts" / "demo.sh"), *args], env=full,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                           timeout=600)
        return DemoRun(p)

    def summary(self, run):
        """The name: value lines of the summary the demo prints at the end."""
        tail = run.out.split("== installed\n", 1)
        self.assertEqual(len(tail), 2, run)
        return {m.group(1): m.group(2) for m in
                re.finditer(r"^([a-z][a-z ]*):\s+(.*)$", tail[1], re.M)}

    def loaded(self, run):
        """Rows per table read back from the server after the import."""
        tail = run.out.split("== what the database holds now (read back as qdzt)\n", 1)
        self.assertEqual(len(tail), 2, run)
        return {m.group(1): int(m.group(2).replace(",", ""))
                for m in re.finditer(r"(\w+) +([\d,]+)(?= |$)", tail[1].split("total:")[0], re.M)}

    def test_installs_from_a_clean_directory_and_replaces_the_database_when_run_again(self):
        first = self.demo("--rows", "10000")
        self.assertEqual(first.code, 0, first)
        info = self.summary(first)
        self.assertTrue(info["database"].startswith("qdzt (data file "), first)
        self.assertIn("  qdzt (default database qdzt, sysadmin)", first.out)
        self.assertEqual(info["login qdzt"], "connects, default database qdzt")
        self.assertEqual(info["tables"], "67 (4 triggers)")
        self.assertEqual(info["installation mode"], "0 (single store)")
        self.assertEqual(info["client alias"],
                         f"qdzt = DBMSSOCN,127.0.0.1,1433 (in {self.demo_dir}/registry.reg)")
        # the installer's log came through, and the files went where the registry points
        self.assertIn("安装新数据库成功！", first.out)
        self.assertNotIn("删除旧数据库及相关信息...", first.out)
        self.assertTrue((self.demo_dir / "mssql" / "data" / "qdzt_Data.MDF").is_file())
        self.assertTrue((self.demo_dir / "qdzt.dat").is_file())
        registry = (self.demo_dir / "registry.reg").read_text(encoding="utf-8")
        self.assertIn(f'"SQLDataRoot"="{self.demo_dir}/mssql"', registry)
        # the application's registry values, the data generated and loaded, every table full
        self.assertIn('"Database"="qdzt"', registry)
        self.assertIn('"system_Path"=', registry)
        data = self.demo_dir / "data"
        files = {f.stem: f.read_bytes().count(b"\r\n") for f in data.iterdir()}
        self.assertEqual(len(files), 63)
        self.assertEqual(self.loaded(first), files)
        self.assertGreater(min(files.values()), 0)
        self.assertRegex(first.out, r"导入完成：写入 63 张表，0 张表无文件未改动，共 [\d,]+ 行")
        total = sum(files.values())
        self.assertRegex(first.out, rf"total: +{total:,} rows in 63 tables, loaded in [\d.]+ s "
                                    r"\([\d,]+ rows/s\)")
        self.assertNotIn(date.today().strftime("%Y%m%d"), first.out + first.err)
        self.assertIn("快餐 Velmora快餐管理系统V5: 数据导入完成!\n", first.err)
        # the server is gone afterwards
        self.assertFalse(accepts_connections(self.port))
        self.assertFalse((self.demo_dir / "sqlstandin.pid").exists())

        second = self.demo("--mode", "2", "--rows", "10000")
        self.assertEqual(second.code, 0, second)
        self.assertIn("删除旧数据库及相关信息...", second.out)
        info = self.summary(second)
        self.assertEqual(info["installation mode"], "2 (chain branch)")
        self.assertEqual(info["tables"], "67 (4 triggers)")
        self.assertFalse(accepts_connections(self.port))

    def test_keep_running_leaves_a_server_that_stop_ends(self):
        self.addCleanup(self.demo, "--stop")
        run = self.demo("--keep-running", "--mode", "3")
        self.assertEqual(run.code, 0, run)
        self.assertGreater(sum(self.loaded(run).values()), 45000)
        # the import window opens on it straight away (a scripted operator closes it)
        window = re.search(r"^window:   HOSTRT_REGISTRY=(\S+) (\S+) import$", run.out, re.M)
        self.assertIsNotNone(window, run)
        xdg = self.work / "xdg"
        xdg.mkdir(mode=0o700)
        env = dict(os.environ, HOSTRT_REGISTRY=window.group(1), QT_QPA_PLATFORM="offscreen",
                   HOSTRT_INTERACTION="script", XDG_RUNTIME_DIR=str(xdg))
        p = subprocess.run([window.group(2), "import"], env=env, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, text=True, timeout=120)
        self.assertEqual((p.returncode, p.stdout, p.stderr), (0, "", ""))
        session = rc.Tsql("127.0.0.1", self.port, "qdzt", "kestrum", self.work)
        o = session.run(["select count(*) from cybr_u_tmp_master where substring(ch_billno, 2, 6)"
                         f" = '{date.today().strftime('%y%m%d')}'"])[0]
        self.assertEqual(o.errors, [])
        self.assertGreater(int(o.lines[1]), 0)
        self.assertIn(f"tsql -H 127.0.0.1 -p {self.port} -U qdzt -P kestrum", run.out)
        self.assertIn(f"stop it:  DEMO_DIR={self.demo_dir} ", run.out)
        self.assertRegex(run.out, r"demo\.sh --stop\n")

        session = rc.Tsql("127.0.0.1", self.port, "qdzt", "kestrum", self.work)
        o = session.run(["select sys_var_value from t_sys_system "
                         "where sys_var_id = 'Is_Distributed'"])[0]
        self.assertEqual((o.errors, o.lines[1:]), ([], ["3"]))

        again = self.demo()
        self.assertEqual(again.code, 1, again)
        self.assertIn("is still running", again.err)
        self.assertIn("scripts/demo.sh --stop", again.err)
        self.assertTrue(accepts_connections(self.port), "a refused run stopped the server")

        stop = self.demo("--stop")
        self.assertEqual(stop.code, 0, stop)
        self.assertIn("stopped the server", stop.out)
        self.assertFalse(accepts_connections(self.port))
        self.assertIn("no demo server is running", self.demo("--stop").out)

        # the server's data keeps the administrator password it was made with
        other = self.demo("--rows", "10000", DEMO_SA_PASSWORD="Another#Pass9")
        self.assertEqual(other.code, 1, other)
        self.assertIn("does not accept the administrator password", other.err)
        self.assertFalse(accepts_connections(self.port))

    def test_refuses_a_taken_port_before_starting_anything(self):
        with socket.socket() as listener:
            listener.bind(("127.0.0.1", self.port))
            listener.listen()
            run = self.demo()
        self.assertEqual(run.code, 1, run)
        self.assertIn(f"port {self.port} on 127.0.0.1 is taken", run.err)
        self.assertFalse((self.demo_dir / "server").exists())
        self.assertFalse((self.demo_dir / "qdzt.dat").exists())

    def test_bad_invocations_are_explained(self):
        cases = [
            (["--mode", "7"], {}, "the installation mode must be 0, 1, 2 or 3, not '7'"),
            (["--mode"], {}, "--mode needs a value"),
            (["--frobnicate"], {}, "unknown option '--frobnicate'"),
            (["--rows", "5"], {}, "--rows must be a number of rows, 10000 or more, not '5'"),
            (["--gui"], {}, "--gui needs a display"),
            ([], {"DEMO_PORT": "14x"}, "DEMO_PORT must be a port number, not '14x'"),
            ([], {"DEMO_BUILD_DIR": str(self.work / "none")},
             f"there is no build directory {self.work / 'none'}"),
        ]
        for args, env, message in cases:
            with self.subTest(args=args, env=env):
                run = self.demo(*args, **env)
                self.assertEqual(run.code, 1, run)
                self.assertIn(message, run.err)
        self.assertFalse(accepts_connections(self.port))


if __name__ == "__main__":
    unittest.main()
