#!/usr/bin/env python3
"""Runs the check files of demo/test_sql/ against a live server through FreeTDS tsql.

A template database is made the way a real installation's template is made: CREATE DATABASE
with the logical files qdzt_data and qdzt_log, schema.sql batch by batch, BACKUP DATABASE. Each
check file then gets its own copy, restored from that backup with MOVE of the two logical files
(as the installer restores it), and its batches run in one session in that copy. Another copy
takes the files of demo/sample/ through freebcp and then the re-dating updates. The databases
made here are dropped at the end.

By default a fresh sqlstandin is started on a free port with a scratch data directory and
stopped afterwards. With --host the files run against that server instead, for example a real
SQL Server; --server-dir then names a directory on the server machine for the database files.

Usage:
  run_checks.py [--standin PATH] [--template FILE] [--no-sample] [CASE ...]
  run_checks.py --host H [--port N] --user U --password P --server-dir DIR [CASE ...]
Without CASE arguments every demo/test_sql/*.case runs. Exit status 0 when all pass.
With --template the copies are restored from that backup (for example the one build_template.py
wrote) instead of one made here; against a remote server it is a path on the server machine.

The case format is that of the stand-in's behaviour tests (see the head of tables.case). Only
what our files use is read: '#' comments, GO, "-- expect error N", "-- expect rows" ... "-- end".
A batch with expected rows must return one result set.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import make_sample  # noqa: E402  (schema reader)

STANDIN_PASSWORD = "Check#2006"


class Batch:
    def __init__(self, line, sql):
        self.line = line
        self.sql = sql
        self.errors = []  # expected error numbers
        self.rows = None  # expected rows of the result set, lists of text (None for NULL)


class CaseError(Exception):
    pass


def read_case(path):
    """Batches of a case file with what each must give."""
    batches, sql, start, rows = [], [], 0, None
    for n, raw in enumerate(Path(path).read_text(encoding="utf-8").splitlines(), start=1):
        t = raw.strip()
        if rows is not None:
            if t == "-- end":
                rows = None
            else:
                rows.append([None if c == "NULL" else c for c in raw.split("\t")])
            continue
        if not sql and (not t or t.startswith("#")):
            continue
        if t.lower() == "go":
            if not "".join(sql).strip():
                raise CaseError(f"{path}:{n}: GO without statements")
            batches.append(Batch(start, "\n".join(sql)))
            sql = []
            continue
        m = re.match(r"--\s+expect\s+(\w+)\s*(\d*)$", t)
        if m:
            if sql or not batches:
                raise CaseError(f"{path}:{n}: expectation without a batch just before it")
            if m.group(1) == "error" and m.group(2):
                batches[-1].errors.append(int(m.group(2)))
            elif m.group(1) == "rows" and not m.group(2):
                batches[-1].rows = rows = []
            else:
                raise CaseError(f"{path}:{n}: expectation not handled here: {t}")
            continue
        if re.match(r"--\s+(session|autocommit|commit|rollback|end)\b", t):
            raise CaseError(f"{path}:{n}: directive not handled here: {t}")
        if not sql:
            start = n
        sql.append(raw)
    if rows is not None:
        raise CaseError(f"{path}: rows block without -- end")
    if "".join(sql).strip():
        raise CaseError(f"{path}: statements at the end without GO")
    return batches


class Outcome:
    def __init__(self, errors, lines, messages=()):
        self.errors = errors  # server error numbers (severity above 10)
        self.lines = lines  # result lines: a heading line, then one line per row
        self.messages = list(messages)  # the texts of those errors


class Tsql:
    """One tsql session per run() call; batches are told apart by marker queries."""

    def __init__(self, host, port, user, password, workdir):
        self.argv = ["tsql", "-H", host, "-p", str(port), "-U", user, "-P", password, "-o", "q"]
        self.user, self.password = user, password
        self.env = {}
        # tsql talks UTF-8 (our scripts); freebcp reads the GBK sample files
        for charset in ("UTF-8", "GB18030"):
            conf = Path(workdir) / f"freetds-{charset}.conf"
            conf.write_text(f"[global]\n\ttds version = 7.4\n\tclient charset = {charset}\n"
                            f"\tencryption = off\n[target]\n\thost = {host}\n\tport = {port}\n",
                            encoding="utf-8")
            self.env[charset] = dict(os.environ, FREETDSCONF=str(conf), TDSVER="7.4")

    def bulk_in(self, table, path, keep_identity):
        """Loads a tab-separated, CRLF, GBK file with freebcp; returns (ok, output)."""
        argv = ["freebcp", table, "in", str(path), "-S", "target", "-U", self.user,
                "-P", self.password, "-c", "-t", "\t", "-r", "\r\n"]
        if keep_identity:
            argv.append("-E")
        p = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                           env=self.env["GB18030"], timeout=600)
        return p.returncode == 0 and "rows copied" in p.stdout, p.stdout

    def run(self, batches):
        text = "".join(f"{b}\ngo\nselect 'MARK{i}' as mark\ngo\n" for i, b in enumerate(batches))
        # errors go to stderr and results to stdout: unbuffered into one pipe they keep order
        argv = (["stdbuf", "-o0", "-e0"] if shutil.which("stdbuf") else []) + self.argv
        p = subprocess.run(argv, input=text + "exit\n", stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, text=True, env=self.env["UTF-8"],
                           timeout=600)
        outcomes, current = [], []
        for line in p.stdout.splitlines():
            if line == f"MARK{len(outcomes)}":
                if current and current[-1] == "mark":
                    current.pop()
                outcomes.append(self._outcome(current))
                current = []
            else:
                current.append(line)
        if len(outcomes) != len(batches):
            raise RuntimeError(f"tsql ended after {len(outcomes)} of {len(batches)} batches:\n"
                               + "\n".join(p.stdout.splitlines()[-10:]))
        return outcomes

    @staticmethod
    def _outcome(lines):
        errors, messages, rest, i = [], [], [], 0
        while i < len(lines):
            m = re.match(r"^Msg (\d+) \(severity (\d+)", lines[i])
            if m:
                if int(m.group(2)) > 10:
                    errors.append(int(m.group(1)))
                    if i + 1 < len(lines):
                        messages.append(lines[i + 1].strip())
                i += 2  # the message text follows on one line
                continue
            rest.append(lines[i])
            i += 1
        return Outcome(errors, rest, messages)


def compare(batch, outcome):
    """Differences between what a batch must give and what it gave, as texts."""
    problems = []
    if sorted(outcome.errors) != sorted(batch.errors):
        problems.append(f"errors {outcome.errors}, expected {batch.errors}")
    if batch.rows is not None:
        got = [line.split("\t") for line in outcome.lines[1:]]
        want = [["NULL" if c is None else c for c in row] for row in batch.rows]
        if got != want:
            problems.append(f"rows {got}, expected {want}")
    return problems


def run(session, server_dir, cases, sample=True, out=None, template=None):
    """Makes the template (or takes the backup `template`), loads the sample data into one
    restored copy and runs every case file in another. Returns the number of failures."""
    out = out or sys.stdout
    sep = "\\" if "\\" in server_dir else "/"
    path = lambda name: f"{server_dir.rstrip(sep)}{sep}{name}"  # noqa: E731
    backup = (template or path("qdzt_check.dat")).replace("'", "''")  # inside a literal
    schema = make_sample.load_schema()
    setup = [
        "CREATE DATABASE qdzt_check ON PRIMARY (NAME = qdzt_data, FILENAME = "
        f"'{path('qdzt_check.mdf')}') LOG ON (NAME = qdzt_log, FILENAME = "
        f"'{path('qdzt_check.ldf')}')",
        "use qdzt_check",
        *schema.batches,
        "use master",
        f"BACKUP DATABASE qdzt_check TO DISK = '{path('qdzt_check.dat')}' WITH INIT",
        "DROP DATABASE qdzt_check",
    ]
    failures = 0
    for sql, o in zip(setup, session.run(setup) if not template else []):
        if o.errors:
            failures += 1
            print(f"template: errors {o.errors} in\n{sql[:200]}\n{o.lines[:4]}", file=out)
    if failures:
        return failures
    if sample:
        failures += load_sample(session, backup, path, out)
    for case in cases:
        name = re.sub(r"\W", "_", Path(case).stem)
        db = f"qdzt_check_{name}"
        batches = read_case(case)
        before = [
            f"RESTORE DATABASE {db} FROM DISK = '{backup}' WITH FILE = 1, "
            f"RECOVERY, REPLACE, MOVE 'qdzt_data' TO '{path(db + '.mdf')}', "
            f"MOVE 'qdzt_log' TO '{path(db + '.ldf')}'",
            f"use {db}",
        ]
        after = ["use master", f"DROP DATABASE {db}"]
        outcomes = session.run(before + [b.sql for b in batches] + after)
        failed = 0
        for sql, o in zip(before, outcomes[: len(before)]):
            if o.errors:
                failed += 1
                print(f"{Path(case).name}: errors {o.errors} in {sql}", file=out)
        if not failed:
            for b, o in zip(batches, outcomes[len(before) :]):
                problems = compare(b, o)
                if problems:
                    failed += 1
                    print(f"{Path(case).name}:{b.line}: " + "; ".join(problems), file=out)
        print(f"{Path(case).name}: {len(batches)} batches, {failed} failed", file=out)
        failures += failed
    return failures


def load_sample(session, backup, path, out):
    """Loads every sample file into a restored copy of the template with freebcp, as
    character data (an empty field is NULL), identity values kept; then the re-dating updates
    run on it. Returns the number of failures."""
    schema = make_sample.load_schema()
    db = "qdzt_check_sample"
    failed = 0
    restore = [
        f"RESTORE DATABASE {db} FROM DISK = '{backup}' WITH FILE = 1, "
        f"RECOVERY, REPLACE, MOVE 'qdzt_data' TO '{path(db + '.mdf')}', "
        f"MOVE 'qdzt_log' TO '{path(db + '.ldf')}'"
    ]
    if session.run(restore)[0].errors:
        print("sample: the template could not be restored", file=out)
        return 1
    counts = []
    for _, name in make_sample.CATALOGUE:
        file = HERE / "sample" / f"{name}.txt"
        lines = file.read_bytes().count(b"\r\n")
        identity = any(c.identity for c in schema.tables[name].columns)
        ok, text = session.bulk_in(f"{db}.dbo.{name}", file, identity)
        if not ok:
            failed += 1
            print(f"sample: {name}.txt does not load:\n{text.strip()[-400:]}", file=out)
        counts.append((name, lines))
    redate = [b.sql for b in read_case(HERE / "test_sql" / "redate.case")
              if re.match(r"\s*update\s", b.sql, re.I)]
    checks = [f"use {db}"] + [f"SELECT count(*) FROM {n}" for n, _ in counts] + redate
    checks += ["use master", f"DROP DATABASE {db}"]
    outcomes = session.run(checks)
    for (name, lines), o in zip(counts, outcomes[1:]):
        if o.errors or o.lines[1:] != [str(lines)]:
            failed += 1
            print(f"sample: {name} holds {o.lines[1:]} rows, its file {lines}", file=out)
    for sql, o in zip(redate, outcomes[1 + len(counts) :]):
        if o.errors:
            failed += 1
            print(f"sample: errors {o.errors} in {sql}", file=out)
    print(f"sample: {len(counts)} files, {failed} failed", file=out)
    return failed


def start_standin(binary, workdir):
    # The password goes in the environment, not on the command line that every user can see.
    proc = subprocess.Popen(
        [str(binary), "--port", "0", "--data-dir", str(Path(workdir) / "data")],
        stdout=subprocess.PIPE, text=True,
        env=dict(os.environ, SQLSTANDIN_SA_PASSWORD=STANDIN_PASSWORD))
    line = proc.stdout.readline()
    m = re.match(r"listening on ([\d.]+):(\d+)", line)
    if not m:
        proc.kill()
        proc.wait()
        raise RuntimeError(f"sqlstandin did not start: {line!r}")
    return proc, m.group(1), int(m.group(2))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cases", nargs="*", type=Path)
    parser.add_argument("--standin", type=Path,
                        default=HERE.parent / "build" / "bin" / "sqlstandin")
    parser.add_argument("--host")
    parser.add_argument("--port", type=int, default=1433)
    parser.add_argument("--user", default="sa")
    parser.add_argument("--password", default="")
    parser.add_argument("--server-dir")
    parser.add_argument("--no-sample", action="store_true", help="skip loading demo/sample/")
    parser.add_argument("--template", help="restore the copies from this backup file")
    args = parser.parse_args(argv)
    cases = args.cases or sorted((HERE / "test_sql").glob("*.case"))
    if args.host and not args.server_dir:
        parser.error("--server-dir is needed with --host")
    with tempfile.TemporaryDirectory(prefix="run_checks-") as work:
        proc = None
        try:
            if args.host:
                session = Tsql(args.host, args.port, args.user, args.password, work)
                server_dir = args.server_dir
            else:
                proc, host, port = start_standin(args.standin, work)
                session = Tsql(host, port, "sa", STANDIN_PASSWORD, work)
                server_dir = str(Path(work) / "files")
                Path(server_dir).mkdir()
            template = args.template
            if template and not args.host:
                if not Path(template).is_file():
                    raise RuntimeError(f"no template backup at {template}")
                template = str(Path(template).resolve())
            failures = run(session, server_dir, cases, sample=not args.no_sample,
                           template=template)
        except (CaseError, RuntimeError, OSError, subprocess.SubprocessError) as e:
            print(f"run_checks: {e}", file=sys.stderr)
            return 2
        finally:
            if proc:
                proc.terminate()
                proc.wait()
    print("run_checks: all passed" if not failures else f"run_checks: {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
