#!/usr/bin/env python3
"""Writes the demonstration data of a whole restaurant, one file per catalogue table.

The files have the layout the base-data import reads (see make_sample.py and the README): code
page 936 (GBK), CRLF line ends, no heading line, values tab-separated in the column order of
demo/schema.sql, NULL as an empty field, an empty string as "" and a value starting with a quote
in quotes. Every row is checked against the schema before it is written (types, lengths,
NOT NULL, keys, UNIQUE constraints, references between tables, the bill numbers of the open
front-desk records), so every file imports into the template database.

The data is the same on every run: it comes from a random generator with a fixed start value.
The shop: hundreds of dishes in series and types with specifications, set menus and prices,
dining areas and tables, staff and operators, kitchen printing, members, raw materials and
recipes, the open front-desk orders of the business day, and a year of stock vouchers, stock
flows, stock-taking, purchasing and price changes.

Usage:
  make_demo_data.py --out DIR [--rows N]
    --rows N   about N rows in all (50000 by default); the stock flows, vouchers, price log and
               the open orders with their logs grow with it, to 1,000,000 rows and more
"""

import argparse
import datetime as dt
import random
import sys
import time
from decimal import Decimal
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import make_sample as ms  # noqa: E402

START_VALUE = 20061208  # the random generator's fixed start value
DEFAULT_ROWS = 50000
DAY = ms.BUSINESS_DAY  # business day of the open orders; the import moves them to today
YEAR_START = DAY - dt.timedelta(days=365)

# ---------------------------------------------------------------------------------------------
# Words
# ---------------------------------------------------------------------------------------------

SERIES = [("01", "主食"), ("02", "热菜"), ("03", "凉菜"), ("04", "汤羹"), ("05", "小吃"),
          ("06", "饮品"), ("07", "套餐"), ("08", "甜品")]

TYPES = [("0101", "01", "盖浇饭"), ("0102", "01", "面条"), ("0103", "01", "粥品"),
         ("0104", "01", "饺子"), ("0201", "02", "鸡肉类"), ("0202", "02", "猪肉类"),
         ("0203", "02", "牛羊肉类"), ("0204", "02", "水产类"), ("0205", "02", "素菜类"),
         ("0301", "03", "凉拌"), ("0302", "03", "卤味"), ("0401", "04", "例汤"),
         ("0402", "04", "炖汤"), ("0501", "05", "炸物"), ("0502", "05", "点心"),
         ("0601", "06", "冷饮"), ("0602", "06", "热饮"), ("0603", "06", "鲜榨果汁"),
         ("0604", "06", "酒水"), ("0701", "07", "单人套餐"), ("0702", "07", "双人套餐"),
         ("0801", "08", "甜品")]

# (name, initials, English)
METHODS = [("红烧", "HS", "Braised"), ("清蒸", "QZ", "Steamed"), ("香辣", "XL", "Spicy"),
           ("宫保", "GB", "Kung Pao"), ("鱼香", "YX", "Yu Xiang"), ("糖醋", "TC", "Sweet and Sour"),
           ("干煸", "GB", "Dry-fried"), ("蒜蓉", "SR", "Garlic"), ("酱爆", "JB", "Sauteed"),
           ("黑椒", "HJ", "Black Pepper"), ("孜然", "ZR", "Cumin"), ("水煮", "SZ", "Boiled"),
           ("椒盐", "JY", "Salt and Pepper"), ("葱油", "CY", "Scallion Oil"),
           ("番茄", "FQ", "Tomato"), ("咖喱", "GL", "Curry"), ("铁板", "TB", "Sizzling"),
           ("香煎", "XJ", "Pan-fried")]

INGREDIENTS = {
    "0201": [("鸡丁", "JD", "Diced Chicken"), ("鸡翅", "JC", "Chicken Wings"),
             ("鸡腿", "JT", "Chicken Leg"), ("鸡块", "JK", "Chicken"), ("鸡胗", "JZ", "Gizzards")],
    "0202": [("排骨", "PG", "Spare Ribs"), ("里脊", "LJ", "Pork Loin"),
             ("五花肉", "WHR", "Pork Belly"), ("肉丝", "RS", "Shredded Pork"),
             ("腰花", "YH", "Pork Kidney")],
    "0203": [("牛肉", "NR", "Beef"), ("牛腩", "NN", "Beef Brisket"), ("羊肉", "YR", "Lamb"),
             ("羊排", "YP", "Lamb Chops"), ("肥牛", "FN", "Sliced Beef")],
    "0204": [("鱼片", "YP", "Fish Fillet"), ("虾仁", "XR", "Shrimp"), ("鱿鱼", "YY", "Squid"),
             ("带鱼", "DY", "Hairtail"), ("鲈鱼", "LY", "Sea Bass"), ("蛤蜊", "GL", "Clams")],
    "0205": [("豆腐", "DF", "Tofu"), ("茄子", "QZ", "Eggplant"), ("土豆丝", "TDS", "Potato"),
             ("西兰花", "XLH", "Broccoli"), ("藕片", "OP", "Lotus Root"),
             ("四季豆", "SJD", "Green Beans"), ("白菜", "BC", "Cabbage"),
             ("蘑菇", "MG", "Mushrooms")],
}

SIMPLE_DISHES = {
    "0101": [("香菇滑鸡饭", "XGHJF", "Mushroom Chicken Rice"), ("红烧牛肉饭", "HSNRF", "Braised Beef Rice"),
             ("咖喱鸡排饭", "GLJPF", "Curry Chicken Chop Rice"), ("扬州炒饭", "YZCF", "Yangzhou Fried Rice"),
             ("卤肉饭", "LRF", "Braised Pork Rice"), ("鱼香肉丝饭", "YXRSF", "Yu Xiang Pork Rice"),
             ("宫保鸡丁饭", "GBJDF", "Kung Pao Chicken Rice"), ("黑椒牛柳饭", "HJNLF", "Pepper Beef Rice"),
             ("番茄炒蛋饭", "FQCDF", "Tomato Egg Rice"), ("梅菜扣肉饭", "MCKRF", "Pork with Greens Rice"),
             ("叉烧饭", "CSF", "Char Siu Rice"), ("烧鸭饭", "SYF", "Roast Duck Rice"),
             ("腊味煲仔饭", "LWBZF", "Claypot Rice"), ("麻婆豆腐饭", "MPDFF", "Mapo Tofu Rice")],
    "0102": [("红烧牛肉面", "HSNRM", "Braised Beef Noodles"), ("雪菜肉丝面", "XCRSM", "Pork and Pickle Noodles"),
             ("炸酱面", "ZJM", "Zhajiang Noodles"), ("担担面", "DDM", "Dandan Noodles"),
             ("阳春面", "YCM", "Plain Noodles"), ("番茄鸡蛋面", "FQJDM", "Tomato Egg Noodles"),
             ("酸辣粉", "SLF", "Hot and Sour Noodles"), ("牛肉炒河粉", "NRCHF", "Beef Chow Fun"),
             ("大排面", "DPM", "Pork Chop Noodles"), ("海鲜炒面", "HXCM", "Seafood Chow Mein")],
    "0103": [("皮蛋瘦肉粥", "PDSRZ", "Century Egg Congee"), ("小米粥", "XMZ", "Millet Congee"),
             ("南瓜粥", "NGZ", "Pumpkin Congee"), ("八宝粥", "BBZ", "Eight Treasure Congee"),
             ("生滚鱼片粥", "SGYPZ", "Fish Congee"), ("白粥", "BZ", "Plain Congee")],
    "0104": [("猪肉白菜水饺", "ZRBCSJ", "Pork Dumplings"), ("韭菜鸡蛋水饺", "JCJDSJ", "Chive Dumplings"),
             ("三鲜水饺", "SXSJ", "Three Delicacy Dumplings"), ("牛肉水饺", "NRSJ", "Beef Dumplings"),
             ("煎饺", "JJ", "Pan-fried Dumplings"), ("鲜虾馄饨", "XXHT", "Shrimp Wontons")],
    "0301": [("凉拌黄瓜", "LBHG", "Cucumber Salad"), ("拍黄瓜", "PHG", "Smashed Cucumber"),
             ("皮蛋豆腐", "PDDF", "Century Egg Tofu"), ("凉拌木耳", "LBME", "Wood Ear Salad"),
             ("夫妻肺片", "FQFP", "Sliced Beef in Chili"), ("口水鸡", "KSJ", "Mouth-watering Chicken"),
             ("凉拌海带丝", "LBHDS", "Kelp Salad"), ("蒜泥白肉", "SNBR", "Garlic Pork")],
    "0302": [("卤鸡腿", "LJT", "Braised Chicken Leg"), ("卤蛋", "LD", "Braised Egg"),
             ("卤牛肉", "LNR", "Braised Beef"), ("卤豆干", "LDG", "Braised Tofu"),
             ("卤鸭翅", "LYC", "Braised Duck Wings")],
    "0401": [("紫菜蛋花汤", "ZCDHT", "Seaweed Egg Soup"), ("番茄蛋汤", "FQDT", "Tomato Egg Soup"),
             ("酸辣汤", "SLT", "Hot and Sour Soup"), ("冬瓜排骨汤", "DGPGT", "Melon Rib Soup"),
             ("青菜豆腐汤", "QCDFT", "Tofu Greens Soup"), ("玉米浓汤", "YMNT", "Corn Soup")],
    "0402": [("番茄排骨汤", "FQPGT", "Tomato Spare Rib Soup"), ("老鸭汤", "LYT", "Old Duck Soup"),
             ("乌鸡汤", "WJT", "Black Chicken Soup"), ("莲藕排骨汤", "LOPGT", "Lotus Rib Soup"),
             ("菌菇汤", "JGT", "Mushroom Soup")],
    "0501": [("香辣鸡翅", "XLJC", "Spicy Chicken Wings"), ("薯条", "ST", "French Fries"),
             ("鸡米花", "JMH", "Popcorn Chicken"), ("炸鸡排", "ZJP", "Fried Chicken Chop"),
             ("洋葱圈", "YCQ", "Onion Rings"), ("炸春卷", "ZCJ", "Spring Rolls"),
             ("鸡块", "JK", "Chicken Nuggets"), ("炸虾球", "ZXQ", "Shrimp Balls")],
    "0502": [("小笼包", "XLB", "Soup Dumplings"), ("叉烧包", "CSB", "Char Siu Bun"),
             ("生煎包", "SJB", "Pan-fried Buns"), ("烧卖", "SM", "Shumai"),
             ("葱油饼", "CYB", "Scallion Pancake"), ("肉夹馍", "RJM", "Chinese Hamburger"),
             ("韭菜盒子", "JCHZ", "Chive Pocket"), ("馒头", "MT", "Steamed Bun")],
    "0601": [("冰镇可乐", "BZKL", "Iced Cola"), ("雪碧", "XB", "Sprite"), ("冰红茶", "BHC", "Iced Tea"),
             ("柠檬茶", "NMC", "Lemon Tea"), ("酸梅汤", "SMT", "Sour Plum Drink"),
             ("矿泉水", "KQS", "Mineral Water"), ("冰咖啡", "BKF", "Iced Coffee")],
    "0602": [("港式热奶茶", "GSRNC", "Hong Kong Milk Tea"), ("现磨豆浆", "XMDJ", "Soy Milk"),
             ("热咖啡", "RKF", "Hot Coffee"), ("红枣茶", "HZC", "Red Date Tea"),
             ("热柠檬水", "RNMS", "Hot Lemonade"), ("姜茶", "JC", "Ginger Tea")],
    "0603": [("鲜榨橙汁", "XZCZ", "Fresh Orange Juice"), ("西瓜汁", "XGZ", "Watermelon Juice"),
             ("苹果汁", "PGZ", "Apple Juice"), ("芒果汁", "MGZ", "Mango Juice"),
             ("猕猴桃汁", "MHTZ", "Kiwi Juice")],
    "0604": [("青岛啤酒", "QDPJ", "Tsingtao Beer"), ("雪花啤酒", "XHPJ", "Snow Beer"),
             ("加多宝", "JDB", "Herbal Tea"), ("椰汁", "YZ", "Coconut Milk")],
    "0801": [("双皮奶", "SPN", "Milk Pudding"), ("杨枝甘露", "YZGL", "Mango Sago"),
             ("红豆沙", "HDS", "Red Bean Soup"), ("芒果布丁", "MGBD", "Mango Pudding"),
             ("蛋挞", "DT", "Egg Tart"), ("冰淇淋", "BQL", "Ice Cream")],
}

SURNAMES = "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏魏吕丁任沈姚卢姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛闫段雷侯龙史陶黎贺顾毛郝龚邵万钱严覃武戴莫孔向汤"
GIVEN = "伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平刚桂英华玉兰萍红建国志文斌海波鹏辉婷雪琳晨宇浩然子涵欣怡思远佳琪梦瑶俊杰晓东立新春燕丹凤秋云"
STREETS = ["中山路", "人民路", "解放路", "建设路", "和平路", "新华路", "长江路", "黄河路", "淮海路",
           "延安路", "胜利路", "文化路", "朝阳路", "青年路", "滨江路", "光明街", "学府路", "东风路"]
AREAS = [("01", "大厅"), ("02", "包间"), ("03", "二楼散台"), ("04", "露台"), ("05", "吧台"),
         ("06", "外卖")]
TABLE_TYPES = [("01", "二人台", 2, "0.00", "0.00"), ("02", "四人台", 4, "0.00", "0.00"),
               ("03", "六人台", 6, "0.00", "0.00"), ("04", "十人包间", 10, "300.00", "10.00"),
               ("05", "外卖虚拟台", 1, "0.00", "0.00")]
DEPTS = [("101", "总经理室"), ("102", "前厅部"), ("103", "厨房部"), ("104", "财务部"),
         ("105", "采购部"), ("106", "仓储部"), ("107", "外卖部"), ("108", "人事行政部")]
POSITIONS = {"101": ["总经理", "副总经理"], "102": ["前厅经理", "领班", "服务员", "收银员", "迎宾"],
             "103": ["厨师长", "厨师", "帮厨", "面点师", "洗碗工"], "104": ["会计", "出纳"],
             "105": ["采购员"], "106": ["仓管员"], "107": ["外卖员", "调度"],
             "108": ["人事专员", "行政专员"]}
WAREHOUSES = [("001", "总仓", "1"), ("002", "厨房仓", "2"), ("003", "吧台仓", "2"),
              ("004", "冷库", "1"), ("005", "面点间", "2")]
MATERIAL_SERIES = [("01", "肉禽类"), ("02", "水产类"), ("03", "蔬菜类"), ("04", "干货调料"),
                   ("05", "粮油类"), ("06", "饮料酒水"), ("07", "包装耗材"), ("08", "半成品")]
MATERIAL_WORDS = {
    "01": ["鸡胸肉", "鸡腿肉", "鸡翅中", "整鸡", "鸡胗", "猪里脊", "五花肉", "猪排骨", "猪蹄", "猪腰",
           "牛腩", "牛里脊", "肥牛卷", "羊肉片", "羊排", "鸭腿", "鸡蛋", "咸鸭蛋", "皮蛋", "火腿"],
    "02": ["草鱼", "鲈鱼", "带鱼", "鱿鱼", "基围虾", "虾仁", "蛤蜊", "海带", "紫菜", "鱼丸"],
    "03": ["土豆", "茄子", "西兰花", "白菜", "青椒", "番茄", "黄瓜", "莲藕", "四季豆", "香菇",
           "木耳", "冬瓜", "南瓜", "玉米", "洋葱", "大葱", "生姜", "大蒜", "香菜", "韭菜"],
    "04": ["食盐", "白糖", "生抽", "老抽", "陈醋", "料酒", "蚝油", "豆瓣酱", "干辣椒", "花椒",
           "八角", "桂皮", "咖喱粉", "黑胡椒", "孜然粉", "鸡精", "淀粉", "芝麻油"],
    "05": ["大米", "面粉", "挂面", "河粉", "饺子皮", "馄饨皮", "花生油", "菜籽油", "红豆", "小米"],
    "06": ["可乐", "雪碧", "红茶包", "柠檬", "橙子", "西瓜", "苹果", "芒果", "牛奶", "咖啡豆",
           "啤酒", "矿泉水", "椰汁"],
    "07": ["打包盒", "打包袋", "一次性筷子", "纸杯", "吸管", "餐巾纸"],
    "08": ["卤汁", "高汤", "红烧酱", "调味鸡块", "腌制排骨", "饺子馅"],
}
UNITS = [("01", "千克"), ("02", "克"), ("03", "个"), ("04", "瓶"), ("05", "袋"), ("06", "箱"),
         ("07", "斤"), ("08", "升"), ("09", "包"), ("10", "盒"), ("11", "只"), ("12", "份")]
SERIES_UNIT = {"01": "01", "02": "01", "03": "07", "04": "05", "05": "05", "06": "04", "07": "09",
               "08": "12"}
PROVIDER_TYPES = [("01", "肉类供应商"), ("02", "水产供应商"), ("03", "蔬菜供应商"), ("04", "调料供应商"),
                  ("05", "粮油供应商"), ("06", "酒水供应商"), ("07", "耗材供应商")]
COMPANY_WORDS = ["鑫源", "恒丰", "福满", "金穗", "宏达", "瑞祥", "永盛", "华联", "新鲜", "绿源",
                 "佳美", "顺发", "天成", "鼎盛", "广源", "丰收"]
PROVIDER_KIND = {"01": "肉类食品", "02": "水产", "03": "蔬菜批发", "04": "调味品", "05": "粮油",
                 "06": "酒水饮料", "07": "包装制品"}
REASONS = [("001", "客人退菜", "1"), ("002", "上错菜", "1"), ("003", "菜品质量问题", "1"),
           ("004", "等待时间过长", "1"), ("005", "客人改单", "2"), ("006", "厨房缺料", "2"),
           ("007", "经理赠送", "3"), ("008", "会员生日赠送", "3"), ("009", "老客户优惠", "4"),
           ("010", "收银差错更正", "4"), ("011", "点错菜", "1"), ("012", "客人取消订单", "2")]
PAYMODES = [("01", "现金", "Y", "Y", "1.0000"), ("02", "银行卡", "N", "Y", "1.0000"),
            ("03", "会员卡", "N", "Y", "1.0000"), ("04", "代金券", "N", "N", "1.0000"),
            ("05", "签单", "N", "Y", "1.0000"), ("06", "支票", "N", "Y", "1.0000"),
            ("07", "港币", "Y", "Y", "0.8900")]
MEMO_TYPES = [("01", "口味"), ("02", "辣度"), ("03", "做法"), ("04", "分量"), ("05", "加料"),
              ("06", "忌口")]
MEMOS = {"01": ["少盐", "少油", "偏甜", "偏酸", "清淡", "重口味"],
         "02": ["不辣", "微辣", "中辣", "特辣", "麻辣"],
         "03": ["煎蛋要全熟", "汤分开装", "酱汁另放", "切小块", "打包带走"],
         "04": ["大份", "小份", "加饭", "加面"],
         "05": ["加蛋", "加芝士", "加肉", "加青菜", "加辣油"],
         "06": ["不要葱", "不要香菜", "不要蒜", "不放味精", "不要花生", "素食"]}
MEMO_PRICE = {"05": "2.00", "04": "3.00"}


class Gen:
    """Random choices from the fixed start value."""

    def __init__(self, start):
        self.r = random.Random(start)

    def pick(self, items):
        return items[self.r.randrange(len(items))]

    def chance(self, p):
        return self.r.random() < p

    def between(self, lo, hi):
        return self.r.randint(lo, hi)

    def money(self, lo, hi, places=2):
        step = 10 ** places
        return str(Decimal(self.r.randint(int(lo * step), int(hi * step))) / step)

    def name(self):
        given = self.pick(GIVEN) + (self.pick(GIVEN) if self.chance(0.6) else "")
        return self.pick(SURNAMES) + given

    def mobile(self):
        return "1" + self.pick("3589") + "".join(str(self.r.randrange(10)) for _ in range(9))

    def phone(self):
        return "0532-" + "".join(str(self.r.randrange(10)) for _ in range(8))

    def address(self):
        return f"青岛市{self.pick(['市南区', '市北区', '李沧区', '崂山区'])}{self.pick(STREETS)}{self.between(1, 399)}号"

    def time_on(self, day, h0, h1):
        return dt.datetime(day.year, day.month, day.day, self.between(h0, h1),
                           self.between(0, 59), self.between(0, 59))


def q2(value):
    return str(Decimal(value).quantize(Decimal("0.01")))


def number(letter, day, serial):
    return f"{letter}{day.strftime('%y%m%d')}{serial:04d}"


# ---------------------------------------------------------------------------------------------
# The shop
# ---------------------------------------------------------------------------------------------


def build_shop(g, scale):
    """Rows of every catalogue table as lists of {column: value} (columns left out take their
    defaults; identity columns are numbered from 1). Large tables are generators."""
    T = {}
    t0 = dt.datetime(2006, 11, 20, 10, 0, 0)

    T["cybr_bt_dish_series"] = [{"ch_seriesno": s, "vch_seriesname": n, "int_sort": i}
                                for i, (s, n) in enumerate(SERIES, 1)]
    T["cybr_bt_dish_type"] = [{"ch_dish_typeno": t, "ch_seriesno": s, "vch_dish_typename": n,
                               "int_sort": i} for i, (t, s, n) in enumerate(TYPES, 1)]
    dish_units = [("01", "份", "1"), ("02", "碗", "1"), ("03", "杯", "1"), ("04", "个", "1"),
                  ("05", "套", "1"), ("06", "斤", "2"), ("07", "瓶", "1"), ("08", "例", "1"),
                  ("09", "笼", "1"), ("10", "打", "1")]
    T["cybr_bt_dish_unit"] = [{"ch_unitno": u, "vch_unitname": n, "ch_numtype": k}
                              for u, n, k in dish_units]
    type_unit = {"01": "01", "02": "08", "03": "08", "04": "02", "05": "01", "06": "03",
                 "07": "05", "08": "01"}

    dishes = []  # (dishno, name, type, price)
    sort = 0

    def add_dish(typeno, name, spell, english, price, suit="N"):
        nonlocal sort
        sort += 1
        dishno = f"{typeno}{sum(1 for d in dishes if d[2] == typeno) + 1:03d}"
        unit = "07" if typeno == "0604" else "09" if name.endswith(("小笼包", "烧卖")) else \
            type_unit[typeno[:2]]
        dishes.append((dishno, name, typeno, price))
        return {"ch_dishno": dishno, "vch_dishname": name, "vch_spell": spell[:20],
                "vch_english": english, "ch_dish_typeno": typeno, "ch_unitno": unit,
                "num_price": price, "num_m_price": q2(Decimal(price) * Decimal("0.9"))
                if g.chance(0.4) else None, "ch_suitflag": suit,
                "ch_discount": "N" if typeno.startswith("06") else "Y",
                "ch_stopflag": "Y" if g.chance(0.03) else "N", "int_sort": sort,
                "vch_operid": "8001", "dt_operdate": t0 + dt.timedelta(minutes=sort)}

    dish_rows = []
    for typeno, ingredients in INGREDIENTS.items():
        for ing, ini, eng in ingredients:
            methods = g.r.sample(METHODS, 7)
            for m, mi, me in methods:
                base = {"0201": 26, "0202": 30, "0203": 42, "0204": 48, "0205": 18}[typeno]
                price = f"{base + g.between(-6, 14)}.00"
                dish_rows.append(add_dish(typeno, m + ing, mi + ini, f"{me} {eng}", price))
    for typeno, items in SIMPLE_DISHES.items():
        lo, hi = {"01": (10, 26), "03": (8, 22), "04": (6, 28), "05": (6, 18), "06": (4, 16),
                  "08": (8, 18)}[typeno[:2]]
        for name, spell, eng in items:
            dish_rows.append(add_dish(typeno, name, spell, eng, f"{g.between(lo, hi)}.00"))
    # Set menus: a rice or noodle dish, a snack and a drink (two of each for two persons).
    mains = [d for d in dishes if d[2] in ("0101", "0102")]
    snacks = [d for d in dishes if d[2] in ("0501", "0301")]
    drinks = [d for d in dishes if d[2] in ("0601", "0602")]
    suits = []
    for i in range(24):
        typeno = "0701" if i < 16 else "0702"
        main = mains[i % len(mains)]
        persons = 1 if typeno == "0701" else 2
        parts = [(main, persons), (g.pick(snacks), 1), (g.pick(drinks), persons)]
        if persons == 2:
            parts.append((g.pick([d for d in dishes if d[2].startswith("04")]), 1))
        total = sum(Decimal(p[0][3]) * n for p, n in [(x, x[1]) for x in parts])
        price = q2(total * Decimal("0.85"))
        short = main[1].replace("饭", "").replace("面", "")[:6]
        name = f"{short}{'超值套餐' if persons == 1 else '双人餐'}"
        row = add_dish(typeno, name, "TC" + str(i + 1), "Set Meal " + str(i + 1), price, "Y")
        row["ch_discount"] = "N"
        dish_rows.append(row)
        suits.append((row["ch_dishno"], parts, Decimal(price) / total))
    T["cybr_bt_dish"] = dish_rows
    dish_no = [d[0] for d in dishes]
    dish_price = {d[0]: d[3] for d in dishes}

    specs = []
    spec_of = {}
    for d in dishes:
        if d[2] in ("0601", "0602", "0603", "0501") or (d[2] == "0104" and g.chance(0.5)):
            names = [("01", "中份" if not d[2].startswith("06") else "中杯"),
                     ("02", "大份" if not d[2].startswith("06") else "大杯")]
            spec_of[d[0]] = [s for s, _ in names]
            for s, n in names:
                price = d[3] if s == "01" else q2(Decimal(d[3]) + 3)
                specs.append({"ch_dishno": d[0], "ch_specno": s, "vch_specname": n,
                              "num_price": price, "num_m_price": None})
    T["cybr_bt_dish_spec"] = specs

    suit_rows, change_rows = [], []
    for suitno, parts, ratio in suits:
        seen = set()
        for (dish, n) in parts:
            if dish[0] in seen:
                continue
            seen.add(dish[0])
            drink = dish[2].startswith("06")
            suit_rows.append({"ch_suitno": suitno, "ch_dishno": dish[0], "num_num": str(n),
                              "num_price": q2(Decimal(dish[3]) * n * ratio),
                              "ch_changeflag": "Y" if drink else "N"})
            if drink:
                for other in g.r.sample([d for d in drinks if d[0] != dish[0]], 2):
                    change_rows.append({"ch_suitno": suitno, "ch_dishno": dish[0],
                                        "ch_change_dishno": other[0], "num_num": str(n),
                                        "num_addprice": q2(max(Decimal(0), Decimal(other[3]) -
                                                               Decimal(dish[3])))})
    T["cybr_bt_dish_suit"] = suit_rows
    T["cybr_bt_suit_change"] = change_rows

    T["cybr_bt_dish_special"] = [
        {"ch_dishno": d, "num_price": q2(Decimal(dish_price[d]) * Decimal("0.8")),
         "dt_date_begin": ms.at("2006-12-01"), "dt_date_end": ms.at("2006-12-31", "23:59:59"),
         "ch_time_begin": g.pick(["11:00", "14:00", "17:00"]), "ch_time_end": "21:00",
         "vch_weekday": g.pick(["12345", "67", "1234567"]), "vch_operid": "8001",
         "dt_operdate": ms.at("2006-11-28", "17:40:00")} for d in g.r.sample(dish_no, 20)]
    T["cybr_bt_dish_present"] = [
        {"ch_dishno": d, "num_num": str(g.between(2, 3)), "ch_pre_dishno": g.pick(drinks)[0],
         "num_pre_num": "1", "dt_date_begin": ms.at("2006-12-01"),
         "dt_date_end": ms.at("2006-12-31", "23:59:59"), "vch_operid": "8001",
         "dt_operdate": ms.at("2006-11-28", "17:45:00")} for d in g.r.sample(dish_no, 12)]
    fav = [("满50元减5元", None, "5.00", "50.00"), ("满100元减15元", None, "15.00", "100.00"),
           ("满200元减40元", None, "40.00", "200.00"), ("开业周年优惠券", None, "10.00", "80.00"),
           ("新会员立减券", None, "8.00", "30.00")]
    fav += [(f"{dish[1]}兑换券", dish[0], dish[3], "0.00") for dish in g.r.sample(drinks, 5)]
    T["cybr_bt_dish_favourable"] = [
        {"ch_favourno": f"Q{i:03d}", "vch_favourname": n, "ch_dishno": d, "num_value": v,
         "num_limit": lim, "dt_date_begin": ms.at("2006-12-01"),
         "dt_date_end": ms.at("2007-03-31", "23:59:59"), "ch_state": "Y" if i != 4 else "N"}
        for i, (n, d, v, lim) in enumerate(fav, 1)]

    projects = [("001", "会员九折", 90, "1"), ("002", "员工八折", 80, "1"),
                ("003", "午市特惠", 88, "2"), ("004", "团购优惠", 85, "2"), ("005", "VIP八五折", 85, "1")]
    T["cybr_bt_project"] = [{"ch_projectno": p, "vch_projectname": n, "int_discount": d,
                             "ch_type": t, "dt_operdate": t0} for p, n, d, t in projects]
    T["cybr_bt_project_detail"] = [
        {"ch_projectno": p, "ch_dish_typeno": t, "int_discount": d if not t.startswith("06")
         else 100} for p, _, d, _ in projects for t, _, _ in TYPES]

    T["cybr_bt_table_area"] = [{"ch_areano": a, "vch_areaname": n, "int_sort": i}
                               for i, (a, n) in enumerate(AREAS, 1)]
    T["cybr_bt_table_type"] = [{"ch_typeno": t, "vch_typename": n, "int_persons": p,
                                "num_lowcost": lc, "num_service_rate": sr}
                               for t, n, p, lc, sr in TABLE_TYPES]
    tables = []
    layout = [("01", "A", 30, ["01", "02", "03"]), ("02", "V", 10, ["04"]),
              ("03", "B", 24, ["02", "03"]), ("04", "C", 10, ["01", "02"]),
              ("05", "D", 6, ["01"]), ("06", "W", 10, ["05"])]
    for area, letter, count, types in layout:
        for i in range(1, count + 1):
            t = g.pick(types)
            name = {"02": f"贵宾{i:02d}号包间", "06": f"外卖{i:02d}"}.get(area, f"{letter}{i:02d}号桌")
            tables.append({"ch_tableno": f"{letter}{i:02d}", "vch_tablename": name,
                           "ch_areano": area, "ch_typeno": t,
                           "int_person": dict((x[0], x[2]) for x in TABLE_TYPES)[t],
                           "int_sort": len(tables) + 1})
    T["cybr_bt_table"] = tables
    dine_tables = [t["ch_tableno"] for t in tables if t["ch_areano"] != "06"]
    togo_tables = [t["ch_tableno"] for t in tables if t["ch_areano"] == "06"]

    bustypes = [("01", "早市", "06:00", "10:30"), ("02", "午市", "10:30", "14:30"),
                ("03", "下午茶", "14:30", "17:00"), ("04", "晚市", "17:00", "21:30"),
                ("05", "夜宵", "21:30", "23:59")]
    T["cybr_bt_bustype"] = [{"ch_bustypeno": b, "vch_bustypename": n, "ch_time_begin": s,
                             "ch_time_end": e} for b, n, s, e in bustypes]
    ages = [("01", "儿童", 0, 12), ("02", "青少年", 13, 18), ("03", "青年", 19, 35),
            ("04", "中年", 36, 55), ("05", "老年", 56, 120)]
    T["cybr_bt_custage"] = [{"ch_ageno": a, "vch_agename": n, "int_age_begin": lo,
                             "int_age_end": hi} for a, n, lo, hi in ages]
    T["cybr_bt_reason"] = [{"ch_reasonno": r, "vch_reason": n, "ch_type": t}
                           for r, n, t in REASONS]
    T["cybr_bt_paymode"] = [{"ch_paymodeno": p, "vch_paymodename": n, "ch_changeflag": c,
                             "ch_faceflag": f, "num_rate": rate, "int_sort": i}
                            for i, (p, n, c, f, rate) in enumerate(PAYMODES, 1)]

    T["cybr_sys_company"] = [{
        "ch_companyno": "0001", "vch_companyname": "青岛味之源快餐有限公司",
        "vch_address": "青岛市市南区中山路88号", "vch_tel": "0532-82860001",
        "vch_fax": "0532-82860002", "vch_linkman": "王建国", "vch_email": "service@example.com",
        "vch_memo": "\"味之源\"连锁第一店，2003年开业"}]
    T["cybr_sys_dept"] = [{"ch_deptno": d, "vch_deptname": n, "vch_manager": g.name(),
                           "vch_tel": f"0532-8286{1000 + i:04d}", "int_sort": i}
                          for i, (d, n) in enumerate(DEPTS, 1)]
    emps, others = [], []
    sizes = {"101": 2, "102": 40, "103": 36, "104": 4, "105": 4, "106": 6, "107": 18, "108": 4}
    for dept, count in sizes.items():
        for i in range(count):
            empno = f"{dept[1:]}{len([e for e in emps if e['ch_deptno'] == dept]) + 1:03d}"
            pos = POSITIONS[dept][0] if i == 0 else g.pick(POSITIONS[dept][1:] or POSITIONS[dept])
            birth = dt.datetime(g.between(1965, 1988), g.between(1, 12), g.between(1, 28))
            emps.append({"ch_empno": empno, "vch_empname": g.name(), "ch_sex": g.pick("12"),
                         "ch_deptno": dept, "vch_position": pos,
                         "vch_idcard": f"370202{birth:%Y%m%d}{g.between(100, 999)}"
                         f"{g.pick('0123456789X')}", "vch_tel": g.mobile(),
                         "dt_birthday": birth,
                         "dt_join": dt.datetime(g.between(2003, 2006), g.between(1, 12), 1),
                         "ch_state": "1" if g.chance(0.95) else "0"})
            others.append({"ch_empno": empno, "vch_address": g.address(),
                           "vch_native": g.pick(["山东青岛", "山东潍坊", "山东烟台", "河南郑州",
                                                 "安徽阜阳", "江苏徐州", "河北保定"]),
                           "vch_education": g.pick(["初中", "高中", "中专", "大专", "本科"]),
                           "vch_contact": g.name(), "vch_contact_tel": g.mobile(),
                           "num_salary": f"{g.between(12, 60) * 100}.00",
                           "vch_memo": "" if g.chance(0.1) else None})
    T["cybr_sys_emp"] = emps
    T["cybr_sys_emp_other"] = others
    cashiers = [e for e in emps if e["ch_deptno"] in ("101", "102", "104")][:30]
    operators = [{"vch_operid": "8001", "vch_operator": "系统管理员", "ch_empno": None,
                  "vch_password": ms.scramble("8001"), "ch_flag_manager": "Y",
                  "int_discount": 50, "dt_operdate": t0}]
    for i, e in enumerate(cashiers, 2):
        operators.append({"vch_operid": f"80{i:02d}", "vch_operator": e["vch_empname"],
                          "ch_empno": e["ch_empno"], "vch_password": ms.scramble(f"80{i:02d}"),
                          "ch_flag_manager": "Y" if e["vch_position"] in ("前厅经理", "总经理",
                                                                          "副总经理", "领班") else "N",
                          "int_discount": 80 if i < 6 else 100, "dt_operdate": t0})
    T["cybr_sys_operator"] = operators
    oper_ids = [o["vch_operid"] for o in operators]
    managers = [o["vch_operid"] for o in operators if o["ch_flag_manager"] == "Y"]
    waiters = [e["ch_empno"] for e in emps if e["vch_position"] in ("服务员", "领班")]
    senders = [e["ch_empno"] for e in emps if e["ch_deptno"] == "107"]

    T["cybr_cp_memo_type"] = [{"ch_memotypeno": m, "vch_memotypename": n} for m, n in MEMO_TYPES]
    memos = []
    for mt, names in MEMOS.items():
        for n in names:
            memos.append({"ch_memono": f"{len(memos) + 1:04d}", "vch_memoname": n,
                          "ch_memotypeno": mt, "num_addprice": MEMO_PRICE.get(mt, "0.00")})
    T["cybr_cp_memo"] = memos
    memo_name = {m["ch_memono"]: (m["vch_memoname"], m["num_addprice"]) for m in memos}
    memo_nos = list(memo_name)
    dish_memo = []
    for d in dishes:
        if d[2].startswith(("02", "01", "04")):
            for m in sorted(g.r.sample(memo_nos, 4)):
                dish_memo.append({"ch_dishno": d[0], "ch_memono": m})
    T["cybr_cp_dish_memo"] = dish_memo
    cp_projects = [("001", "热菜厨打", "\\\\KITCHEN\\EPSON-HOT"), ("002", "凉菜厨打", "\\\\KITCHEN\\EPSON-COLD"),
                   ("003", "面点厨打", "\\\\KITCHEN\\EPSON-NOODLE"), ("004", "吧台出品", "\\\\BAR\\STAR-TSP"),
                   ("005", "传菜总单", "\\\\PASS\\EPSON-PASS"), ("006", "外卖打包单", "\\\\TOGO\\EPSON-TOGO")]
    T["cybr_cp_project"] = [{"ch_projectno": p, "vch_projectname": n, "vch_printer": pr,
                             "int_copies": 2 if p == "005" else 1} for p, n, pr in cp_projects]
    cp_areas = [("001", "大厅出品"), ("002", "包间出品"), ("003", "外卖出品"), ("004", "吧台出品")]
    T["cybr_cp_area"] = [{"ch_cpareano": a, "vch_cpareaname": n, "vch_memo": None}
                         for a, n in cp_areas]

    def project_of(typeno):
        return {"02": "001", "03": "002", "01": "003", "05": "003", "06": "004", "08": "004"}.get(
            typeno[:2], "001")

    detail = []
    for cpa, areas in (("001", ["01", "03", "04", "05"]), ("002", ["02"]), ("003", ["06"]),
                       ("004", ["05"])):
        for a in areas:
            for t, _, _ in TYPES:
                detail.append({"ch_cpareano": cpa, "ch_areano": a, "ch_dish_typeno": t,
                               "ch_projectno": "006" if cpa == "003" else project_of(t)})
    T["cybr_cp_area_detail"] = detail
    T["cybr_cp_dish_print"] = [{"ch_dishno": d[0], "ch_projectno": project_of(d[2]),
                                "int_copies": 1} for d in dishes if not d[2].startswith("07")]

    T["t_stbr_material_series"] = [{"ch_seriesno": s, "vch_seriesname": n}
                                   for s, n in MATERIAL_SERIES]
    mtypes = []
    for s, n in MATERIAL_SERIES:
        for i, sub in enumerate(["常用", "精选", "进口"][: 3 if s in ("01", "02", "03", "04") else 2],
                                1):
            mtypes.append({"ch_typeno": f"{s}{i:02d}", "ch_seriesno": s,
                           "vch_typename": f"{sub}{n}"[:10]})
    T["t_stbr_material_type"] = mtypes
    T["t_stbr_material_unit"] = [{"ch_unitno": u, "vch_unitname": n} for u, n in UNITS]

    T["t_st_provider_type"] = [{"ch_typeno": t, "vch_typename": n} for t, n in PROVIDER_TYPES]
    providers = []
    for t, _ in PROVIDER_TYPES:
        for i in range(6):
            word = COMPANY_WORDS[(int(t) * 7 + i * 3) % len(COMPANY_WORDS)]
            name = f"青岛{word}{PROVIDER_KIND[t]}有限公司"
            providers.append({"ch_providerno": f"P{t}{i + 1:02d}", "vch_providername": name,
                              "vch_shortname": f"{word}{PROVIDER_KIND[t][:2]}", "ch_typeno": t,
                              "vch_linkman": g.name(), "vch_tel": g.phone(),
                              "vch_address": g.address(), "vch_bank": "中国工商银行青岛分行",
                              "vch_account": "3803" + "".join(str(g.r.randrange(10))
                                                              for _ in range(15)),
                              "num_credit": f"{g.between(1, 20) * 5000}.00"})
    T["t_st_provider"] = providers
    provider_of_series = {s: [p["ch_providerno"] for p in providers
                              if p["ch_typeno"] == min(s, "07")] for s, _ in MATERIAL_SERIES}

    materials = []
    for s, words in MATERIAL_WORDS.items():
        types = [t["ch_typeno"] for t in mtypes if t["ch_seriesno"] == s]
        for k, w in enumerate(words):
            for variant in range(1 + (2 if s in ("01", "03", "04") else 1)):
                label = ["", "(精品)", "(散装)"][variant]
                no = f"M{s}{len([m for m in materials if m['ch_typeno'][:2] == s]) + 1:03d}"
                price = g.money(1, 80, 2) if s != "07" else g.money(0.05, 2, 2)
                materials.append({
                    "ch_materialno": no, "vch_materialname": w + label, "vch_spell": None,
                    "vch_spec": g.pick(["500g/袋", "1kg/袋", "散装", "5L/桶", "24瓶/箱", "100个/包"]),
                    "ch_typeno": types[(k + variant) % len(types)], "ch_unitno": SERIES_UNIT[s],
                    "num_cost_price": price + "00", "ch_halfflag": "Y" if s == "08" else "N",
                    "num_min_stock": f"{g.between(5, 50)}.000",
                    "num_max_stock": f"{g.between(100, 500)}.000",
                    "ch_providerno": g.pick(provider_of_series[s]) if s != "08" else None})
    T["t_stbr_material"] = materials
    mat_no = [m["ch_materialno"] for m in materials]
    mat_price = {m["ch_materialno"]: Decimal(m["num_cost_price"]) for m in materials}
    raw = [m for m in mat_no if not m.startswith(("M07", "M08"))]
    halves = [m for m in mat_no if m.startswith("M08")]

    recipe = []
    for d in dishes:
        if d[2].startswith("07"):
            continue
        for m in sorted(g.r.sample(raw, g.between(2, 5))):
            recipe.append({"ch_dishno": d[0], "ch_materialno": m,
                           "num_num": str(Decimal(g.between(5, 300)) / 1000)})
    T["t_stbr_dish_material"] = recipe
    T["t_stbr_material_half"] = [
        {"ch_halfno": h, "ch_materialno": m, "num_num": str(Decimal(g.between(50, 800)) / 1000)}
        for h in halves for m in sorted(g.r.sample(raw, 4))]

    T["t_sys_dept"] = [{"ch_deptno": d, "vch_deptname": n, "ch_type": t, "vch_manager": g.name()}
                       for d, n, t in WAREHOUSES]
    whs = [w[0] for w in WAREHOUSES]

    mtypes_m = [("01", "普通会员", 100, "1.00", "1"), ("02", "银卡会员", 95, "1.00", "1"),
                ("03", "金卡会员", 90, "1.50", "1"), ("04", "钻石会员", 85, "2.00", "1"),
                ("05", "员工卡", 80, "0.00", "0")]
    T["t_m_member_type"] = [{"ch_typeno": t, "vch_typename": n, "int_discount": d,
                             "num_point_rate": r, "ch_favourable": f} for t, n, d, r, f in mtypes_m]
    members = []
    for i in range(1, 3001):
        joined = YEAR_START + dt.timedelta(days=g.between(0, 364))
        amount = Decimal(g.between(0, 200000)) / 100
        members.append({
            "ch_memberno": f"6600{i:06d}", "vch_member": g.name(),
            "ch_typeno": g.pick(["01", "01", "01", "02", "02", "03", "04", "05"]),
            "ch_sex": g.pick("12"), "vch_tel": g.phone() if g.chance(0.3) else None,
            "vch_handtel": g.mobile(), "vch_idcard": None,
            "dt_birthday": dt.datetime(g.between(1950, 1995), g.between(1, 12), g.between(1, 28))
            if g.chance(0.7) else None,
            "vch_address": g.address() if g.chance(0.5) else None,
            "vch_password": ms.scramble(f"{g.between(0, 999999):06d}"),
            "num_amount": q2(amount), "num_point": q2(amount * 2),
            "ch_state": "1" if g.chance(0.97) else "2",
            "dt_limit": dt.datetime(joined.year + 2, joined.month, 1),
            "vch_operid": g.pick(oper_ids), "dt_operdate": g.time_on(joined, 10, 21)})
    T["t_m_member"] = members
    member_nos = [m["ch_memberno"] for m in members]

    # -- the open front-desk records of the business day ----------------------------------
    bills_wanted = max(40, int(150 * scale))
    bill_count = min(9999, bills_wanted)
    lines_per_bill = max(4, round(6 * scale * 150 / bill_count))
    masters, tmp_tables, pays, pay_details, togos = [], [], [], [], []
    bill_tables = {}
    pay_serial = 0
    bill_pay = {}
    for serial in range(1, bill_count + 1):
        billno = number("B", DAY, serial)
        takeaway = serial % 8 == 0
        table = g.pick(togo_tables if takeaway else dine_tables)
        bill_tables[billno] = table
        when = g.time_on(DAY, 7, 21)
        bustype = "01" if when.hour < 10 else "02" if when.hour < 14 else \
            "03" if when.hour < 17 else "04"
        persons = 1 if takeaway else g.between(1, 8)
        masters.append({"ch_billno": billno, "ch_tableno": table, "int_person": persons,
                        "ch_bustypeno": bustype, "num_cost": "0.00",
                        "vch_memo": g.pick(["生日聚餐", "\"老客户\"指定座位", "需要儿童椅", ""])
                        if g.chance(0.05) else None,
                        "vch_operid": g.pick(oper_ids), "dt_operdate": when})
        payno = None
        if g.chance(0.4):
            pay_serial += 1
            payno = number("P", DAY, pay_serial)
            bill_pay[billno] = payno
        if takeaway:
            togos.append({"ch_billno": billno, "ch_payno": payno, "vch_linkman": g.name(),
                          "vch_tel": g.mobile(), "vch_address": g.address(),
                          "ch_sendtime": f"{min(when.hour + 1, 23):02d}:{g.pick(['00', '15', '30', '45'])}",
                          "ch_sender": g.pick(senders), "num_cost": "0.00",
                          "ch_state": g.pick("012"), "vch_operid": masters[-1]["vch_operid"],
                          "dt_operdate": when})
        else:
            tmp_tables.append({"ch_billno": billno, "ch_payno": payno, "ch_tableno": table,
                               "int_person": persons, "ch_bustypeno": bustype,
                               "ch_ageno": g.pick(["02", "03", "03", "04", "05"]),
                               "ch_waiter": g.pick(waiters), "vch_memo": None,
                               "vch_operid": masters[-1]["vch_operid"], "dt_operdate": when})
    master_by_bill = {m["ch_billno"]: m for m in masters}
    togo_by_bill = {t["ch_billno"]: t for t in togos}

    # Order lines: a generator, as they grow with the size.
    non_suit = [d for d in dishes if not d[2].startswith("07")]
    suit_parts = {s: [r["ch_dishno"] for r in suit_rows if r["ch_suitno"] == s]
                  for s, _, _ in suits}
    order_lines = []  # (flowid, billno, dishno) for the memo, delete and log tables
    bill_cost = {}

    def orderdish():
        flow = 0
        for m in masters:
            billno = m["ch_billno"]
            n = max(1, lines_per_bill + g.between(-3, 3))
            cost = Decimal(0)
            for _ in range(n):
                flow += 1
                if g.chance(0.08):
                    suitno = g.pick(suits)[0]
                    dishno = g.pick(suit_parts[suitno])
                    price, flag = "0.00", "Y"
                else:
                    d = g.pick(non_suit)
                    dishno, suitno, price, flag = d[0], None, d[3], "N"
                specno = g.pick(spec_of[dishno]) if dishno in spec_of and flag == "N" else None
                if specno == "02":
                    price = q2(Decimal(price) + 3)
                num = g.between(1, 3)
                cost += Decimal(price) * num
                order_lines.append((flow, billno, dishno, price))
                yield {"ch_billno": billno, "ch_payno": bill_pay.get(billno),
                       "ch_tableno": bill_tables[billno], "ch_dishno": dishno, "ch_specno": specno,
                       "num_num": f"{num}.000", "num_num_back": "0.000", "num_price": price,
                       "int_discount": g.pick([100, 100, 100, 90, 88]), "ch_suitflag": flag,
                       "ch_suitno": suitno, "ch_presentflag": "Y" if g.chance(0.02) else "N",
                       "ch_printflag": "Y" if g.chance(0.9) else "N",
                       "vch_memo": None, "vch_operid": m["vch_operid"],
                       "dt_operdate": m["dt_operdate"] + dt.timedelta(minutes=g.between(0, 40))}
            bill_cost[billno] = cost

    T["cybr_u_tmp_orderdish"] = orderdish
    # The tables below read what orderdish made; they are called after it was written.
    T["cybr_u_tmp_master"] = lambda: (dict(m, num_cost=q2(bill_cost.get(m["ch_billno"], 0)))
                                      for m in masters)
    T["cybr_u_tmp_table"] = tmp_tables

    def checkout_master():
        for billno, payno in bill_pay.items():
            cost = bill_cost.get(billno, Decimal(0))
            discount = q2(cost * Decimal("0.1")) if g.chance(0.2) else "0.00"
            real = Decimal(cost) - Decimal(discount)
            blot = real - real.quantize(Decimal("1"), rounding="ROUND_DOWN")
            pays.append((payno, real - blot))
            yield {"ch_payno": payno, "ch_billno": billno, "ch_tableno": bill_tables[billno],
                   "num_cost": q2(cost), "num_discount": discount, "num_present": "0.00",
                   "num_service": "0.00", "num_blotout": q2(blot), "num_realamount": q2(real - blot),
                   "ch_memberno": g.pick(member_nos) if g.chance(0.3) else None,
                   "ch_state": "0", "vch_operid": master_by_bill[billno]["vch_operid"],
                   "dt_operdate": master_by_bill[billno]["dt_operdate"] + dt.timedelta(minutes=45)}

    T["cybr_u_tmp_checkout_master"] = checkout_master

    def checkout_detail():
        for payno, amount in pays:
            parts = [("01", amount)] if amount < 50 or g.chance(0.5) else \
                [("02", amount - 20), ("01", Decimal(20))]
            for mode, value in parts:
                given = (value / 10).quantize(Decimal(1), rounding="ROUND_UP") * 10 \
                    if mode == "01" else value
                yield {"ch_payno": payno, "ch_paymodeno": mode, "num_payamount": q2(given),
                       "num_change": q2(given - value), "num_realamount": q2(value),
                       "vch_voucherno": None, "vch_operid": g.pick(oper_ids),
                       "dt_operdate": dt.datetime.combine(DAY, dt.time(21, 0))}

    T["cybr_u_tmp_checkout_detail"] = checkout_detail

    def orderdish_memo():
        for flow, billno, dishno, _ in order_lines:
            if g.chance(0.3):
                m = g.pick(memo_nos)
                yield {"ch_billno": billno, "int_orderflow": flow, "ch_memono": m,
                       "vch_memoname": memo_name[m][0], "num_addprice": memo_name[m][1]}

    T["cybr_u_tmp_orderdish_memo"] = orderdish_memo

    def orderdish_delete():
        for flow, billno, dishno, price in order_lines:
            if g.chance(0.03):
                r = g.pick(REASONS)
                yield {"ch_billno": billno, "ch_tableno": bill_tables[billno], "ch_dishno": dishno,
                       "num_num": "1.000", "num_price": price, "ch_reasonno": r[0],
                       "vch_reason": r[1], "vch_operid": g.pick(oper_ids),
                       "dt_operdate": master_by_bill[billno]["dt_operdate"] +
                       dt.timedelta(minutes=10)}

    T["cybr_u_orderdish_delete"] = orderdish_delete

    def orderdish_log():
        for flow, billno, dishno, price in order_lines:
            if g.chance(0.12):
                kind = g.pick("1234")
                old, new = {"1": ("1", "2"), "2": (price, q2(Decimal(price) * Decimal("0.8"))),
                            "3": ("100", "90"), "4": ("N", "Y")}[kind]
                yield {"int_orderflow": flow, "ch_type": kind, "vch_old_value": old,
                       "vch_new_value": new, "ch_reasonno": g.pick(REASONS)[0],
                       "vch_operid": g.pick(oper_ids), "vch_authorize": g.pick(managers),
                       "dt_operdate": master_by_bill[billno]["dt_operdate"] +
                       dt.timedelta(minutes=15)}

    T["cybr_u_orderdish_log"] = orderdish_log
    T["cybr_u_tmp_togo"] = lambda: (dict(t, num_cost=q2(bill_cost.get(t["ch_billno"], 0)))
                                    for t in togo_by_bill.values())

    # -- a year of stock ------------------------------------------------------------------
    voucher_count = max(50, int(2000 * scale))
    days = [YEAR_START + dt.timedelta(days=i) for i in range(365)]
    vouchers = []  # (voucherno, type, dept, dept_to, provider, when)
    per_day = {}
    for i in range(voucher_count):
        day = days[i * 365 // voucher_count]
        per_day[day] = per_day.get(day, 0) + 1
        vtype = g.pick(["01", "01", "02", "02", "02", "03", "04"])
        dept = "001" if vtype in ("01", "03") else g.pick(whs)
        dept_to = g.pick([w for w in whs if w != dept]) if vtype == "03" else None
        provider = g.pick(providers)["ch_providerno"] if vtype == "01" else None
        vouchers.append((f"V{day:%y%m%d}{per_day[day]:04d}", vtype, dept, dept_to, provider,
                         g.time_on(day, 8, 18)))
    voucher_lines = {}

    def voucher_detail():
        for v in vouchers:
            total = Decimal(0)
            lines = []
            for m in g.r.sample(raw, g.between(3, 9)):
                num = Decimal(g.between(1, 400)) / 10
                price = mat_price[m]
                amount = (num * price).quantize(Decimal("0.01"))
                total += amount
                lines.append((m, num, price, amount))
                yield {"ch_voucherno": v[0], "ch_materialno": m, "num_num": str(num),
                       "num_price": str(price), "num_amount": str(amount),
                       "vch_memo": None}
            voucher_lines[v[0]] = (total, lines)

    T["t_st_voucher_detail"] = voucher_detail
    T["t_st_voucher_master"] = lambda: (
        {"ch_voucherno": v[0], "ch_vouchertype": v[1], "ch_deptno": v[2], "ch_deptno_to": v[3],
         "ch_providerno": v[4], "num_amount": q2(voucher_lines[v[0]][0]), "ch_state": "1",
         "vch_operid": g.pick(oper_ids), "dt_operdate": v[5], "vch_audit": "8001",
         "dt_audit": v[5] + dt.timedelta(hours=2),
         "vch_memo": {"01": "采购入库", "02": "厨房领料", "03": "仓库调拨", "04": "过期报损"}[v[1]]}
        for v in vouchers)

    def io_flow():
        for v in vouchers:
            for m, num, price, amount in voucher_lines[v[0]][1]:
                sign = "" if v[1] == "01" else "-"
                yield {"ch_deptno": v[2], "ch_materialno": m, "ch_voucherno": v[0],
                       "ch_iotype": v[1], "num_num": sign + str(num), "num_price": str(price),
                       "num_amount": sign + str(amount), "vch_operid": "8001",
                       "dt_operdate": v[5]}
                if v[3]:
                    yield {"ch_deptno": v[3], "ch_materialno": m, "ch_voucherno": v[0],
                           "ch_iotype": "05", "num_num": str(num), "num_price": str(price),
                           "num_amount": str(amount), "vch_operid": "8001",
                           "dt_operdate": v[5]}

    T["t_st_material_io_flow"] = io_flow

    stock = []
    for w in whs:
        for m in sorted(g.r.sample(raw, len(raw) * 2 // 3)):
            num = Decimal(g.between(0, 5000)) / 10
            stock.append({"ch_deptno": w, "ch_materialno": m, "num_num": str(num),
                          "num_amount": q2(num * mat_price[m]),
                          "dt_operdate": dt.datetime.combine(DAY, dt.time(8, 0))})
    T["t_st_material_num"] = stock

    pd_masters, pd_details = [], []
    for month in range(12):
        day = YEAR_START + dt.timedelta(days=30 * month + 27)
        for w in whs:
            sheet = f"PD{day:%y%m%d}{w}"
            pd_masters.append({"ch_sheetno": sheet, "ch_deptno": w, "dt_pddate": day_dt(day),
                               "ch_state": "1", "vch_operid": g.pick(oper_ids),
                               "dt_operdate": day_dt(day, 20), "vch_audit": "8001",
                               "dt_audit": day_dt(day, 21), "vch_memo": f"{day:%Y年%m月}月末盘点"})
            for m in sorted(g.r.sample(raw, 25)):
                book = Decimal(g.between(0, 3000)) / 10
                real = book + Decimal(g.between(-20, 5)) / 10
                pd_details.append({"ch_sheetno": sheet, "ch_materialno": m,
                                   "num_book_num": str(book), "num_real_num": str(max(real, 0)),
                                   "num_price": str(mat_price[m]),
                                   "vch_memo": "盘亏" if real < book else None})
    T["t_st_pd_master"] = pd_masters
    T["t_st_pd_detail"] = pd_details

    T["t_st_material_price"] = [{"ch_materialno": m, "num_price": str(mat_price[m]),
                                 "vch_operid": "8001", "dt_operdate": day_dt(DAY, 8)}
                                for m in mat_no]
    log_count = max(20, int(2000 * scale))

    def price_log():
        for i in range(log_count):
            m = raw[i % len(raw)]
            old = mat_price[m] * Decimal(g.between(80, 120)) / 100
            yield {"ch_materialno": m, "num_old_price": str(old.quantize(Decimal("0.0001"))),
                   "num_new_price": str(mat_price[m]), "vch_operid": g.pick(oper_ids),
                   "dt_operdate": g.time_on(days[i * 365 // log_count], 8, 18)}

    T["t_st_material_price_log"] = price_log

    balances = []
    for month in range(12):
        day = YEAR_START + dt.timedelta(days=30 * month + 25)
        for p in providers:
            if g.chance(0.7):
                payable = Decimal(g.between(500, 30000))
                balances.append({"ch_balanceno": f"JS{day:%y%m%d}{p['ch_providerno']}",
                                 "ch_providerno": p["ch_providerno"], "num_payable": q2(payable),
                                 "num_paid": q2(payable if month < 11 else payable / 2),
                                 "ch_paymodeno": g.pick(["01", "02", "06"]),
                                 "ch_state": "1" if month < 11 else "0",
                                 "vch_operid": g.pick(oper_ids), "dt_operdate": day_dt(day, 15),
                                 "vch_memo": None})
    T["t_st_provider_balance"] = balances

    stock_masters, stock_details = [], []
    for week in range(52):
        day = YEAR_START + dt.timedelta(days=7 * week + 1)
        for k, w in enumerate(whs[:3]):
            sheet = f"CG{day:%y%m%d}{k + 1:02d}"
            stock_masters.append({"ch_sheetno": sheet, "ch_deptno": w,
                                  "ch_providerno": g.pick(providers)["ch_providerno"],
                                  "dt_needdate": day_dt(day + dt.timedelta(days=2)),
                                  "ch_state": "2", "vch_operid": g.pick(oper_ids),
                                  "dt_operdate": day_dt(day, 9), "vch_audit": "8001",
                                  "dt_audit": day_dt(day, 11), "vch_memo": None})
            for m in g.r.sample(raw, g.between(4, 10)):
                num = Decimal(g.between(10, 500)) / 10
                stock_details.append({"ch_sheetno": sheet, "ch_materialno": m,
                                      "num_num": str(num), "num_price": str(mat_price[m]),
                                      "num_amount": q2(num * mat_price[m]), "vch_memo": None})
    T["t_st_stock_master"] = stock_masters
    T["t_st_stock_detail"] = stock_details
    T["t_st_stock_price"] = [
        {"ch_providerno": g.pick(providers)["ch_providerno"], "ch_materialno": m,
         "num_old_price": str((mat_price[m] * Decimal("1.05")).quantize(Decimal("0.0001"))),
         "num_new_price": str(mat_price[m]), "vch_operid": g.pick(oper_ids),
         "dt_operdate": g.time_on(g.pick(days), 9, 17)} for m in raw for _ in range(2)]
    return T


def day_dt(day, hour=0):
    return dt.datetime(day.year, day.month, day.day, hour)


# ---------------------------------------------------------------------------------------------
# Writing and checking
# ---------------------------------------------------------------------------------------------

# The order in which tables are made: producers of what later tables read first.
MAKE_ORDER_FIRST = ["cybr_u_tmp_orderdish", "cybr_u_tmp_master", "cybr_u_tmp_checkout_master",
                    "cybr_u_tmp_checkout_detail", "t_st_voucher_detail", "t_st_voucher_master"]


class Writer:
    """Writes checked rows, keeping the keys that references point at."""

    def __init__(self, schema, out):
        self.schema = schema
        self.out = out
        self.targets = {}  # (table, columns) -> set of keys
        for _, _, dst, dst_cols in ms.REFERENCES:
            self.targets.setdefault((dst, dst_cols), set())
        self.pending = []  # (src table, row number, src columns, key, dst, dst columns)
        self.counts = {}

    def write(self, name, rows):
        table = self.schema.tables[name]
        cols = table.columns
        names = [c.name for c in cols]
        uniques = [table.primary_key] + table.uniques
        seen = [dict() for _ in uniques]
        want = [(dst_cols, [names.index(c) for c in dst_cols.split()])
                for (dst, dst_cols) in self.targets if dst == name]
        refs = [(src_cols.split(), [names.index(c) for c in src_cols.split()], dst, dst_cols)
                for src, src_cols, dst, dst_cols in ms.REFERENCES if src == name]
        bill_cols = [names.index(c) for c in ("ch_billno", "ch_payno")
                     if c in names and name.startswith("cybr_u_")]
        day = DAY.strftime("%y%m%d")
        path = self.out / f"{name}.txt"
        tmp = path.with_name(path.name + ".tmp")
        n = 0
        with open(tmp, "wb") as f:
            for given in rows:
                n += 1
                values = []
                for c in cols:
                    try:
                        if c.name in given:
                            v = given[c.name]
                        elif c.identity:
                            v = n
                        else:
                            v = ms.default_value(c)
                        values.append(ms.coerce(c, v))
                    except ValueError as e:
                        raise ms.SampleError(f"{name} row {n} column {c.name}: {e}") from None
                unknown = set(given) - set(names)
                if unknown:
                    raise ms.SampleError(f"{name}: no columns {sorted(unknown)}")
                for k, key_cols in enumerate(uniques):
                    key = tuple(values[names.index(c)].rstrip(" ").upper()
                                if isinstance(values[names.index(c)], str)
                                else values[names.index(c)] for c in key_cols)
                    if key in seen[k]:
                        raise ms.SampleError(f"{name}: rows {seen[k][key]} and {n} share the key "
                                             f"{key_cols} {key}")
                    seen[k][key] = n
                for i in bill_cols:
                    m = ms.NUMBER_RE.match(values[i] or "")
                    if values[i] is not None and (not m or m.group(1) != day):
                        raise ms.SampleError(f"{name} row {n}: {values[i]!r} is no number of "
                                             f"{day}")
                for dst_cols, idx in want:
                    self.targets[(name, dst_cols)].add(tuple(values[i] for i in idx))
                for src_cols, idx, dst, dst_cols in refs:
                    key = tuple(values[i] for i in idx)
                    if any(v is None for v in key):
                        continue
                    target = self.targets[(dst, dst_cols)]
                    if dst in self.counts:
                        if key not in target:
                            raise ms.SampleError(f"{name} row {n}: {' '.join(src_cols)} {key} "
                                                 f"not found in {dst}")
                    else:
                        self.pending.append((name, n, src_cols, key, dst, dst_cols))
                f.write(("\t".join(ms.format_value(c, v) for c, v in zip(cols, values))
                         + "\r\n").encode("gbk"))
        tmp.replace(path)
        self.counts[name] = n

    def finish(self):
        for name, n, src_cols, key, dst, dst_cols in self.pending:
            if key not in self.targets[(dst, dst_cols)]:
                raise ms.SampleError(f"{name} row {n}: {' '.join(src_cols)} {key} not found in "
                                     f"{dst}")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, required=True, help="directory for the files")
    parser.add_argument("--rows", type=int, default=DEFAULT_ROWS,
                        help=f"about how many rows in all (default {DEFAULT_ROWS})")
    parser.add_argument("--quiet", action="store_true", help="print only the total")
    args = parser.parse_args(argv)
    if args.rows < 10000:
        parser.error("--rows must be at least 10000")
    # About 12,300 rows do not grow with the size; the rest are about 31,300 at scale 1.
    scale = (args.rows - 12300) / 31300
    started = time.monotonic()
    schema = ms.load_schema()
    shop = build_shop(Gen(START_VALUE), scale)
    catalogue = [t for _, t in ms.CATALOGUE]
    missing = [t for t in catalogue if t not in shop]
    if missing:
        print(f"make_demo_data: no data for {missing}", file=sys.stderr)
        return 2
    args.out.mkdir(parents=True, exist_ok=True)
    writer = Writer(schema, args.out)
    order = MAKE_ORDER_FIRST + [t for t in catalogue if t not in MAKE_ORDER_FIRST]
    try:
        for name in order:
            rows = shop[name]
            writer.write(name, rows() if callable(rows) else rows)
        writer.finish()
    except ms.SampleError as e:
        print(f"make_demo_data: {e}", file=sys.stderr)
        return 2
    total = sum(writer.counts.values())
    if not args.quiet:
        for label, name in ms.CATALOGUE:
            print(f"  {name:<28}{writer.counts[name]:>10,}")
    print(f"make_demo_data: {total:,} rows in {len(catalogue)} files in {args.out} "
          f"({time.monotonic() - started:.1f} s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
