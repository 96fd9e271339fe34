#!/usr/bin/env python3
"""Builds the template backup that the installer restores: database qdzt with the logical files
qdzt_data and qdzt_log, demo/schema.sql applied batch by batch, BACKUP DATABASE to one file.

A scratch sqlstandin is started on a free port with a data directory of its own and stopped
afterwards; it is reached through FreeTDS tsql. The backup is first written beside the target
under a temporary name and checked with RESTORE FILELISTONLY; only a complete, checked backup
replaces the target, so a failed build never leaves a half-written or stale-looking template.

Usage:
  build_template.py [--standin PATH] [--schema FILE] [--out FILE]
Exit status 0 when the template was written, 1 when the server rejected a statement or the
backup does not hold the two logical files, 2 when the server or tsql could not be used.
"""

import argparse
import os
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import make_sample  # noqa: E402  (batch splitter)
import run_checks  # noqa: E402  (tsql session, stand-in start-up)

DATABASE = "qdzt"
LOGICAL_FILES = ("qdzt_data", "qdzt_log")


def literal(text):
    """A T-SQL string literal holding `text`."""
    return "N'" + text.replace("'", "''") + "'"


def template_batches(schema_text, files_dir, backup):
    """The batches that make the database, fill it from the schema and back it up."""
    data = os.path.join(files_dir, f"{DATABASE}_data.mdf")
    log = os.path.join(files_dir, f"{DATABASE}_log.ldf")
    return [
        f"CREATE DATABASE {DATABASE} ON PRIMARY (NAME = {LOGICAL_FILES[0]}, FILENAME = "
        f"{literal(data)}) LOG ON (NAME = {LOGICAL_FILES[1]}, FILENAME = {literal(log)})",
        f"use {DATABASE}",
        *make_sample.split_batches(make_sample.strip_comments(schema_text)),
        "use master",
        f"BACKUP DATABASE {DATABASE} TO DISK = {literal(str(backup))} WITH INIT, "
        "NAME = N'qdzt template'",
        f"RESTORE FILELISTONLY FROM DISK = {literal(str(backup))}",
    ]


def logical_names(outcome):
    """The LogicalName column of a RESTORE FILELISTONLY result as tsql printed it."""
    if not outcome.lines:
        return []
    heading = outcome.lines[0].split("\t")
    if "LogicalName" not in heading:
        return []
    at = heading.index("LogicalName")
    return [line.split("\t")[at] for line in outcome.lines[1:] if len(line.split("\t")) > at]


def build(session, schema_text, files_dir, out, err=sys.stderr):
    """Runs the batches in `session` and moves the checked backup to `out`. Returns True when
    `out` holds the new template."""
    out = Path(out).resolve()
    out.parent.mkdir(parents=True, exist_ok=True)
    partial = out.with_name(out.name + ".partial")
    partial.unlink(missing_ok=True)
    batches = template_batches(schema_text, files_dir, partial)
    try:
        outcomes = session.run(batches)
        for n, (sql, o) in enumerate(zip(batches, outcomes)):
            if o.errors:
                detail = "\n".join(f"  Msg {e}: {t}" for e, t in zip(o.errors, o.messages))
                print(f"build_template: batch {n + 1} of {len(batches)} failed:\n{detail}\n"
                      f"in:\n{sql[:300]}", file=err)
                return False
        names = logical_names(outcomes[-1])
        if sorted(names) != sorted(LOGICAL_FILES):
            print(f"build_template: the backup holds the logical files {names}, expected "
                  f"{list(LOGICAL_FILES)}", file=err)
            return False
        os.replace(partial, out)
        return True
    finally:
        partial.unlink(missing_ok=True)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--standin", type=Path,
                        default=HERE.parent / "build" / "bin" / "sqlstandin")
    parser.add_argument("--schema", type=Path, default=HERE / "schema.sql")
    parser.add_argument("--out", type=Path,
                        default=HERE.parent / "build" / "demo" / "qdzt.dat")
    args = parser.parse_args(argv)
    if not args.standin.is_file():
        print(f"build_template: no sqlstandin program at {args.standin} (build it first: "
              "cmake --build build --target sqlstandin)", file=sys.stderr)
        return 2
    try:
        schema_text = args.schema.read_text(encoding="utf-8")
    except (OSError, UnicodeError) as e:
        print(f"build_template: cannot read the schema {args.schema}: {e}", file=sys.stderr)
        return 2
    with tempfile.TemporaryDirectory(prefix="build_template-") as work:
        proc = None
        try:
            proc, host, port = run_checks.start_standin(args.standin, work)
            session = run_checks.Tsql(host, port, "sa", run_checks.STANDIN_PASSWORD, work)
            files = Path(work) / "files"
            files.mkdir()
            ok = build(session, schema_text, str(files), args.out)
        except (RuntimeError, OSError, run_checks.subprocess.SubprocessError) as e:
            print(f"build_template: {e}", file=sys.stderr)
            return 2
        finally:
            if proc:
                proc.terminate()
                proc.wait()
                proc.stdout.close()
    if not ok:
        return 1
    print(f"build_template: wrote {args.out.resolve()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
