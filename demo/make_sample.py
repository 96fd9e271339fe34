#!/usr/bin/env python3
"""Writes the demonstration data of the template database into demo/sample/.

One file per catalogue table, named <table>.txt: code page 936 (GBK), CRLF line ends, no heading
line, one line per row, the values tab-separated in the column order of demo/schema.sql. How a
single value is written (NULL, decimals, dates) is decided in format_value() alone, so the files
can be regenerated when the data-store layer fixes its text format.

Before anything is written every row is checked against the schema: known columns, NOT NULL,
lengths in GBK bytes, char codes filling their column, number ranges, decimal scale, primary
keys and UNIQUE constraints, bill and payment numbers of the open front-desk records, and the
references between tables that the demonstration relies on (the database itself declares no
foreign keys).

It also writes the check file test_sql/keys.case, which inserts the first row of each table
twice and expects the second insert to fail on the primary key.

Usage:
  make_sample.py              write the files into demo/sample/ and demo/test_sql/keys.case
  make_sample.py --out DIR    write the sample files into DIR
  make_sample.py --keys FILE  write the key checks into FILE
  make_sample.py --check      write nothing; exit 1 when a file differs from what it would be
"""

import argparse
import datetime as dt
import re
import sys
from decimal import Decimal
from pathlib import Path

HERE = Path(__file__).resolve().parent
SCHEMA = HERE / "schema.sql"

# The tables the base-data tool works on, in the order it processes them, with their labels.
CATALOGUE = [
    ("菜品大类", "cybr_bt_dish_series"),
    ("菜品小类", "cybr_bt_dish_type"),
    ("菜品单位", "cybr_bt_dish_unit"),
    ("菜品资料", "cybr_bt_dish"),
    ("菜品规格资料", "cybr_bt_dish_spec"),
    ("套菜明细设置", "cybr_bt_dish_suit"),
    ("套菜可替换菜品设置", "cybr_bt_suit_change"),
    ("菜品特价设置", "cybr_bt_dish_special"),
    ("菜品买赠设置", "cybr_bt_dish_present"),
    ("菜品优惠券设置", "cybr_bt_dish_favourable"),
    ("折扣方案", "cybr_bt_project"),
    ("折扣方案明细设置", "cybr_bt_project_detail"),
    ("餐桌区域设置", "cybr_bt_table_area"),
    ("餐桌类型设置", "cybr_bt_table_type"),
    ("餐桌资料", "cybr_bt_table"),
    ("市别资料", "cybr_bt_bustype"),
    ("顾客年龄段设置", "cybr_bt_custage"),
    ("操作原因资料", "cybr_bt_reason"),
    ("付款方式表", "cybr_bt_paymode"),
    ("公司信息", "cybr_sys_company"),
    ("行政部门资料", "cybr_sys_dept"),
    ("员工资料", "cybr_sys_emp"),
    ("操作员资料", "cybr_sys_operator"),
    ("员工其他资料", "cybr_sys_emp_other"),
    ("做法类型资料", "cybr_cp_memo_type"),
    ("做法资料", "cybr_cp_memo"),
    ("菜品做法关联资料", "cybr_cp_dish_memo"),
    ("厨打方案资料", "cybr_cp_project"),
    ("区域厨打方案", "cybr_cp_area"),
    ("区域厨打方案明细设置", "cybr_cp_area_detail"),
    ("菜品厨打设置", "cybr_cp_dish_print"),
    ("原料大类", "t_stbr_material_series"),
    ("原料小类", "t_stbr_material_type"),
    ("原料单位", "t_stbr_material_unit"),
    ("原料资料", "t_stbr_material"),
    ("菜品配料", "t_stbr_dish_material"),
    ("半成品配料", "t_stbr_material_half"),
    ("仓库资料", "t_sys_dept"),
    ("供应商类别", "t_st_provider_type"),
    ("供应商资料", "t_st_provider"),
    ("会员类型", "t_m_member_type"),
    ("会员资料", "t_m_member"),
    ("点菜临时记录", "cybr_u_tmp_orderdish"),
    ("点菜做法临时记录", "cybr_u_tmp_orderdish_memo"),
    ("餐桌开台临时记录", "cybr_u_tmp_table"),
    ("开单临时主表", "cybr_u_tmp_master"),
    ("结算临时主表", "cybr_u_tmp_checkout_master"),
    ("结算临时明细表", "cybr_u_tmp_checkout_detail"),
    ("点菜删除表", "cybr_u_orderdish_delete"),
    ("点菜特殊操作记录", "cybr_u_orderdish_log"),
    ("外卖临时记录", "cybr_u_tmp_togo"),
    ("原料出入库流水", "t_st_material_io_flow"),
    ("部门原料库存表", "t_st_material_num"),
    ("盘点单主表", "t_st_pd_master"),
    ("盘点单明细", "t_st_pd_detail"),
    ("原料当前库存价格表", "t_st_material_price"),
    ("原料历史调价日志", "t_st_material_price_log"),
    ("供应商结算", "t_st_provider_balance"),
    ("采购申请主表", "t_st_stock_master"),
    ("采购申请明细", "t_st_stock_detail"),
    ("采购历史调价", "t_st_stock_price"),
    ("库存单据主表", "t_st_voucher_master"),
    ("库存单据明细", "t_st_voucher_detail"),
]

# Business day of the open front-desk records; the import moves them to the current day.
BUSINESS_DAY = dt.date(2006, 12, 8)
# Value of a "DEFAULT getdate()" column that a row leaves out.
DEFAULT_TIME = dt.datetime(2006, 12, 8, 9, 0, 0)

# Bill and payment numbers: a letter, the business date as yymmdd, a four-digit serial.
NUMBER_RE = re.compile(r"^[A-Z](\d{6})\d{4}$")

# ---------------------------------------------------------------------------------------------
# Schema reading
# ---------------------------------------------------------------------------------------------


class Column:
    def __init__(self, name, type_name, args, nullable, identity, default):
        self.name = name
        self.type = type_name  # lower case: varchar, decimal, int, ...
        self.args = args  # (length,) or (precision, scale) or ()
        self.nullable = nullable
        self.identity = identity
        self.default = default  # raw default expression text or None

    def __repr__(self):
        return f"Column({self.name} {self.type}{self.args})"


class Table:
    def __init__(self, name):
        self.name = name
        self.columns = []
        self.primary_key = []
        self.uniques = []

    def column(self, name):
        for c in self.columns:
            if c.name == name:
                return c
        return None


class Trigger:
    def __init__(self, name, table, events, body):
        self.name = name
        self.table = table
        self.events = events  # ["insert", "update"]
        self.body = body


class Schema:
    def __init__(self):
        self.tables = {}  # name -> Table, in script order
        self.triggers = []
        self.indexes = []  # (name, table, [columns])
        self.batches = []  # the script's batches, comments removed


def strip_comments(sql):
    """Removes -- comments outside string literals."""
    out = []
    for line in sql.splitlines():
        in_str = False
        cut = len(line)
        i = 0
        while i < len(line):
            ch = line[i]
            if ch == "'":
                in_str = not in_str
            elif not in_str and line.startswith("--", i):
                cut = i
                break
            i += 1
        out.append(line[:cut].rstrip())
    return "\n".join(out)


def split_batches(sql):
    """Splits a script at lines holding only GO."""
    batches, current = [], []
    for line in sql.splitlines():
        if line.strip().upper() == "GO":
            batches.append("\n".join(current))
            current = []
        else:
            current.append(line)
    batches.append("\n".join(current))
    return [b.strip() for b in batches if b.strip()]


def split_top_level(text, sep=","):
    parts, depth, current, in_str = [], 0, [], False
    for ch in text:
        if ch == "'":
            in_str = not in_str
        if not in_str:
            if ch == "(":
                depth += 1
            elif ch == ")":
                depth -= 1
            elif ch == sep and depth == 0:
                parts.append("".join(current).strip())
                current = []
                continue
        current.append(ch)
    if "".join(current).strip():
        parts.append("".join(current).strip())
    return parts


def matching_paren(text, start):
    depth, in_str = 0, False
    for i in range(start, len(text)):
        ch = text[i]
        if ch == "'":
            in_str = not in_str
        elif not in_str and ch == "(":
            depth += 1
        elif not in_str and ch == ")":
            depth -= 1
            if depth == 0:
                return i
    raise ValueError("unbalanced parentheses")


COLUMN_RE = re.compile(r"^(\w+)\s+(\w+)\s*(\(([^)]*)\))?\s*(.*)$", re.S)


def parse_column(item):
    m = COLUMN_RE.match(item)
    if not m:
        raise ValueError(f"cannot read column definition: {item}")
    name, type_name, _, args, rest = m.groups()
    args = tuple(int(a) for a in args.split(",")) if args else ()
    rest_u = rest.upper()
    identity = bool(re.search(r"\bIDENTITY\s*\(\s*1\s*,\s*1\s*\)", rest_u))
    if re.search(r"\bNOT\s+NULL\b", rest_u):
        nullable = False
    elif re.search(r"\bNULL\b", rest_u):
        nullable = True
    else:
        raise ValueError(f"column {name}: NULL or NOT NULL must be written out")
    default = None
    dm = re.search(r"\bDEFAULT\s+(.+)$", rest, re.I | re.S)
    if dm:
        default = dm.group(1).strip()
    return Column(name, type_name.lower(), args, nullable, identity, default)


def parse_schema(text):
    schema = Schema()
    for batch in split_batches(strip_comments(text)):
        schema.batches.append(batch)
        m = re.match(r"CREATE\s+TABLE\s+(\w+)\s*\(", batch, re.I)
        if m:
            table = Table(m.group(1))
            open_at = batch.index("(", m.start())
            body = batch[open_at + 1 : matching_paren(batch, open_at)]
            for item in split_top_level(body):
                cm = re.match(
                    r"CONSTRAINT\s+\w+\s+(PRIMARY\s+KEY|UNIQUE)\s*\(([^)]*)\)", item, re.I
                )
                if cm:
                    cols = [c.strip() for c in cm.group(2).split(",")]
                    if cm.group(1).upper().startswith("PRIMARY"):
                        table.primary_key = cols
                    else:
                        table.uniques.append(cols)
                elif re.match(r"(CONSTRAINT|PRIMARY|UNIQUE|FOREIGN)\b", item, re.I):
                    raise ValueError(f"{table.name}: unsupported constraint form: {item}")
                else:
                    table.columns.append(parse_column(item))
            schema.tables[table.name] = table
            for idx in re.finditer(
                r"CREATE\s+INDEX\s+(\w+)\s+ON\s+(\w+)\s*\(([^)]*)\)", batch, re.I
            ):
                cols = [c.strip() for c in idx.group(3).split(",")]
                schema.indexes.append((idx.group(1), idx.group(2), cols))
            continue
        m = re.match(r"CREATE\s+INDEX\s+(\w+)\s+ON\s+(\w+)\s*\(([^)]*)\)", batch, re.I)
        if m:
            cols = [c.strip() for c in m.group(3).split(",")]
            schema.indexes.append((m.group(1), m.group(2), cols))
            continue
        m = re.match(
            r"CREATE\s+TRIGGER\s+(\w+)\s+ON\s+(\w+)\s+FOR\s+([\w\s,]+?)\s+AS\s+(.*)$",
            batch,
            re.I | re.S,
        )
        if m:
            events = [e.strip().lower() for e in m.group(3).split(",")]
            schema.triggers.append(Trigger(m.group(1), m.group(2), events, m.group(4).strip()))
    return schema


def load_schema():
    return parse_schema(SCHEMA.read_text(encoding="utf-8"))


# ---------------------------------------------------------------------------------------------
# Values
# ---------------------------------------------------------------------------------------------

INT_RANGES = {
    "tinyint": (0, 255),
    "smallint": (-(2**15), 2**15 - 1),
    "int": (-(2**31), 2**31 - 1),
    "bigint": (-(2**63), 2**63 - 1),
    "bit": (0, 1),
}


def gbk_len(text):
    return len(text.encode("gbk"))


def coerce(column, value):
    """Turns a value written in the data below into the Python type of its column and checks
    that the column can hold it. Raises ValueError with the reason."""
    if value is None:
        if not column.nullable:
            raise ValueError("NULL in a NOT NULL column")
        return None
    t = column.type
    if t in ("char", "varchar", "text"):
        if not isinstance(value, str):
            raise ValueError(f"text expected, got {value!r}")
        try:
            size = gbk_len(value)
        except UnicodeEncodeError:
            raise ValueError(f"{value!r} has characters outside GBK")
        if t != "text" and size > column.args[0]:
            raise ValueError(f"{value!r} is {size} bytes, column holds {column.args[0]}")
        # The server pads char values with blanks; full-width codes keep the exported text
        # identical to the data written here.
        if t == "char" and size != column.args[0]:
            raise ValueError(f"{value!r} does not fill char({column.args[0]})")
        if any(ch in value for ch in "\t\r\n"):
            raise ValueError(f"{value!r} holds a tab or line break")
        return value
    if t in INT_RANGES:
        if not isinstance(value, int) or isinstance(value, bool):
            raise ValueError(f"integer expected, got {value!r}")
        lo, hi = INT_RANGES[t]
        if not lo <= value <= hi:
            raise ValueError(f"{value} is out of range for {t}")
        return value
    if t in ("decimal", "numeric", "money"):
        if isinstance(value, float):
            raise ValueError(f"write decimals as text or Decimal, not float: {value!r}")
        d = Decimal(str(value))
        precision, scale = column.args if t != "money" else (19, 4)
        exponent = d.as_tuple().exponent
        if -exponent > scale:
            raise ValueError(f"{value} has more than {scale} decimal places")
        q = d.quantize(Decimal(1).scaleb(-scale))
        if len(q.as_tuple().digits) > precision:
            raise ValueError(f"{value} needs more than {precision} digits")
        return q
    if t in ("datetime", "smalldatetime"):
        if isinstance(value, str):
            value = dt.datetime.fromisoformat(value)
        elif isinstance(value, dt.date) and not isinstance(value, dt.datetime):
            value = dt.datetime(value.year, value.month, value.day)
        if not isinstance(value, dt.datetime):
            raise ValueError(f"date and time expected, got {value!r}")
        if not 1753 <= value.year <= 9999:
            raise ValueError(f"{value} is outside the datetime range")
        return value
    raise ValueError(f"column type {t} is not handled by the sample writer")


def default_value(column):
    """The value a row gets for a column it leaves out (identity columns are numbered apart)."""
    if column.default is None:
        if column.nullable:
            return None
        raise ValueError("NOT NULL column without default left out")
    text = column.default.strip()
    if text.lower() == "getdate()":
        return DEFAULT_TIME
    if text.startswith("'") and text.endswith("'"):
        return text[1:-1].replace("''", "'")
    if re.fullmatch(r"-?\d+", text) and column.type in INT_RANGES:
        return int(text)
    if re.fullmatch(r"-?\d+(\.\d+)?", text):
        return Decimal(text)
    raise ValueError(f"default {text} is not understood by the sample writer")


def format_value(column, value):
    """Text of one value in a sample file."""
    if value is None:
        return ""
    if isinstance(value, dt.datetime):
        text = value.strftime("%Y-%m-%d %H:%M:%S")
        if value.microsecond:
            text += ".%03d" % (value.microsecond // 1000)
        return text
    text = str(value)
    # The data files' quoting: an empty string, or a value that starts with a quote or holds a
    # TAB or a line break, is written in double quotes with inner quotes doubled; an empty
    # field means NULL.
    if text == "" or text.startswith('"') or any(c in text for c in "\t\r\n"):
        return '"' + text.replace('"', '""') + '"'
    return text


# ---------------------------------------------------------------------------------------------
# Scrambled operator passwords, as the product keeps them
# ---------------------------------------------------------------------------------------------


def scramble(text):
    """Keyless, position-dependent shift of the bytes of the reversed text."""
    data = text.strip(" ").encode("gbk")[::-1]
    n = len(data)
    return bytes((b + 2 * (n - i - 2)) % 256 for i, b in enumerate(data, start=1)).decode("gbk")


# ---------------------------------------------------------------------------------------------
# The demonstration data. Each entry: column names (the others take their defaults), then rows.
# ---------------------------------------------------------------------------------------------


def day(hhmmss, date=BUSINESS_DAY):
    h, m, s = (int(x) for x in hhmmss.split(":"))
    return dt.datetime(date.year, date.month, date.day, h, m, s)


def at(date_text, hhmmss="00:00:00"):
    return day(hhmmss, dt.date.fromisoformat(date_text))


DATA = {}


def rows(table, columns, *values):
    DATA[table] = (columns.split(), list(values))


# Dishes and prices ---------------------------------------------------------------------------

rows("cybr_bt_dish_series", "ch_seriesno vch_seriesname int_sort",
     ("01", "主食", 1), ("02", "小食", 2), ("03", "饮品", 3), ("04", "套餐", 4), ("05", "汤类", 5))

rows("cybr_bt_dish_type", "ch_dish_typeno ch_seriesno vch_dish_typename int_sort",
     ("0101", "01", "米饭类", 1), ("0102", "01", "面食类", 2), ("0201", "02", "炸物", 3),
     ("0202", "02", "凉菜", 4), ("0301", "03", "冷饮", 5), ("0302", "03", "热饮", 6),
     ("0401", "04", "超值套餐", 7), ("0501", "05", "例汤", 8))

rows("cybr_bt_dish_unit", "ch_unitno vch_unitname ch_numtype",
     ("01", "份", "1"), ("02", "碗", "1"), ("03", "杯", "1"), ("04", "个", "1"),
     ("05", "套", "1"), ("06", "斤", "2"))

rows("cybr_bt_dish",
     "ch_dishno vch_dishname vch_spell vch_english ch_dish_typeno ch_unitno num_price "
     "num_m_price ch_suitflag ch_discount int_sort vch_operid dt_operdate",
     ("10001", "香菇滑鸡饭", "XGHJF", "Mushroom Chicken Rice", "0101", "01", "18.00", "16.00",
      "N", "Y", 1, "8001", at("2006-11-20", "10:15:00")),
     ("10002", "红烧牛肉饭", "HSNRF", "Braised Beef Rice", "0101", "01", "22.00", "20.00",
      "N", "Y", 2, "8001", at("2006-11-20", "10:15:00")),
     ("10003", "咖喱鸡排饭", "GLJPF", "Curry Chicken Chop Rice", "0101", "01", "20.00", None,
      "N", "Y", 3, "8001", at("2006-11-20", "10:15:00")),
     ("10004", "扬州炒饭", "YZCF", "Yangzhou Fried Rice", "0101", "01", "15.00", None,
      "N", "Y", 4, "8001", at("2006-11-20", "10:15:00")),
     ("10101", "红烧牛肉面", "HSNRM", "Braised Beef Noodles", "0102", "02", "16.00", "15.00",
      "N", "Y", 5, "8001", at("2006-11-20", "10:20:00")),
     ("10102", "雪菜肉丝面", "XCRSM", "Pork and Pickle Noodles", "0102", "02", "12.00", None,
      "N", "Y", 6, "8001", at("2006-11-20", "10:20:00")),
     ("20001", "香辣鸡翅", "XLJC", "Spicy Chicken Wings", "0201", "01", "10.00", None,
      "N", "Y", 7, "8001", at("2006-11-20", "10:25:00")),
     ("20002", "薯条", "ST", "French Fries", "0201", "01", "8.00", None,
      "N", "Y", 8, "8001", at("2006-11-20", "10:25:00")),
     ("20101", "凉拌黄瓜", "LBHG", "Cucumber Salad", "0202", "01", "6.00", None,
      "N", "N", 9, "8001", at("2006-11-20", "10:25:00")),
     ("30001", "冰镇可乐", "BZKL", "Iced Cola", "0301", "03", "5.00", None,
      "N", "N", 10, "8001", at("2006-11-20", "10:30:00")),
     ("30002", "鲜榨橙汁", "XZCZ", "Fresh Orange Juice", "0301", "03", "10.00", "9.00",
      "N", "Y", 11, "8001", at("2006-11-20", "10:30:00")),
     ("30101", "港式热奶茶", "GSRNC", "Hong Kong Milk Tea", "0302", "03", "8.00", None,
      "N", "Y", 12, "8001", at("2006-11-20", "10:30:00")),
     ("30102", "现磨豆浆", "XMDJ", "Soy Milk", "0302", "03", "3.00", None,
      "N", "N", 13, "8001", at("2006-11-20", "10:30:00")),
     ("40001", "超值鸡排套餐", "CZJPTC", "Chicken Chop Set", "0401", "05", "28.00", "26.00",
      "Y", "N", 14, "8001", at("2006-11-25", "16:00:00")),
     ("40002", "牛肉面套餐", "NRMTC", "Beef Noodle Set", "0401", "05", "25.00", None,
      "Y", "N", 15, "8001", at("2006-11-25", "16:00:00")),
     ("50001", "紫菜蛋花汤", "ZCDHT", "Seaweed Egg Soup", "0501", "02", "5.00", None,
      "N", "Y", 16, "8001", at("2006-11-20", "10:35:00")),
     ("50002", "番茄排骨汤", "FQPGT", "Tomato Spare Rib Soup", "0501", "02", "9.00", None,
      "N", "Y", 17, "8001", at("2006-11-20", "10:35:00")))

rows("cybr_bt_dish_spec", "ch_dishno ch_specno vch_specname num_price num_m_price",
     ("20002", "01", "小份", "8.00", None), ("20002", "02", "大份", "11.00", "10.00"),
     ("30001", "01", "中杯", "5.00", None), ("30001", "02", "大杯", "7.00", None),
     ("30101", "01", "中杯", "8.00", None), ("30101", "02", "大杯", "10.00", "9.00"))

rows("cybr_bt_dish_suit", "int_flowid ch_suitno ch_dishno num_num num_price ch_changeflag",
     (1, "40001", "10003", "1", "18.00", "N"), (2, "40001", "20002", "1", "5.00", "N"),
     (3, "40001", "30001", "1", "5.00", "Y"), (4, "40002", "10101", "1", "15.00", "N"),
     (5, "40002", "20101", "1", "5.00", "N"), (6, "40002", "30001", "1", "5.00", "Y"))

rows("cybr_bt_suit_change", "int_flowid ch_suitno ch_dishno ch_change_dishno num_num num_addprice",
     (1, "40001", "30001", "30002", "1", "3.00"), (2, "40001", "30001", "30101", "1", "2.00"),
     (3, "40002", "30001", "30102", "1", "0.00"))

rows("cybr_bt_dish_special",
     "int_flowid ch_dishno num_price dt_date_begin dt_date_end ch_time_begin ch_time_end "
     "vch_weekday vch_operid dt_operdate",
     (1, "10004", "12.00", at("2006-12-01"), at("2006-12-31", "23:59:59"), "11:00", "14:00",
      "12345", "8001", at("2006-11-28", "17:40:00")),
     (2, "30002", "8.00", at("2006-12-01"), at("2007-01-31", "23:59:59"), "00:00", "23:59",
      "1234567", "8001", at("2006-11-28", "17:42:00")))

rows("cybr_bt_dish_present",
     "int_flowid ch_dishno num_num ch_pre_dishno num_pre_num dt_date_begin dt_date_end "
     "vch_operid dt_operdate",
     (1, "20001", "2", "30001", "1", at("2006-12-01"), at("2006-12-31", "23:59:59"), "8001",
      at("2006-11-28", "17:45:00")),
     (2, "40001", "1", "50001", "1", at("2006-12-01"), at("2006-12-15", "23:59:59"), "8001",
      at("2006-11-28", "17:46:00")))

rows("cybr_bt_dish_favourable",
     "ch_favourno vch_favourname ch_dishno num_value num_limit dt_date_begin dt_date_end ch_state",
     ("Q001", "满50元减5元", None, "5.00", "50.00", at("2006-12-01"), at("2006-12-31", "23:59:59"), "Y"),
     ("Q002", "冰镇可乐兑换券", "30001", "5.00", "0.00", at("2006-12-01"), at("2007-03-31", "23:59:59"), "Y"),
     ("Q003", "开业周年优惠券", None, "10.00", "80.00", at("2006-11-01"), at("2006-11-30", "23:59:59"), "N"))

rows("cybr_bt_project", "ch_projectno vch_projectname int_discount ch_type dt_operdate",
     ("001", "员工餐九折", 90, "1", at("2006-11-20", "11:00:00")),
     ("002", "会员日饮品八折", 100, "2", at("2006-11-20", "11:05:00")),
     ("003", "贵宾八五折", 85, "1", at("2006-11-20", "11:08:00")))

rows("cybr_bt_project_detail", "ch_projectno ch_dish_typeno int_discount",
     ("002", "0301", 80), ("002", "0302", 80), ("002", "0401", 95))

rows("cybr_bt_table_area", "ch_areano vch_areaname int_sort",
     ("01", "一楼大厅", 1), ("02", "二楼散座", 2), ("03", "包间", 3), ("04", "外卖", 4))

rows("cybr_bt_table_type", "ch_typeno vch_typename int_persons num_lowcost num_service_rate",
     ("01", "二人台", 2, "0.00", "0.00"), ("02", "四人台", 4, "0.00", "0.00"),
     ("03", "豪华包间", 10, "300.00", "10.00"), ("04", "外卖虚拟台", 1, "0.00", "0.00"))

rows("cybr_bt_table", "ch_tableno vch_tablename ch_areano ch_typeno int_person ch_state int_sort",
     ("A01", "大厅1号台", "01", "01", 2, "0", 1), ("A02", "大厅2号台", "01", "02", 4, "1", 2),
     ("A03", "大厅3号台", "01", "02", 4, "0", 3), ("A05", "大厅5号台", "01", "01", 2, "1", 4),
     ("B01", "二楼1号台", "02", "02", 6, "1", 5), ("B02", "二楼2号台", "02", "02", 4, "0", 6),
     ("V01", "牡丹厅", "03", "03", 10, "2", 7), ("V02", "芙蓉厅", "03", "03", 12, "0", 8),
     ("W01", "外卖", "04", "04", 1, "0", 9))

rows("cybr_bt_bustype", "ch_bustypeno vch_bustypename ch_time_begin ch_time_end",
     ("01", "早市", "06:00", "10:30"), ("02", "午市", "10:30", "14:30"),
     ("03", "下午茶", "14:30", "17:00"), ("04", "晚市", "17:00", "21:30"),
     ("05", "夜宵", "21:30", "02:00"))

rows("cybr_bt_custage", "ch_ageno vch_agename int_age_begin int_age_end",
     ("01", "儿童", 0, 12), ("02", "青少年", 13, 18), ("03", "青年", 19, 35),
     ("04", "中年", 36, 55), ("05", "老年", 56, 120))

rows("cybr_bt_reason", "ch_reasonno vch_reason ch_type",
     ("001", "顾客退菜", "1"), ("002", "上菜太慢", "1"), ("003", "菜品质量问题", "1"),
     ("004", "老顾客赠送", "2"), ("005", "店庆活动赠送", "2"), ("006", "经理特批折扣", "3"),
     ("007", "点错单", "4"))

rows("cybr_bt_paymode",
     "ch_paymodeno vch_paymodename ch_changeflag ch_faceflag num_rate int_sort ch_useflag",
     ("01", "现金", "Y", "Y", "1", 1, "Y"), ("02", "银行卡", "N", "Y", "1", 2, "Y"),
     ("03", "会员卡", "N", "Y", "1", 3, "Y"), ("04", "优惠券", "N", "N", "1", 4, "Y"),
     ("05", "港币", "Y", "Y", "1.0050", 5, "N"))

# Company and staff ---------------------------------------------------------------------------

rows("cybr_sys_company",
     "ch_companyno vch_companyname vch_address vch_tel vch_fax vch_linkman vch_email vch_memo",
     ("0001", "好味来餐饮管理有限公司", "广州市天河区体育西路88号首层", "020-38881234",
      "020-38881235", "张伟", "service@haoweilai.example.com", "演示数据，仅供售前演示使用"))

rows("cybr_sys_dept", "ch_deptno vch_deptname vch_manager vch_tel int_sort",
     ("001", "总经理办公室", "张伟", "020-38881234", 1), ("002", "财务部", "李娜", None, 2),
     ("003", "前厅部", "王芳", None, 3), ("004", "厨房部", "赵军", None, 4),
     ("005", "采购部", "周强", "020-38881236", 5))

rows("cybr_sys_emp",
     "ch_empno vch_empname ch_sex ch_deptno vch_position vch_idcard vch_tel dt_birthday dt_join ch_state",
     ("E001", "张伟", "1", "001", "店长", "440106197803150032", "13902201001",
      at("1978-03-15"), at("2004-05-01"), "1"),
     ("E002", "李娜", "2", "002", "会计", "440104198206210045", "13902201002",
      at("1982-06-21"), at("2004-05-01"), "1"),
     ("E003", "王芳", "2", "003", "收银员", "440111198511080027", "13902201003",
      at("1985-11-08"), at("2005-03-10"), "1"),
     ("E004", "刘洋", "1", "003", "服务员", "430102198702140019", "13902201004",
      at("1987-02-14"), at("2006-02-20"), "1"),
     ("E005", "陈静", "2", "003", "送餐员", "450103198809300028", "13902201005",
      None, at("2006-07-01"), "1"),
     ("E006", "赵军", "1", "004", "厨师长", "440103197512010016", "13902201006",
      at("1975-12-01"), at("2004-05-01"), "1"),
     ("E007", "周强", "1", "005", "采购员", "440105198104170037", "13902201007",
      at("1981-04-17"), at("2005-08-15"), "1"),
     ("E008", "黄丽", "2", "003", "服务员", None, None, None, at("2006-03-01"), "0"))

rows("cybr_sys_operator",
     "vch_operid vch_operator ch_empno vch_password ch_flag_manager int_discount ch_state dt_operdate",
     ("0000", "系统管理员", None, scramble("0000"), "Y", 0, "Y", at("2006-11-20", "09:00:00")),
     ("8001", "张伟", "E001", scramble("8001"), "Y", 70, "Y", at("2006-11-20", "09:05:00")),
     ("1001", "王芳", "E003", scramble("1001"), "N", 95, "Y", at("2006-11-20", "09:06:00")),
     ("1002", "刘洋", "E004", scramble("1002"), "N", 100, "Y", at("2006-11-20", "09:07:00")))

rows("cybr_sys_emp_other",
     "ch_empno vch_address vch_native vch_education vch_contact vch_contact_tel num_salary vch_memo",
     ("E001", "广州市天河区龙口西路12号", "广东广州", "本科", "张丽", "13802202001", "4500.00", None),
     ("E003", "广州市越秀区东风中路300号", "广东梅州", "大专", "王强", "13802202003", "1800.00", None),
     ("E004", "广州市海珠区江南大道中45号", "湖南长沙", "高中", "刘芳", "13802202004", "1500.00",
      "试用期满转正"),
     ("E006", "广州市白云区机场路1号大院", "广东顺德", "中专", "赵敏", "13802202006", "3800.00", None))

# Cooking notes and kitchen printing ----------------------------------------------------------

rows("cybr_cp_memo_type", "ch_memotypeno vch_memotypename",
     ("01", "口味"), ("02", "辣度"), ("03", "加料"), ("04", "温度"))

rows("cybr_cp_memo", "ch_memono vch_memoname ch_memotypeno num_addprice",
     ("0101", "少盐", "01", "0.00"), ("0102", "少油", "01", "0.00"), ("0103", "不要葱", "01", "0.00"),
     ("0201", "微辣", "02", "0.00"), ("0202", "中辣", "02", "0.00"), ("0203", "特辣", "02", "0.00"),
     ("0301", "加蛋", "03", "2.00"), ("0302", "加饭", "03", "1.00"), ("0401", "去冰", "04", "0.00"),
     ("0402", "少冰", "04", "0.00"), ("0403", "加热", "04", "0.00"))

rows("cybr_cp_dish_memo", "ch_dishno ch_memono",
     ("10001", "0101"), ("10001", "0103"), ("10001", "0301"), ("10002", "0201"),
     ("10002", "0202"), ("10002", "0203"), ("10002", "0302"), ("10101", "0201"),
     ("10101", "0301"), ("30001", "0401"), ("30001", "0402"), ("30002", "0401"),
     ("30101", "0403"))

rows("cybr_cp_project", "ch_projectno vch_projectname vch_printer int_copies ch_printtype ch_state",
     ("001", "热菜档口", "192.168.1.201:9100", 1, "1", "Y"),
     ("002", "饮品吧台", "192.168.1.202:9100", 1, "2", "Y"),
     ("003", "凉菜间", "LPT1", 2, "1", "Y"))

rows("cybr_cp_area", "ch_cpareano vch_cpareaname ch_state vch_memo",
     ("001", "堂食区域方案", "Y", "大厅、二楼和包间"), ("002", "外卖区域方案", "Y", None))

rows("cybr_cp_area_detail", "ch_cpareano ch_areano ch_dish_typeno ch_projectno",
     ("001", "01", "0101", "001"), ("001", "01", "0102", "001"), ("001", "01", "0301", "002"),
     ("001", "02", "0101", "001"), ("001", "02", "0202", "003"), ("002", "04", "0101", "001"),
     ("002", "04", "0301", "002"))

rows("cybr_cp_dish_print", "ch_dishno ch_projectno int_copies",
     ("10001", "001", 1), ("10002", "001", 1), ("10003", "001", 1), ("10004", "001", 1),
     ("10101", "001", 1), ("10102", "001", 1), ("20001", "001", 1), ("20101", "003", 1),
     ("30001", "002", 1), ("30002", "002", 1), ("30101", "002", 2))

# Materials, recipes, warehouses --------------------------------------------------------------

rows("t_stbr_material_series", "ch_seriesno vch_seriesname",
     ("01", "肉类"), ("02", "蔬菜水果"), ("03", "粮油"), ("04", "调料"), ("05", "饮料原料"),
     ("06", "包装物"))

rows("t_stbr_material_type", "ch_typeno ch_seriesno vch_typename",
     ("0101", "01", "禽肉"), ("0102", "01", "畜肉"), ("0201", "02", "蔬菜"), ("0202", "02", "水果"),
     ("0301", "03", "大米"), ("0302", "03", "面粉面条"), ("0303", "03", "食用油"),
     ("0401", "04", "调味品"), ("0501", "05", "饮料"), ("0601", "06", "餐盒"))

rows("t_stbr_material_unit", "ch_unitno vch_unitname",
     ("01", "千克"), ("02", "个"), ("03", "瓶"), ("04", "袋"), ("05", "箱"), ("06", "升"))

rows("t_stbr_material",
     "ch_materialno vch_materialname vch_spell vch_spec ch_typeno ch_unitno num_cost_price "
     "ch_halfflag num_min_stock num_max_stock ch_providerno",
     ("M0001", "鸡腿肉", "JTR", "冷冻 10千克/箱", "0101", "01", "18.5000", "N", "10", "60", "GY001"),
     ("M0002", "鸡翅中", "JCZ", "冷冻 5千克/箱", "0101", "01", "32.0000", "N", "5", "30", "GY001"),
     ("M0003", "牛腩", "NN", None, "0102", "01", "46.0000", "N", "5", "30", "GY001"),
     ("M0004", "干香菇", "GXG", "500克/袋", "0201", "01", "24.0000", "N", "1", "10", "GY002"),
     ("M0005", "黄瓜", "HG", None, "0201", "01", "3.2000", "N", "5", "20", "GY002"),
     ("M0006", "东北大米", "DBDM", "25千克/袋", "0301", "01", "3.8000", "N", "50", "300", "GY003"),
     ("M0007", "碱水面", "JSM", None, "0302", "01", "4.5000", "N", "10", "50", "GY003"),
     ("M0008", "花生油", "HSY", "5升/桶", "0303", "06", "12.6000", "N", "20", "100", "GY003"),
     ("M0009", "咖喱块", "GLK", "1千克/袋", "0401", "04", "8.5000", "N", "5", "40", "GY003"),
     ("M0010", "可乐", "KL", "1.25升/瓶", "0501", "03", "2.1000", "N", "24", "240", "GY004"),
     ("M0011", "鲜橙", "XC", None, "0202", "01", "6.0000", "N", "10", "40", "GY002"),
     ("M0012", "一次性餐盒", "YCXCH", "750毫升", "0601", "02", "0.3500", "N", "500", "5000", "GY004"),
     ("M0013", "生抽", "SC", "500毫升/瓶", "0401", "03", "6.5000", "N", "12", "60", "GY003"),
     ("H0001", "秘制卤汁", "MZLZ", "自制半成品", "0401", "06", "15.0000", "Y", "2", "10", None))

rows("t_stbr_dish_material", "ch_dishno ch_materialno num_num",
     ("10001", "M0001", "0.150"), ("10001", "M0004", "0.010"), ("10001", "M0006", "0.200"),
     ("10001", "M0012", "1"), ("10002", "M0003", "0.150"), ("10002", "M0006", "0.200"),
     ("10002", "H0001", "0.050"), ("10003", "M0001", "0.180"), ("10003", "M0009", "0.030"),
     ("10003", "M0006", "0.200"), ("10101", "M0003", "0.120"), ("10101", "M0007", "0.200"),
     ("10101", "H0001", "0.050"), ("20001", "M0002", "0.200"), ("20001", "M0008", "0.030"),
     ("20101", "M0005", "0.250"), ("30001", "M0010", "0.5"), ("30002", "M0011", "0.500"))

rows("t_stbr_material_half", "ch_halfno ch_materialno num_num",
     ("H0001", "M0013", "0.200"), ("H0001", "M0008", "0.050"))

rows("t_sys_dept", "ch_deptno vch_deptname ch_type vch_manager ch_useflag",
     ("001", "总仓库", "1", "周强", "Y"), ("002", "热菜厨房", "2", "赵军", "Y"),
     ("003", "饮品吧台", "2", "王芳", "Y"))

# Suppliers and members -----------------------------------------------------------------------

rows("t_st_provider_type", "ch_typeno vch_typename",
     ("01", "肉类供应商"), ("02", "蔬果供应商"), ("03", "粮油调料"), ("04", "饮料包装"))

rows("t_st_provider",
     "ch_providerno vch_providername vch_shortname ch_typeno vch_linkman vch_tel vch_address "
     "vch_bank vch_account num_credit",
     ("GY001", "广州鲜达肉类批发有限公司", "鲜达肉类", "01", "何先生", "020-81112233",
      "广州市荔湾区东漖北路冻品市场A12档", "工商银行荔湾支行", "3602001109000123456", "20000.00"),
     ("GY002", "江南蔬果配送中心", "江南蔬果", "02", "梁小姐", "020-84445566",
      "广州市海珠区江南果菜批发市场18号", None, None, "5000.00"),
     ("GY003", "金穗粮油贸易公司", "金穗粮油", "03", "罗经理", "020-87778899",
      "广州市白云区石井镇粮油城3栋", "农业银行白云支行", "44050101040001234", "10000.00"),
     ("GY004", "华联饮料包装有限公司", "华联饮料", "04", "谢先生", "020-82223344",
      "广州市黄埔区开发大道200号", None, None, "0.00"))

rows("t_m_member_type", "ch_typeno vch_typename int_discount num_point_rate ch_favourable",
     ("01", "普通卡", 95, "1.00", "1"), ("02", "金卡", 90, "1.50", "1"),
     ("03", "员工卡", 100, "0.00", "2"))

rows("t_m_member",
     "ch_memberno vch_member ch_typeno ch_sex vch_tel vch_handtel dt_birthday vch_address "
     "vch_password num_amount num_point ch_state dt_limit vch_operid dt_operdate",
     ("8800000001", "黄小明", "02", "1", "020-85551001", "13711110001", at("1980-08-08"),
      "广州市天河区天河北路233号", scramble("123456"), "500.00", "1280.00", "1",
      at("2007-12-31"), "8001", at("2006-10-01", "12:30:00")),
     ("8800000002", "林美玲", "01", "2", None, "13711110002", at("1990-02-14"), None,
      scramble("888888"), "120.50", "86.00", "1", at("2007-06-30"), "1001",
      at("2006-11-11", "18:05:00")),
     ("8800000003", "吴建国", "03", "1", None, "13711110003", None, None, None, "0.00",
      "0.00", "1", None, "8001", at("2006-11-20", "09:30:00")),
     ("8800000004", "郑晓燕", "01", "2", "020-85551004", "13711110004", None,
      "广州市越秀区北京路50号", scramble("654321"), "36.00", "210.00", "2",
      at("2007-03-31"), "1001", at("2006-09-15", "13:20:00")))

# Open front-desk records of the business day -------------------------------------------------
# Bills B0612080001..5: tables A02, A05, B01 and two takeaways. Bills 1 and 4 are paid
# (P0612080001, P0612080004); the others have no payment number yet.

rows("cybr_u_tmp_orderdish",
     "int_flowid ch_billno ch_payno ch_tableno ch_dishno ch_specno num_num num_price "
     "int_discount ch_suitflag ch_suitno ch_presentflag ch_printflag vch_memo vch_operid dt_operdate",
     (1, "B0612080001", "P0612080001", "A02", "10001", None, "1", "18.00", 100, "N", None, "N",
      "Y", None, "1001", day("11:36:05")),
     (2, "B0612080001", "P0612080001", "A02", "10002", None, "1", "22.00", 100, "N", None, "N",
      "Y", None, "1001", day("11:36:05")),
     (3, "B0612080001", "P0612080001", "A02", "30001", "02", "2", "7.00", 100, "N", None, "N",
      "Y", None, "1001", day("11:36:05")),
     (4, "B0612080001", "P0612080001", "A02", "20001", None, "1", "10.00", 100, "N", None, "Y",
      "Y", "老顾客赠送", "1001", day("11:40:31")),
     (5, "B0612080002", None, "A05", "40001", None, "1", "28.00", 100, "Y", None, "N", "Y",
      None, "1002", day("11:53:10")),
     (6, "B0612080002", None, "A05", "10003", None, "1", "0.00", 100, "Y", "40001", "N", "Y",
      None, "1002", day("11:53:10")),
     (7, "B0612080002", None, "A05", "20002", "01", "1", "0.00", 100, "Y", "40001", "N", "Y",
      None, "1002", day("11:53:10")),
     (8, "B0612080002", None, "A05", "30001", "01", "1", "0.00", 100, "Y", "40001", "N", "Y",
      None, "1002", day("11:53:10")),
     (9, "B0612080002", None, "A05", "50001", None, "1", "5.00", 100, "N", None, "N", "N",
      None, "1002", day("11:53:10")),
     (10, "B0612080003", None, "B01", "10101", None, "2", "16.00", 100, "N", None, "N", "Y",
      None, "1002", day("12:06:44")),
     (11, "B0612080003", None, "B01", "10002", None, "3", "22.00", 90, "N", None, "N", "Y",
      None, "1002", day("12:06:44")),
     (12, "B0612080003", None, "B01", "20101", None, "2", "6.00", 100, "N", None, "N", "Y",
      None, "1002", day("12:06:44")),
     (13, "B0612080003", None, "B01", "30101", "01", "4", "8.00", 100, "N", None, "N", "N",
      "两杯少甜", "1002", day("12:08:02")),
     (14, "B0612080004", "P0612080004", "W01", "10004", None, "2", "15.00", 100, "N", None,
      "N", "Y", None, "1001", day("11:58:20")),
     (15, "B0612080004", "P0612080004", "W01", "30102", None, "2", "3.00", 100, "N", None,
      "N", "Y", None, "1001", day("11:58:20")),
     (16, "B0612080005", None, "W01", "10001", None, "1", "18.00", 100, "N", None, "N", "N",
      None, "1001", day("12:15:47")))

rows("cybr_u_tmp_orderdish_memo",
     "int_flowid ch_billno int_orderflow ch_memono vch_memoname num_addprice",
     (1, "B0612080001", 1, "0103", "不要葱", "0.00"),
     (2, "B0612080001", 1, "0301", "加蛋", "2.00"),
     (3, "B0612080001", 2, "0202", "中辣", "0.00"),
     (4, "B0612080003", 10, "0201", "微辣", "0.00"),
     (5, "B0612080003", 13, "0403", "加热", "0.00"))

rows("cybr_u_tmp_table",
     "ch_billno ch_payno ch_tableno int_person ch_bustypeno ch_ageno ch_waiter ch_state "
     "vch_memo vch_operid dt_operdate",
     ("B0612080001", "P0612080001", "A02", 3, "02", "03", "E004", "1", None, "1001",
      day("11:35:12")),
     ("B0612080002", None, "A05", 2, "02", "04", "E004", "1", None, "1002", day("11:52:40")),
     ("B0612080003", None, "B01", 6, "02", None, "E004", "1", "公司聚餐，需要开发票", "1002",
      day("12:05:03")))

rows("cybr_u_tmp_master",
     "ch_billno ch_tableno int_person ch_bustypeno num_cost vch_memo vch_operid dt_operdate",
     ("B0612080001", "A02", 3, "02", "56.00", None, "1001", day("11:35:12")),
     ("B0612080002", "A05", 2, "02", "33.00", None, "1002", day("11:52:40")),
     ("B0612080003", "B01", 6, "02", "135.40", "公司聚餐", "1002", day("12:05:03")),
     ("B0612080004", "W01", 1, "02", "36.00", "外卖", "1001", day("11:58:20")),
     ("B0612080005", "W01", 1, "02", "18.00", "外卖", "1001", day("12:15:47")))

rows("cybr_u_tmp_checkout_master",
     "ch_payno ch_billno ch_tableno num_cost num_discount num_present num_service num_blotout "
     "num_realamount ch_memberno ch_state vch_operid dt_operdate",
     ("P0612080001", "B0612080001", "A02", "66.00", "0.00", "10.00", "0.00", "0.00", "56.00",
      "8800000001", "1", "1001", day("12:31:18")),
     ("P0612080004", "B0612080004", "W01", "36.00", "0.00", "0.00", "0.00", "0.00", "36.00",
      None, "1", "1001", day("11:59:02")))

rows("cybr_u_tmp_checkout_detail",
     "int_flowid ch_payno ch_paymodeno num_payamount num_change num_realamount vch_voucherno "
     "vch_operid dt_operdate",
     (1, "P0612080001", "03", "30.00", "0.00", "30.00", "8800000001", "1001", day("12:31:18")),
     (2, "P0612080001", "01", "30.00", "4.00", "26.00", None, "1001", day("12:31:18")),
     (3, "P0612080004", "01", "50.00", "14.00", "36.00", None, "1001", day("11:59:02")))

rows("cybr_u_orderdish_delete",
     "int_flowid ch_billno ch_tableno ch_dishno num_num num_price ch_reasonno vch_reason "
     "vch_operid dt_operdate",
     (1, "B0612080001", "A02", "10004", "1", "15.00", "007", "点错单", "1001", day("11:37:40")),
     (2, "B0612080003", "B01", "30002", "2", "10.00", "001", "顾客退菜", "1002", day("12:20:15")))

rows("cybr_u_orderdish_log",
     "int_flowid int_orderflow ch_type vch_old_value vch_new_value ch_reasonno vch_operid "
     "vch_authorize dt_operdate",
     (1, 4, "1", "10.00", "0.00", "004", "1001", "8001", day("11:40:31")),
     (2, 2, "3", "24.00", "22.00", "006", "1001", "8001", day("11:41:02")),
     (3, 11, "2", "100", "90", "006", "1002", "8001", day("12:10:26")))

rows("cybr_u_tmp_togo",
     "ch_billno ch_payno vch_linkman vch_tel vch_address ch_sendtime ch_sender num_cost "
     "ch_state vch_operid dt_operdate",
     ("B0612080004", "P0612080004", "孙先生", "13622223333",
      "天河区体育西路101号维多利广场B座1203室", "12:30", "E005", "36.00", "1", "1001",
      day("11:58:20")),
     ("B0612080005", None, "马小姐", "020-38886677", "天河区天河路208号粤海天河城大厦15楼",
      "12:50", None, "18.00", "0", "1001", day("12:15:47")))

# Stock, stock-taking and purchasing ----------------------------------------------------------

rows("t_st_material_io_flow",
     "int_flowid ch_deptno ch_materialno ch_voucherno ch_iotype num_num num_price num_amount "
     "vch_operid dt_operdate",
     (1, "001", "M0001", "RK0612070001", "01", "20.000", "18.5000", "370.00", "8001",
      at("2006-12-07", "09:30:00")),
     (2, "001", "M0003", "RK0612070001", "01", "10.000", "46.0000", "460.00", "8001",
      at("2006-12-07", "09:30:00")),
     (3, "001", "M0006", "RK0612070002", "01", "50.000", "3.8000", "190.00", "8001",
      at("2006-12-07", "10:05:00")),
     (4, "001", "M0001", "DB0612080001", "03", "-8.000", "18.5000", "-148.00", "8001",
      at("2006-12-08", "08:10:00")),
     (5, "002", "M0001", "DB0612080001", "03", "8.000", "18.5000", "148.00", "8001",
      at("2006-12-08", "08:10:00")),
     (6, "002", "M0002", "BS0612080001", "04", "-0.500", "32.0000", "-16.00", "8001",
      at("2006-12-08", "08:25:00")))

rows("t_st_material_num", "ch_deptno ch_materialno num_num num_amount dt_operdate",
     ("001", "M0001", "12.000", "222.00", at("2006-12-08", "08:10:00")),
     ("001", "M0003", "10.000", "460.00", at("2006-12-07", "09:30:00")),
     ("001", "M0006", "51.500", "195.70", at("2006-12-07", "10:05:00")),
     ("001", "M0008", "20.000", "252.00", at("2006-12-05", "16:00:00")),
     ("002", "M0001", "8.000", "148.00", at("2006-12-08", "08:10:00")),
     ("002", "M0002", "5.500", "176.00", at("2006-12-08", "08:25:00")))

rows("t_st_pd_master",
     "ch_sheetno ch_deptno dt_pddate ch_state vch_operid dt_operdate vch_audit dt_audit vch_memo",
     ("PD0612050001", "001", at("2006-12-05"), "1", "8001", at("2006-12-05", "15:30:00"), "8001",
      at("2006-12-05", "16:00:00"), "月初盘点"),
     ("PD0612080001", "002", at("2006-12-08"), "0", "8001", at("2006-12-08", "08:20:00"), None,
      None, None))

rows("t_st_pd_detail",
     "int_flowid ch_sheetno ch_materialno num_book_num num_real_num num_price vch_memo",
     (1, "PD0612050001", "M0006", "2.000", "1.500", "3.8000", "受潮损耗"),
     (2, "PD0612050001", "M0008", "20.000", "20.000", "12.6000", None),
     (3, "PD0612080001", "M0002", "6.000", "5.500", "32.0000", None))

rows("t_st_material_price", "ch_materialno num_price vch_operid dt_operdate",
     ("M0001", "18.5000", "8001", at("2006-12-01", "09:00:00")),
     ("M0002", "32.0000", "8001", at("2006-12-01", "09:00:00")),
     ("M0003", "46.0000", "8001", at("2006-12-01", "09:00:00")),
     ("M0004", "24.0000", "8001", at("2006-11-20", "09:00:00")),
     ("M0005", "3.2000", "8001", at("2006-11-20", "09:00:00")),
     ("M0006", "3.8000", "8001", at("2006-11-20", "09:00:00")),
     ("M0007", "4.5000", "8001", at("2006-11-20", "09:00:00")),
     ("M0008", "12.6000", "8001", at("2006-11-20", "09:00:00")),
     ("M0009", "8.5000", "8001", at("2006-11-20", "09:00:00")),
     ("M0010", "2.1000", "8001", at("2006-11-20", "09:00:00")),
     ("M0011", "6.0000", "8001", at("2006-12-03", "14:00:00")),
     ("M0012", "0.3500", "8001", at("2006-11-20", "09:00:00")),
     ("M0013", "6.5000", "8001", at("2006-11-20", "09:00:00")),
     ("H0001", "15.0000", "8001", at("2006-11-20", "09:00:00")))

rows("t_st_material_price_log",
     "int_flowid ch_materialno num_old_price num_new_price vch_operid dt_operdate",
     (1, "M0001", "17.8000", "18.5000", "8001", at("2006-12-01", "09:00:00")),
     (2, "M0002", "31.0000", "32.0000", "8001", at("2006-12-01", "09:00:00")),
     (3, "M0003", "44.0000", "46.0000", "8001", at("2006-12-01", "09:00:00")),
     (4, "M0011", None, "6.0000", "8001", at("2006-12-03", "14:00:00")))

rows("t_st_provider_balance",
     "ch_balanceno ch_providerno num_payable num_paid ch_paymodeno ch_state vch_operid "
     "dt_operdate vch_memo",
     ("JS0611300001", "GY001", "5230.00", "5230.00", "02", "1", "8001",
      at("2006-11-30", "17:00:00"), "十一月货款"),
     ("JS0612070001", "GY001", "830.00", "0.00", None, "0", "8001",
      at("2006-12-07", "11:00:00"), None),
     ("JS0612070002", "GY003", "190.00", "190.00", "01", "1", "8001",
      at("2006-12-07", "11:10:00"), "现结"))

rows("t_st_stock_master",
     "ch_sheetno ch_deptno ch_providerno dt_needdate ch_state vch_operid dt_operdate vch_audit "
     "dt_audit vch_memo",
     ("CG0612080001", "001", "GY002", at("2006-12-09"), "1", "8001", at("2006-12-08", "08:40:00"),
      "8001", at("2006-12-08", "09:10:00"), "明早送到"),
     ("CG0612080002", "001", "GY004", at("2006-12-10"), "0", "8001", at("2006-12-08", "08:45:00"),
      None, None, None))

rows("t_st_stock_detail",
     "int_flowid ch_sheetno ch_materialno num_num num_price num_amount vch_memo",
     (1, "CG0612080001", "M0005", "15.000", "3.2000", "48.00", None),
     (2, "CG0612080001", "M0004", "5.000", "24.0000", "120.00", "要花菇"),
     (3, "CG0612080002", "M0010", "48.000", "2.1000", "100.80", None),
     (4, "CG0612080002", "M0012", "500.000", "0.3500", "175.00", None))

rows("t_st_stock_price",
     "int_flowid ch_providerno ch_materialno num_old_price num_new_price vch_operid dt_operdate",
     (1, "GY001", "M0001", "17.8000", "18.5000", "8001", at("2006-12-01", "08:50:00")),
     (2, "GY001", "M0003", "44.0000", "46.0000", "8001", at("2006-12-01", "08:50:00")),
     (3, "GY002", "M0005", None, "3.2000", "8001", at("2006-11-20", "08:30:00")))

rows("t_st_voucher_master",
     "ch_voucherno ch_vouchertype ch_deptno ch_deptno_to ch_providerno num_amount ch_state "
     "vch_operid dt_operdate vch_audit dt_audit vch_memo",
     ("RK0612070001", "01", "001", None, "GY001", "830.00", "1", "8001",
      at("2006-12-07", "09:30:00"), "8001", at("2006-12-07", "09:45:00"), None),
     ("RK0612070002", "01", "001", None, "GY003", "190.00", "1", "8001",
      at("2006-12-07", "10:05:00"), "8001", at("2006-12-07", "10:20:00"), None),
     ("DB0612080001", "03", "001", "002", None, "148.00", "1", "8001",
      at("2006-12-08", "08:10:00"), "8001", at("2006-12-08", "08:12:00"), "早班领料"),
     ("BS0612080001", "04", "002", None, None, "16.00", "0", "8001",
      at("2006-12-08", "08:25:00"), None, None, "解冻后变质"))

rows("t_st_voucher_detail",
     "int_flowid ch_voucherno ch_materialno num_num num_price num_amount vch_memo",
     (1, "RK0612070001", "M0001", "20.000", "18.5000", "370.00", None),
     (2, "RK0612070001", "M0003", "10.000", "46.0000", "460.00", None),
     (3, "RK0612070002", "M0006", "50.000", "3.8000", "190.00", None),
     (4, "DB0612080001", "M0001", "8.000", "18.5000", "148.00", None),
     (5, "BS0612080001", "M0002", "0.500", "32.0000", "16.00", None))

# References the demonstration relies on: (table, columns) -> (table, columns). A NULL in a
# referring column is allowed.
REFERENCES = [
    ("cybr_bt_dish_type", "ch_seriesno", "cybr_bt_dish_series", "ch_seriesno"),
    ("cybr_bt_dish", "ch_dish_typeno", "cybr_bt_dish_type", "ch_dish_typeno"),
    ("cybr_bt_dish", "ch_unitno", "cybr_bt_dish_unit", "ch_unitno"),
    ("cybr_bt_dish_spec", "ch_dishno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_bt_dish_suit", "ch_suitno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_bt_dish_suit", "ch_dishno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_bt_suit_change", "ch_suitno ch_dishno", "cybr_bt_dish_suit", "ch_suitno ch_dishno"),
    ("cybr_bt_suit_change", "ch_change_dishno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_bt_dish_special", "ch_dishno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_bt_dish_present", "ch_dishno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_bt_dish_present", "ch_pre_dishno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_bt_dish_favourable", "ch_dishno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_bt_project_detail", "ch_projectno", "cybr_bt_project", "ch_projectno"),
    ("cybr_bt_project_detail", "ch_dish_typeno", "cybr_bt_dish_type", "ch_dish_typeno"),
    ("cybr_bt_table", "ch_areano", "cybr_bt_table_area", "ch_areano"),
    ("cybr_bt_table", "ch_typeno", "cybr_bt_table_type", "ch_typeno"),
    ("cybr_sys_emp", "ch_deptno", "cybr_sys_dept", "ch_deptno"),
    ("cybr_sys_operator", "ch_empno", "cybr_sys_emp", "ch_empno"),
    ("cybr_sys_emp_other", "ch_empno", "cybr_sys_emp", "ch_empno"),
    ("cybr_cp_memo", "ch_memotypeno", "cybr_cp_memo_type", "ch_memotypeno"),
    ("cybr_cp_dish_memo", "ch_dishno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_cp_dish_memo", "ch_memono", "cybr_cp_memo", "ch_memono"),
    ("cybr_cp_area_detail", "ch_cpareano", "cybr_cp_area", "ch_cpareano"),
    ("cybr_cp_area_detail", "ch_areano", "cybr_bt_table_area", "ch_areano"),
    ("cybr_cp_area_detail", "ch_dish_typeno", "cybr_bt_dish_type", "ch_dish_typeno"),
    ("cybr_cp_area_detail", "ch_projectno", "cybr_cp_project", "ch_projectno"),
    ("cybr_cp_dish_print", "ch_dishno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_cp_dish_print", "ch_projectno", "cybr_cp_project", "ch_projectno"),
    ("t_stbr_material_type", "ch_seriesno", "t_stbr_material_series", "ch_seriesno"),
    ("t_stbr_material", "ch_typeno", "t_stbr_material_type", "ch_typeno"),
    ("t_stbr_material", "ch_unitno", "t_stbr_material_unit", "ch_unitno"),
    ("t_stbr_material", "ch_providerno", "t_st_provider", "ch_providerno"),
    ("t_stbr_dish_material", "ch_dishno", "cybr_bt_dish", "ch_dishno"),
    ("t_stbr_dish_material", "ch_materialno", "t_stbr_material", "ch_materialno"),
    ("t_stbr_material_half", "ch_halfno", "t_stbr_material", "ch_materialno"),
    ("t_stbr_material_half", "ch_materialno", "t_stbr_material", "ch_materialno"),
    ("t_st_provider", "ch_typeno", "t_st_provider_type", "ch_typeno"),
    ("t_m_member", "ch_typeno", "t_m_member_type", "ch_typeno"),
    ("cybr_u_tmp_orderdish", "ch_billno", "cybr_u_tmp_master", "ch_billno"),
    ("cybr_u_tmp_orderdish", "ch_payno", "cybr_u_tmp_checkout_master", "ch_payno"),
    ("cybr_u_tmp_orderdish", "ch_tableno", "cybr_bt_table", "ch_tableno"),
    ("cybr_u_tmp_orderdish", "ch_dishno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_u_tmp_orderdish", "ch_dishno ch_specno", "cybr_bt_dish_spec", "ch_dishno ch_specno"),
    ("cybr_u_tmp_orderdish", "ch_suitno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_u_tmp_orderdish", "vch_operid", "cybr_sys_operator", "vch_operid"),
    ("cybr_u_tmp_orderdish_memo", "ch_billno int_orderflow", "cybr_u_tmp_orderdish",
     "ch_billno int_flowid"),
    ("cybr_u_tmp_orderdish_memo", "ch_memono", "cybr_cp_memo", "ch_memono"),
    ("cybr_u_tmp_table", "ch_billno", "cybr_u_tmp_master", "ch_billno"),
    ("cybr_u_tmp_table", "ch_payno", "cybr_u_tmp_checkout_master", "ch_payno"),
    ("cybr_u_tmp_table", "ch_tableno", "cybr_bt_table", "ch_tableno"),
    ("cybr_u_tmp_table", "ch_bustypeno", "cybr_bt_bustype", "ch_bustypeno"),
    ("cybr_u_tmp_table", "ch_ageno", "cybr_bt_custage", "ch_ageno"),
    ("cybr_u_tmp_table", "ch_waiter", "cybr_sys_emp", "ch_empno"),
    ("cybr_u_tmp_master", "ch_tableno", "cybr_bt_table", "ch_tableno"),
    ("cybr_u_tmp_master", "ch_bustypeno", "cybr_bt_bustype", "ch_bustypeno"),
    ("cybr_u_tmp_checkout_master", "ch_billno", "cybr_u_tmp_master", "ch_billno"),
    ("cybr_u_tmp_checkout_master", "ch_memberno", "t_m_member", "ch_memberno"),
    ("cybr_u_tmp_checkout_detail", "ch_payno", "cybr_u_tmp_checkout_master", "ch_payno"),
    ("cybr_u_tmp_checkout_detail", "ch_paymodeno", "cybr_bt_paymode", "ch_paymodeno"),
    ("cybr_u_orderdish_delete", "ch_billno", "cybr_u_tmp_master", "ch_billno"),
    ("cybr_u_orderdish_delete", "ch_dishno", "cybr_bt_dish", "ch_dishno"),
    ("cybr_u_orderdish_delete", "ch_reasonno", "cybr_bt_reason", "ch_reasonno"),
    ("cybr_u_orderdish_log", "int_orderflow", "cybr_u_tmp_orderdish", "int_flowid"),
    ("cybr_u_orderdish_log", "ch_reasonno", "cybr_bt_reason", "ch_reasonno"),
    ("cybr_u_orderdish_log", "vch_authorize", "cybr_sys_operator", "vch_operid"),
    ("cybr_u_tmp_togo", "ch_billno", "cybr_u_tmp_master", "ch_billno"),
    ("cybr_u_tmp_togo", "ch_payno", "cybr_u_tmp_checkout_master", "ch_payno"),
    ("cybr_u_tmp_togo", "ch_sender", "cybr_sys_emp", "ch_empno"),
    ("t_st_material_io_flow", "ch_deptno", "t_sys_dept", "ch_deptno"),
    ("t_st_material_io_flow", "ch_materialno", "t_stbr_material", "ch_materialno"),
    ("t_st_material_io_flow", "ch_voucherno", "t_st_voucher_master", "ch_voucherno"),
    ("t_st_material_num", "ch_deptno", "t_sys_dept", "ch_deptno"),
    ("t_st_material_num", "ch_materialno", "t_stbr_material", "ch_materialno"),
    ("t_st_pd_master", "ch_deptno", "t_sys_dept", "ch_deptno"),
    ("t_st_pd_detail", "ch_sheetno", "t_st_pd_master", "ch_sheetno"),
    ("t_st_pd_detail", "ch_materialno", "t_stbr_material", "ch_materialno"),
    ("t_st_material_price", "ch_materialno", "t_stbr_material", "ch_materialno"),
    ("t_st_material_price_log", "ch_materialno", "t_stbr_material", "ch_materialno"),
    ("t_st_provider_balance", "ch_providerno", "t_st_provider", "ch_providerno"),
    ("t_st_provider_balance", "ch_paymodeno", "cybr_bt_paymode", "ch_paymodeno"),
    ("t_st_stock_master", "ch_deptno", "t_sys_dept", "ch_deptno"),
    ("t_st_stock_master", "ch_providerno", "t_st_provider", "ch_providerno"),
    ("t_st_stock_detail", "ch_sheetno", "t_st_stock_master", "ch_sheetno"),
    ("t_st_stock_detail", "ch_materialno", "t_stbr_material", "ch_materialno"),
    ("t_st_stock_price", "ch_providerno", "t_st_provider", "ch_providerno"),
    ("t_st_stock_price", "ch_materialno", "t_stbr_material", "ch_materialno"),
    ("t_st_voucher_master", "ch_deptno", "t_sys_dept", "ch_deptno"),
    ("t_st_voucher_master", "ch_deptno_to", "t_sys_dept", "ch_deptno"),
    ("t_st_voucher_master", "ch_providerno", "t_st_provider", "ch_providerno"),
    ("t_st_voucher_detail", "ch_voucherno", "t_st_voucher_master", "ch_voucherno"),
    ("t_st_voucher_detail", "ch_materialno", "t_stbr_material", "ch_materialno"),
]

# ---------------------------------------------------------------------------------------------
# Building and checking the rows
# ---------------------------------------------------------------------------------------------


class SampleError(Exception):
    pass


def build_table(table, columns, values):
    """Rows of one table as lists in column order, with defaults and identity values filled
    in. Raises SampleError naming the table, row and column at the first fault."""
    for name in columns:
        if table.column(name) is None:
            raise SampleError(f"{table.name}: no column {name}")
    if len(set(columns)) != len(columns):
        raise SampleError(f"{table.name}: a column is listed twice")
    result = []
    for n, raw in enumerate(values, start=1):
        if len(raw) != len(columns):
            raise SampleError(
                f"{table.name} row {n}: {len(raw)} values for {len(columns)} columns"
            )
        given = dict(zip(columns, raw))
        row = []
        for col in table.columns:
            try:
                if col.name in given:
                    value = given[col.name]
                elif col.identity:
                    value = n
                else:
                    value = default_value(col)
                row.append(coerce(col, value))
            except ValueError as e:
                raise SampleError(f"{table.name} row {n} column {col.name}: {e}") from None
        result.append(row)
    return result


def check_unique(table, rows_, columns, what):
    idx = [[c.name for c in table.columns].index(c) for c in columns]
    seen = {}
    for n, row in enumerate(rows_, start=1):
        # char data compares case-insensitively and ignoring trailing blanks on the server
        key = tuple(
            row[i].rstrip(" ").upper() if isinstance(row[i], str) else row[i] for i in idx
        )
        if key in seen:
            raise SampleError(
                f"{table.name}: rows {seen[key]} and {n} share the {what} {columns}"
            )
        seen[key] = n


def check_numbers(table, rows_):
    """Bill and payment numbers of the open records carry the business day in positions 2-7."""
    if not table.name.startswith("cybr_u_"):
        return
    names = [c.name for c in table.columns]
    want = BUSINESS_DAY.strftime("%y%m%d")
    for col in ("ch_billno", "ch_payno"):
        if col not in names:
            continue
        i = names.index(col)
        for n, row in enumerate(rows_, start=1):
            if row[i] is None:
                continue
            m = NUMBER_RE.match(row[i])
            if not m or m.group(1) != want:
                raise SampleError(
                    f"{table.name} row {n} column {col}: {row[i]!r} is not a number of {want}"
                )


def check_references(schema, built):
    for src, src_cols, dst, dst_cols in REFERENCES:
        s_cols, d_cols = src_cols.split(), dst_cols.split()
        s_names = [c.name for c in schema.tables[src].columns]
        d_names = [c.name for c in schema.tables[dst].columns]
        targets = {
            tuple(row[d_names.index(c)] for c in d_cols) for row in built.get(dst, [])
        }
        for n, row in enumerate(built.get(src, []), start=1):
            key = tuple(row[s_names.index(c)] for c in s_cols)
            if any(v is None for v in key):
                continue
            if key not in targets:
                raise SampleError(f"{src} row {n}: {src_cols} {key} not found in {dst}")


def build_all(schema=None):
    """All sample rows by table, checked. Raises SampleError at the first fault."""
    schema = schema or load_schema()
    catalogue = [t for _, t in CATALOGUE]
    missing = [t for t in catalogue if t not in schema.tables]
    if missing:
        raise SampleError(f"tables missing from the schema: {missing}")
    unknown = sorted(set(DATA) - set(catalogue))
    if unknown:
        raise SampleError(f"sample data for tables outside the catalogue: {unknown}")
    built = {}
    for name in catalogue:
        if name not in DATA:
            raise SampleError(f"{name}: no sample data")
        table = schema.tables[name]
        columns, values = DATA[name]
        rows_ = build_table(table, columns, values)
        if not rows_:
            raise SampleError(f"{name}: no rows")
        check_unique(table, rows_, table.primary_key, "primary key")
        for u in table.uniques:
            check_unique(table, rows_, u, "unique key")
        check_numbers(table, rows_)
        built[name] = rows_
    check_references(schema, built)
    return built


def file_bytes(table, rows_):
    lines = ["\t".join(format_value(c, v) for c, v in zip(table.columns, row)) for row in rows_]
    return "".join(line + "\r\n" for line in lines).encode("gbk")


def sql_literal(value):
    if value is None:
        return "NULL"
    if isinstance(value, str):
        return "N'" + value.replace("'", "''") + "'"
    if isinstance(value, dt.datetime):
        return "'" + format_value(None, value) + "'"
    return str(value)


KEYS_HEAD = """\
# Generated by make_sample.py from the first sample row of each table; do not edit.
# Every catalogue table takes a row with the values of its demonstration data, refuses the
# same row a second time on its primary key, and then holds that one row. Identity values are
# written explicitly and the triggers are off, as during the base-data import.
# Format: see tables.case.
"""

TRIGGER_TABLES = ["t_m_member", "cybr_u_tmp_orderdish", "t_st_material_price",
                  "t_st_material_price_log"]


def keys_case(schema, built):
    """Case file: each catalogue table takes its first sample row once and refuses it again."""
    out = [KEYS_HEAD]
    out += [f"ALTER TABLE {t} disable TRIGGER all\nGO" for t in TRIGGER_TABLES]
    for label, name in CATALOGUE:
        table = schema.tables[name]
        cols = ", ".join(c.name for c in table.columns)
        vals = ", ".join(sql_literal(v) for v in built[name][0])
        insert = f"INSERT INTO {name} ({cols}) VALUES ({vals})"
        identity = any(c.identity for c in table.columns)
        out.append(f"\n-- {label}")
        if identity:
            out.append(f"SET IDENTITY_INSERT {name} ON\nGO")
        out.append(f"{insert}\nGO")
        out.append(f"{insert}\nGO\n-- expect error 2627")
        if identity:
            out.append(f"SET IDENTITY_INSERT {name} OFF\nGO")
        out.append(f"SELECT count(*) FROM {name}\nGO\n-- expect rows\n1\n-- end")
    out.append("")
    out += [f"ALTER TABLE {t} enable TRIGGER all\nGO" for t in TRIGGER_TABLES]
    return ("\n".join(out) + "\n").encode("utf-8")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=HERE / "sample")
    parser.add_argument("--keys", type=Path, default=HERE / "test_sql" / "keys.case")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args(argv)
    schema = load_schema()
    try:
        built = build_all(schema)
    except SampleError as e:
        print(f"make_sample: {e}", file=sys.stderr)
        return 2
    outputs = {args.out / f"{name}.txt": file_bytes(schema.tables[name], rows_)
               for name, rows_ in built.items()}
    outputs[args.keys] = keys_case(schema, built)
    if args.check:
        problems = [f"{p.name} differs from the generated data" for p, data in outputs.items()
                    if not p.is_file() or p.read_bytes() != data]
        if args.out.is_dir():
            problems += [f"{p.name} is not a catalogue table"
                         for p in sorted(args.out.glob("*.txt")) if p.stem not in built]
        for text in problems:
            print(f"make_sample: {text}", file=sys.stderr)
        if problems:
            return 1
        print(f"make_sample: {len(outputs)} files up to date")
        return 0
    for path, data in outputs.items():
        path.parent.mkdir(parents=True, exist_ok=True)
        tmp = path.with_name(path.name + ".tmp")
        tmp.write_bytes(data)
        tmp.replace(path)
    print(f"make_sample: wrote {len(outputs)} files")
    return 0


if __name__ == "__main__":
    sys.exit(main())
