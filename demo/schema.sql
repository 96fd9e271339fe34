-- Template database of the fast-food restaurant system: the system-variable table and the
-- application tables that the base-data tool exports and imports, with their keys, indexes and
-- triggers. Run it in an empty database whose collation uses code page 936
-- (Chinese_PRC_CI_AS): every length of a char/varchar column counts bytes, and a Chinese
-- character takes two.
--
-- Naming: ch_ codes and flags (char/varchar), vch_ names and texts (varchar), num_ amounts,
-- prices and quantities (decimal), int_ counters and sequence numbers, dt_ dates and times.
-- Flags are 'Y'/'N' unless a column says otherwise. Bill numbers are one letter, the business
-- date as yymmdd, then a four-digit serial ('B0612080001'); payment numbers likewise
-- ('P0612080001'). The open front-desk tables (cybr_u_) are re-dated to the current day after
-- an import: positions 2-7 of ch_billno/ch_payno are replaced and dt_operdate is set to now.
--
-- No table refers to another through a foreign key: the base-data import empties and refills
-- the tables one by one with TRUNCATE TABLE.

----------------------------------------------------------------------------------------------
-- System variables. The installer adds the row Is_Distributed (installation mode); the
-- application reads and adds variables by identifier.
----------------------------------------------------------------------------------------------
CREATE TABLE t_sys_system (
  sys_var_id    varchar(30)  NOT NULL,
  sys_var_name  varchar(100) NULL,
  sys_var_value varchar(255) NULL,
  sys_ver_flag  varchar(10)  NULL,
  CONSTRAINT pk_t_sys_system PRIMARY KEY (sys_var_id)
)
GO

INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('uniform_saleway', N'统一销售方式', '1', '')
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('system_version', N'数据库版本', 'V5 20100601', '')
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('branch_no', N'门店编号', '0001', '')
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('pay_atonce', N'点菜后立即结账', '1', '')
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('service_rate', N'服务费率(%)', '0', '')
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('blotout_mode', N'抹零方式(0不抹零 1抹角 2抹分)', '2', '')
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('bill_serial_len', N'单号流水号位数', '4', '')
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('kitchen_print', N'启用厨房打印', '1', '')
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('member_point_rate', N'会员每消费一元积分', '1', '')
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('stock_check', N'出库时检查库存', '1', '')
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('cost_compute', N'成本计算方式(0移动加权平均 1先进先出)', '0', '')
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('monthsettle_day', N'月结日', '1', '')
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value, sys_ver_flag)
  VALUES ('bill_title', N'小票抬头', N'欢迎光临', '')
GO

----------------------------------------------------------------------------------------------
-- Dishes, set menus, prices, tables and payment (cybr_bt_)
----------------------------------------------------------------------------------------------

-- 菜品大类: dish series
CREATE TABLE cybr_bt_dish_series (
  ch_seriesno    char(2)     NOT NULL,
  vch_seriesname varchar(20) NOT NULL,
  int_sort       int         NOT NULL DEFAULT 0,
  ch_useflag     char(1)     NOT NULL DEFAULT 'Y',
  CONSTRAINT pk_cybr_bt_dish_series PRIMARY KEY (ch_seriesno)
)
GO

-- 菜品小类: dish type within a series
CREATE TABLE cybr_bt_dish_type (
  ch_dish_typeno    char(4)     NOT NULL,
  ch_seriesno       char(2)     NOT NULL,
  vch_dish_typename varchar(20) NOT NULL,
  int_sort          int         NOT NULL DEFAULT 0,
  ch_useflag        char(1)     NOT NULL DEFAULT 'Y',
  CONSTRAINT pk_cybr_bt_dish_type PRIMARY KEY (ch_dish_typeno)
)
GO

-- 菜品单位: sales units; ch_numtype '1' counted, '2' weighed
CREATE TABLE cybr_bt_dish_unit (
  ch_unitno    char(2)     NOT NULL,
  vch_unitname varchar(10) NOT NULL,
  ch_numtype   char(1)     NOT NULL DEFAULT '1',
  CONSTRAINT pk_cybr_bt_dish_unit PRIMARY KEY (ch_unitno)
)
GO

-- 菜品资料: dishes; ch_suitflag marks a set menu, ch_curprice a price entered at ordering
CREATE TABLE cybr_bt_dish (
  ch_dishno      varchar(10)   NOT NULL,
  vch_dishname   varchar(40)   NOT NULL,
  vch_spell      varchar(20)   NULL,
  vch_english    varchar(60)   NULL,
  ch_dish_typeno char(4)       NOT NULL,
  ch_unitno      char(2)       NOT NULL,
  num_price      decimal(12,2) NOT NULL DEFAULT 0,
  num_m_price    decimal(12,2) NULL,
  ch_suitflag    char(1)       NOT NULL DEFAULT 'N',
  ch_discount    char(1)       NOT NULL DEFAULT 'Y',
  ch_curprice    char(1)       NOT NULL DEFAULT 'N',
  ch_stopflag    char(1)       NOT NULL DEFAULT 'N',
  vch_pic        varchar(100)  NULL,
  int_sort       int           NOT NULL DEFAULT 0,
  vch_operid     varchar(10)   NULL,
  dt_operdate    datetime      NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_bt_dish PRIMARY KEY (ch_dishno)
)
GO
CREATE INDEX ix_cybr_bt_dish_type ON cybr_bt_dish (ch_dish_typeno)
GO

-- 菜品规格资料: sizes of a dish with their own prices
CREATE TABLE cybr_bt_dish_spec (
  ch_dishno    varchar(10)   NOT NULL,
  ch_specno    char(2)       NOT NULL,
  vch_specname varchar(20)   NOT NULL,
  num_price    decimal(12,2) NOT NULL DEFAULT 0,
  num_m_price  decimal(12,2) NULL,
  CONSTRAINT pk_cybr_bt_dish_spec PRIMARY KEY (ch_dishno, ch_specno)
)
GO

-- 套菜明细设置: the dishes of a set menu (ch_suitno is the set menu's dish number)
CREATE TABLE cybr_bt_dish_suit (
  int_flowid    int IDENTITY(1,1) NOT NULL,
  ch_suitno     varchar(10)       NOT NULL,
  ch_dishno     varchar(10)       NOT NULL,
  num_num       decimal(12,3)     NOT NULL DEFAULT 1,
  num_price     decimal(12,2)     NOT NULL DEFAULT 0,
  ch_changeflag char(1)           NOT NULL DEFAULT 'N',
  CONSTRAINT pk_cybr_bt_dish_suit PRIMARY KEY (int_flowid),
  CONSTRAINT uq_cybr_bt_dish_suit UNIQUE (ch_suitno, ch_dishno)
)
GO

-- 套菜可替换菜品设置: dishes that may replace one dish of a set menu
CREATE TABLE cybr_bt_suit_change (
  int_flowid       int IDENTITY(1,1) NOT NULL,
  ch_suitno        varchar(10)       NOT NULL,
  ch_dishno        varchar(10)       NOT NULL,
  ch_change_dishno varchar(10)       NOT NULL,
  num_num          decimal(12,3)     NOT NULL DEFAULT 1,
  num_addprice     decimal(12,2)     NOT NULL DEFAULT 0,
  CONSTRAINT pk_cybr_bt_suit_change PRIMARY KEY (int_flowid)
)
GO

-- 菜品特价设置: special prices by date range, time of day and weekday ('1'..'7')
CREATE TABLE cybr_bt_dish_special (
  int_flowid    int IDENTITY(1,1) NOT NULL,
  ch_dishno     varchar(10)       NOT NULL,
  num_price     decimal(12,2)     NOT NULL,
  dt_date_begin datetime          NOT NULL,
  dt_date_end   datetime          NOT NULL,
  ch_time_begin char(5)           NOT NULL DEFAULT '00:00',
  ch_time_end   char(5)           NOT NULL DEFAULT '23:59',
  vch_weekday   varchar(7)        NOT NULL DEFAULT '1234567',
  ch_state      char(1)           NOT NULL DEFAULT 'Y',
  vch_operid    varchar(10)       NULL,
  dt_operdate   datetime          NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_bt_dish_special PRIMARY KEY (int_flowid)
)
GO

-- 菜品买赠设置: buy num_num of a dish, get num_pre_num of ch_pre_dishno free
CREATE TABLE cybr_bt_dish_present (
  int_flowid    int IDENTITY(1,1) NOT NULL,
  ch_dishno     varchar(10)       NOT NULL,
  num_num       decimal(12,3)     NOT NULL,
  ch_pre_dishno varchar(10)       NOT NULL,
  num_pre_num   decimal(12,3)     NOT NULL,
  dt_date_begin datetime          NOT NULL,
  dt_date_end   datetime          NOT NULL,
  ch_state      char(1)           NOT NULL DEFAULT 'Y',
  vch_operid    varchar(10)       NULL,
  dt_operdate   datetime          NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_bt_dish_present PRIMARY KEY (int_flowid)
)
GO

-- 菜品优惠券设置: coupons; num_limit is the least consumption the coupon needs
CREATE TABLE cybr_bt_dish_favourable (
  ch_favourno    varchar(10)   NOT NULL,
  vch_favourname varchar(40)   NOT NULL,
  ch_dishno      varchar(10)   NULL,
  num_value      decimal(12,2) NOT NULL,
  num_limit      decimal(12,2) NOT NULL DEFAULT 0,
  dt_date_begin  datetime      NOT NULL,
  dt_date_end    datetime      NOT NULL,
  ch_state       char(1)       NOT NULL DEFAULT 'Y',
  CONSTRAINT pk_cybr_bt_dish_favourable PRIMARY KEY (ch_favourno)
)
GO

-- 折扣方案: discount plans; int_discount in percent, ch_type '1' whole bill, '2' by dish type
CREATE TABLE cybr_bt_project (
  ch_projectno    char(3)     NOT NULL,
  vch_projectname varchar(30) NOT NULL,
  int_discount    int         NOT NULL DEFAULT 100,
  ch_type         char(1)     NOT NULL DEFAULT '1',
  ch_state        char(1)     NOT NULL DEFAULT 'Y',
  dt_operdate     datetime    NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_bt_project PRIMARY KEY (ch_projectno)
)
GO

-- 折扣方案明细设置: discount of a plan per dish type
CREATE TABLE cybr_bt_project_detail (
  ch_projectno   char(3) NOT NULL,
  ch_dish_typeno char(4) NOT NULL,
  int_discount   int     NOT NULL DEFAULT 100,
  CONSTRAINT pk_cybr_bt_project_detail PRIMARY KEY (ch_projectno, ch_dish_typeno)
)
GO

-- 餐桌区域设置: dining areas
CREATE TABLE cybr_bt_table_area (
  ch_areano    char(2)     NOT NULL,
  vch_areaname varchar(20) NOT NULL,
  int_sort     int         NOT NULL DEFAULT 0,
  CONSTRAINT pk_cybr_bt_table_area PRIMARY KEY (ch_areano)
)
GO

-- 餐桌类型设置: table types with seats, minimum charge and service charge rate (percent)
CREATE TABLE cybr_bt_table_type (
  ch_typeno        char(2)       NOT NULL,
  vch_typename     varchar(20)   NOT NULL,
  int_persons      int           NOT NULL DEFAULT 4,
  num_lowcost      decimal(12,2) NOT NULL DEFAULT 0,
  num_service_rate decimal(5,2)  NOT NULL DEFAULT 0,
  CONSTRAINT pk_cybr_bt_table_type PRIMARY KEY (ch_typeno)
)
GO

-- 餐桌资料: tables; ch_state '0' free, '1' occupied, '2' reserved
CREATE TABLE cybr_bt_table (
  ch_tableno    varchar(6)  NOT NULL,
  vch_tablename varchar(20) NOT NULL,
  ch_areano     char(2)     NOT NULL,
  ch_typeno     char(2)     NOT NULL,
  int_person    int         NOT NULL DEFAULT 4,
  ch_state      char(1)     NOT NULL DEFAULT '0',
  int_sort      int         NOT NULL DEFAULT 0,
  CONSTRAINT pk_cybr_bt_table PRIMARY KEY (ch_tableno)
)
GO

-- 市别资料: business periods of the day (breakfast, lunch, ...), times as 'HH:MM'
CREATE TABLE cybr_bt_bustype (
  ch_bustypeno    char(2)     NOT NULL,
  vch_bustypename varchar(20) NOT NULL,
  ch_time_begin   char(5)     NOT NULL,
  ch_time_end     char(5)     NOT NULL,
  CONSTRAINT pk_cybr_bt_bustype PRIMARY KEY (ch_bustypeno)
)
GO

-- 顾客年龄段设置: customer age groups for sales statistics
CREATE TABLE cybr_bt_custage (
  ch_ageno      char(2)     NOT NULL,
  vch_agename   varchar(20) NOT NULL,
  int_age_begin int         NOT NULL,
  int_age_end   int         NOT NULL,
  CONSTRAINT pk_cybr_bt_custage PRIMARY KEY (ch_ageno)
)
GO

-- 操作原因资料: reasons; ch_type '1' dish returned, '2' dish given free, '3' discount, '4' bill voided
CREATE TABLE cybr_bt_reason (
  ch_reasonno char(3)     NOT NULL,
  vch_reason  varchar(60) NOT NULL,
  ch_type     char(1)     NOT NULL,
  CONSTRAINT pk_cybr_bt_reason PRIMARY KEY (ch_reasonno)
)
GO

-- 付款方式表: payment modes; ch_changeflag gives change, ch_faceflag counts as income,
-- num_rate converts a foreign currency
CREATE TABLE cybr_bt_paymode (
  ch_paymodeno    char(2)      NOT NULL,
  vch_paymodename varchar(20)  NOT NULL,
  ch_changeflag   char(1)      NOT NULL DEFAULT 'N',
  ch_faceflag     char(1)      NOT NULL DEFAULT 'Y',
  num_rate        decimal(8,4) NOT NULL DEFAULT 1,
  int_sort        int          NOT NULL DEFAULT 0,
  ch_useflag      char(1)      NOT NULL DEFAULT 'Y',
  CONSTRAINT pk_cybr_bt_paymode PRIMARY KEY (ch_paymodeno)
)
GO

----------------------------------------------------------------------------------------------
-- Company, departments, staff and operators (cybr_sys_)
----------------------------------------------------------------------------------------------

-- 公司信息: the company running the shop
CREATE TABLE cybr_sys_company (
  ch_companyno    char(4)      NOT NULL,
  vch_companyname varchar(60)  NOT NULL,
  vch_address     varchar(100) NULL,
  vch_tel         varchar(30)  NULL,
  vch_fax         varchar(30)  NULL,
  vch_linkman     varchar(20)  NULL,
  vch_email       varchar(50)  NULL,
  vch_memo        varchar(255) NULL,
  CONSTRAINT pk_cybr_sys_company PRIMARY KEY (ch_companyno)
)
GO

-- 行政部门资料: administrative departments
CREATE TABLE cybr_sys_dept (
  ch_deptno    char(3)     NOT NULL,
  vch_deptname varchar(30) NOT NULL,
  vch_manager  varchar(20) NULL,
  vch_tel      varchar(30) NULL,
  int_sort     int         NOT NULL DEFAULT 0,
  CONSTRAINT pk_cybr_sys_dept PRIMARY KEY (ch_deptno)
)
GO

-- 员工资料: employees; ch_sex '1' male, '2' female; ch_state '1' employed, '0' left
CREATE TABLE cybr_sys_emp (
  ch_empno     varchar(10) NOT NULL,
  vch_empname  varchar(20) NOT NULL,
  ch_sex       char(1)     NOT NULL DEFAULT '1',
  ch_deptno    char(3)     NOT NULL,
  vch_position varchar(20) NULL,
  vch_idcard   varchar(18) NULL,
  vch_tel      varchar(30) NULL,
  dt_birthday  datetime    NULL,
  dt_join      datetime    NOT NULL,
  ch_state     char(1)     NOT NULL DEFAULT '1',
  CONSTRAINT pk_cybr_sys_emp PRIMARY KEY (ch_empno)
)
GO

-- 操作员资料: operators who log in at the front desk; vch_password is kept scrambled,
-- int_discount is the lowest discount (percent) the operator may grant
CREATE TABLE cybr_sys_operator (
  vch_operid      varchar(10) NOT NULL,
  vch_operator    varchar(20) NOT NULL,
  ch_empno        varchar(10) NULL,
  vch_password    varchar(40) NULL,
  ch_flag_manager char(1)     NOT NULL DEFAULT 'N',
  int_discount    int         NOT NULL DEFAULT 100,
  ch_state        char(1)     NOT NULL DEFAULT 'Y',
  dt_operdate     datetime    NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_sys_operator PRIMARY KEY (vch_operid)
)
GO

-- 员工其他资料: further personal data of an employee
CREATE TABLE cybr_sys_emp_other (
  ch_empno        varchar(10)   NOT NULL,
  vch_address     varchar(100)  NULL,
  vch_native      varchar(30)   NULL,
  vch_education   varchar(20)   NULL,
  vch_contact     varchar(20)   NULL,
  vch_contact_tel varchar(30)   NULL,
  num_salary      decimal(12,2) NOT NULL DEFAULT 0,
  vch_memo        varchar(255)  NULL,
  CONSTRAINT pk_cybr_sys_emp_other PRIMARY KEY (ch_empno)
)
GO

----------------------------------------------------------------------------------------------
-- Cooking notes and kitchen printing (cybr_cp_)
----------------------------------------------------------------------------------------------

-- 做法类型资料: kinds of cooking notes (taste, spiciness, ...)
CREATE TABLE cybr_cp_memo_type (
  ch_memotypeno    char(2)     NOT NULL,
  vch_memotypename varchar(20) NOT NULL,
  CONSTRAINT pk_cybr_cp_memo_type PRIMARY KEY (ch_memotypeno)
)
GO

-- 做法资料: cooking notes, some with a surcharge
CREATE TABLE cybr_cp_memo (
  ch_memono     char(4)       NOT NULL,
  vch_memoname  varchar(30)   NOT NULL,
  ch_memotypeno char(2)       NOT NULL,
  num_addprice  decimal(12,2) NOT NULL DEFAULT 0,
  CONSTRAINT pk_cybr_cp_memo PRIMARY KEY (ch_memono)
)
GO

-- 菜品做法关联资料: the cooking notes offered for a dish
CREATE TABLE cybr_cp_dish_memo (
  ch_dishno varchar(10) NOT NULL,
  ch_memono char(4)     NOT NULL,
  CONSTRAINT pk_cybr_cp_dish_memo PRIMARY KEY (ch_dishno, ch_memono)
)
GO

-- 厨打方案资料: kitchen printing plans; ch_printtype '1' one slip per dish, '2' one per order
CREATE TABLE cybr_cp_project (
  ch_projectno    char(3)     NOT NULL,
  vch_projectname varchar(30) NOT NULL,
  vch_printer     varchar(60) NOT NULL,
  int_copies      smallint    NOT NULL DEFAULT 1,
  ch_printtype    char(1)     NOT NULL DEFAULT '1',
  ch_state        char(1)     NOT NULL DEFAULT 'Y',
  CONSTRAINT pk_cybr_cp_project PRIMARY KEY (ch_projectno)
)
GO

-- 区域厨打方案: kitchen printing by dining area
CREATE TABLE cybr_cp_area (
  ch_cpareano    char(3)      NOT NULL,
  vch_cpareaname varchar(30)  NOT NULL,
  ch_state       char(1)      NOT NULL DEFAULT 'Y',
  vch_memo       varchar(100) NULL,
  CONSTRAINT pk_cybr_cp_area PRIMARY KEY (ch_cpareano)
)
GO

-- 区域厨打方案明细设置: for a dining area and dish type, the printing plan to use
CREATE TABLE cybr_cp_area_detail (
  ch_cpareano    char(3) NOT NULL,
  ch_areano      char(2) NOT NULL,
  ch_dish_typeno char(4) NOT NULL,
  ch_projectno   char(3) NOT NULL,
  CONSTRAINT pk_cybr_cp_area_detail PRIMARY KEY (ch_cpareano, ch_areano, ch_dish_typeno)
)
GO

-- 菜品厨打设置: printing plans of a dish
CREATE TABLE cybr_cp_dish_print (
  ch_dishno    varchar(10) NOT NULL,
  ch_projectno char(3)     NOT NULL,
  int_copies   smallint    NOT NULL DEFAULT 1,
  CONSTRAINT pk_cybr_cp_dish_print PRIMARY KEY (ch_dishno, ch_projectno)
)
GO

----------------------------------------------------------------------------------------------
-- Raw materials and recipes (t_stbr_), warehouses
----------------------------------------------------------------------------------------------

-- 原料大类: material series
CREATE TABLE t_stbr_material_series (
  ch_seriesno    char(2)     NOT NULL,
  vch_seriesname varchar(20) NOT NULL,
  CONSTRAINT pk_t_stbr_material_series PRIMARY KEY (ch_seriesno)
)
GO

-- 原料小类: material types within a series
CREATE TABLE t_stbr_material_type (
  ch_typeno    char(4)     NOT NULL,
  ch_seriesno  char(2)     NOT NULL,
  vch_typename varchar(20) NOT NULL,
  CONSTRAINT pk_t_stbr_material_type PRIMARY KEY (ch_typeno)
)
GO

-- 原料单位: stock units
CREATE TABLE t_stbr_material_unit (
  ch_unitno    char(2)     NOT NULL,
  vch_unitname varchar(10) NOT NULL,
  CONSTRAINT pk_t_stbr_material_unit PRIMARY KEY (ch_unitno)
)
GO

-- 原料资料: raw materials and half-finished products (ch_halfflag); prices per stock unit
CREATE TABLE t_stbr_material (
  ch_materialno    varchar(10)   NOT NULL,
  vch_materialname varchar(40)   NOT NULL,
  vch_spell        varchar(20)   NULL,
  vch_spec         varchar(30)   NULL,
  ch_typeno        char(4)       NOT NULL,
  ch_unitno        char(2)       NOT NULL,
  num_cost_price   decimal(12,4) NOT NULL DEFAULT 0,
  ch_halfflag      char(1)       NOT NULL DEFAULT 'N',
  num_min_stock    decimal(12,3) NOT NULL DEFAULT 0,
  num_max_stock    decimal(12,3) NOT NULL DEFAULT 0,
  ch_providerno    varchar(10)   NULL,
  ch_useflag       char(1)       NOT NULL DEFAULT 'Y',
  CONSTRAINT pk_t_stbr_material PRIMARY KEY (ch_materialno)
)
GO

-- 菜品配料: recipe, material used by one portion of a dish
CREATE TABLE t_stbr_dish_material (
  ch_dishno     varchar(10)   NOT NULL,
  ch_materialno varchar(10)   NOT NULL,
  num_num       decimal(12,3) NOT NULL,
  CONSTRAINT pk_t_stbr_dish_material PRIMARY KEY (ch_dishno, ch_materialno)
)
GO

-- 半成品配料: materials used by one unit of a half-finished product
CREATE TABLE t_stbr_material_half (
  ch_halfno     varchar(10)   NOT NULL,
  ch_materialno varchar(10)   NOT NULL,
  num_num       decimal(12,3) NOT NULL,
  CONSTRAINT pk_t_stbr_material_half PRIMARY KEY (ch_halfno, ch_materialno)
)
GO

-- 仓库资料: warehouses and kitchens that hold stock; ch_type '1' warehouse, '2' kitchen
CREATE TABLE t_sys_dept (
  ch_deptno    char(3)     NOT NULL,
  vch_deptname varchar(30) NOT NULL,
  ch_type      char(1)     NOT NULL DEFAULT '1',
  vch_manager  varchar(20) NULL,
  ch_useflag   char(1)     NOT NULL DEFAULT 'Y',
  CONSTRAINT pk_t_sys_dept PRIMARY KEY (ch_deptno)
)
GO

----------------------------------------------------------------------------------------------
-- Suppliers (t_st_) and members (t_m_)
----------------------------------------------------------------------------------------------

-- 供应商类别: supplier kinds
CREATE TABLE t_st_provider_type (
  ch_typeno    char(2)     NOT NULL,
  vch_typename varchar(20) NOT NULL,
  CONSTRAINT pk_t_st_provider_type PRIMARY KEY (ch_typeno)
)
GO

-- 供应商资料: suppliers; num_credit is the credit line granted by the supplier
CREATE TABLE t_st_provider (
  ch_providerno    varchar(10)   NOT NULL,
  vch_providername varchar(60)   NOT NULL,
  vch_shortname    varchar(20)   NULL,
  ch_typeno        char(2)       NOT NULL,
  vch_linkman      varchar(20)   NULL,
  vch_tel          varchar(30)   NULL,
  vch_address      varchar(100)  NULL,
  vch_bank         varchar(60)   NULL,
  vch_account      varchar(30)   NULL,
  num_credit       decimal(12,2) NOT NULL DEFAULT 0,
  ch_useflag       char(1)       NOT NULL DEFAULT 'Y',
  CONSTRAINT pk_t_st_provider PRIMARY KEY (ch_providerno)
)
GO

-- 会员类型: member card types; ch_favourable '1' discount, '2' member price
CREATE TABLE t_m_member_type (
  ch_typeno      char(2)      NOT NULL,
  vch_typename   varchar(20)  NOT NULL,
  int_discount   int          NOT NULL DEFAULT 100,
  num_point_rate decimal(8,2) NOT NULL DEFAULT 1,
  ch_favourable  char(1)      NOT NULL DEFAULT '1',
  CONSTRAINT pk_t_m_member_type PRIMARY KEY (ch_typeno)
)
GO

-- 会员资料: members; num_amount is the stored-value balance; ch_state '1' valid, '2' lost,
-- '3' cancelled
CREATE TABLE t_m_member (
  ch_memberno  varchar(20)   NOT NULL,
  vch_member   varchar(20)   NOT NULL,
  ch_typeno    char(2)       NOT NULL,
  ch_sex       char(1)       NOT NULL DEFAULT '1',
  vch_tel      varchar(30)   NULL,
  vch_handtel  varchar(20)   NULL,
  vch_idcard   varchar(18)   NULL,
  dt_birthday  datetime      NULL,
  vch_address  varchar(100)  NULL,
  vch_password varchar(40)   NULL,
  num_amount   decimal(12,2) NOT NULL DEFAULT 0,
  num_point    decimal(12,2) NOT NULL DEFAULT 0,
  ch_state     char(1)       NOT NULL DEFAULT '1',
  dt_limit     datetime      NULL,
  vch_operid   varchar(10)   NULL,
  dt_operdate  datetime      NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_t_m_member PRIMARY KEY (ch_memberno)
)
GO
CREATE INDEX ix_t_m_member_handtel ON t_m_member (vch_handtel)
GO

-- Balance history of the members, written by the trigger of t_m_member.
CREATE TABLE t_m_member_log (
  int_logid      int IDENTITY(1,1) NOT NULL,
  ch_memberno    varchar(20)       NOT NULL,
  num_old_amount decimal(12,2)     NOT NULL,
  num_new_amount decimal(12,2)     NOT NULL,
  dt_operdate    datetime          NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_t_m_member_log PRIMARY KEY (int_logid)
)
GO

----------------------------------------------------------------------------------------------
-- Open front-desk records (cybr_u_): orders, tables, bills and payments of the current day
----------------------------------------------------------------------------------------------

-- 点菜临时记录: ordered dishes of the open bills
CREATE TABLE cybr_u_tmp_orderdish (
  int_flowid     int IDENTITY(1,1) NOT NULL,
  ch_billno      varchar(20)       NOT NULL,
  ch_payno       varchar(20)       NULL,
  ch_tableno     varchar(6)        NOT NULL,
  ch_dishno      varchar(10)       NOT NULL,
  ch_specno      char(2)           NULL,
  num_num        decimal(12,3)     NOT NULL DEFAULT 1,
  num_num_back   decimal(12,3)     NOT NULL DEFAULT 0,
  num_price      decimal(12,2)     NOT NULL DEFAULT 0,
  int_discount   int               NOT NULL DEFAULT 100,
  ch_suitflag    char(1)           NOT NULL DEFAULT 'N',
  ch_suitno      varchar(10)       NULL,
  ch_presentflag char(1)           NOT NULL DEFAULT 'N',
  ch_printflag   char(1)           NOT NULL DEFAULT 'N',
  vch_memo       varchar(60)       NULL,
  vch_operid     varchar(10)       NOT NULL,
  dt_operdate    datetime          NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_u_tmp_orderdish PRIMARY KEY (int_flowid)
)
GO
CREATE INDEX ix_cybr_u_tmp_orderdish_bill ON cybr_u_tmp_orderdish (ch_billno)
GO

-- Audit of the ordered dishes, written by the trigger of cybr_u_tmp_orderdish.
CREATE TABLE cybr_u_tmp_orderdish_audit (
  int_auditid int IDENTITY(1,1) NOT NULL,
  int_flowid  int               NOT NULL,
  ch_billno   varchar(20)       NOT NULL,
  ch_dishno   varchar(10)       NOT NULL,
  num_num     decimal(12,3)     NOT NULL,
  vch_operid  varchar(10)       NOT NULL,
  dt_audit    datetime          NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_u_tmp_orderdish_audit PRIMARY KEY (int_auditid)
)
GO

-- 点菜做法临时记录: cooking notes of ordered dishes (int_orderflow: int_flowid of the dish)
CREATE TABLE cybr_u_tmp_orderdish_memo (
  int_flowid    int IDENTITY(1,1) NOT NULL,
  ch_billno     varchar(20)       NOT NULL,
  int_orderflow int               NOT NULL,
  ch_memono     char(4)           NOT NULL,
  vch_memoname  varchar(30)       NOT NULL,
  num_addprice  decimal(12,2)     NOT NULL DEFAULT 0,
  CONSTRAINT pk_cybr_u_tmp_orderdish_memo PRIMARY KEY (int_flowid)
)
GO

-- 餐桌开台临时记录: opened tables
CREATE TABLE cybr_u_tmp_table (
  ch_billno    varchar(20)  NOT NULL,
  ch_payno     varchar(20)  NULL,
  ch_tableno   varchar(6)   NOT NULL,
  int_person   int          NOT NULL DEFAULT 1,
  ch_bustypeno char(2)      NOT NULL,
  ch_ageno     char(2)      NULL,
  ch_waiter    varchar(10)  NULL,
  ch_state     char(1)      NOT NULL DEFAULT '1',
  vch_memo     varchar(100) NULL,
  vch_operid   varchar(10)  NOT NULL,
  dt_operdate  datetime     NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_u_tmp_table PRIMARY KEY (ch_billno)
)
GO
CREATE INDEX ix_cybr_u_tmp_table_tableno ON cybr_u_tmp_table (ch_tableno)
GO

-- 开单临时主表: open bills
CREATE TABLE cybr_u_tmp_master (
  ch_billno    varchar(20)   NOT NULL,
  ch_tableno   varchar(6)    NOT NULL,
  int_person   int           NOT NULL DEFAULT 1,
  ch_bustypeno char(2)       NOT NULL,
  num_cost     decimal(12,2) NOT NULL DEFAULT 0,
  vch_memo     varchar(100)  NULL,
  vch_operid   varchar(10)   NOT NULL,
  dt_operdate  datetime      NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_u_tmp_master PRIMARY KEY (ch_billno)
)
GO

-- 结算临时主表: payments being settled; num_cost consumption, num_blotout the amount rounded
-- off, num_realamount what the guest pays
CREATE TABLE cybr_u_tmp_checkout_master (
  ch_payno       varchar(20)   NOT NULL,
  ch_billno      varchar(20)   NOT NULL,
  ch_tableno     varchar(6)    NOT NULL,
  num_cost       decimal(12,2) NOT NULL DEFAULT 0,
  num_discount   decimal(12,2) NOT NULL DEFAULT 0,
  num_present    decimal(12,2) NOT NULL DEFAULT 0,
  num_service    decimal(12,2) NOT NULL DEFAULT 0,
  num_blotout    decimal(12,2) NOT NULL DEFAULT 0,
  num_realamount decimal(12,2) NOT NULL DEFAULT 0,
  ch_memberno    varchar(20)   NULL,
  ch_state       char(1)       NOT NULL DEFAULT '0',
  vch_operid     varchar(10)   NOT NULL,
  dt_operdate    datetime      NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_u_tmp_checkout_master PRIMARY KEY (ch_payno)
)
GO

-- 结算临时明细表: payment lines, one per payment mode used
CREATE TABLE cybr_u_tmp_checkout_detail (
  int_flowid     int IDENTITY(1,1) NOT NULL,
  ch_payno       varchar(20)       NOT NULL,
  ch_paymodeno   char(2)           NOT NULL,
  num_payamount  decimal(12,2)     NOT NULL DEFAULT 0,
  num_change     decimal(12,2)     NOT NULL DEFAULT 0,
  num_realamount decimal(12,2)     NOT NULL DEFAULT 0,
  vch_voucherno  varchar(30)       NULL,
  vch_operid     varchar(10)       NOT NULL,
  dt_operdate    datetime          NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_u_tmp_checkout_detail PRIMARY KEY (int_flowid)
)
GO

-- 点菜删除表: dishes taken off an open bill, with the reason
CREATE TABLE cybr_u_orderdish_delete (
  int_flowid  int IDENTITY(1,1) NOT NULL,
  ch_billno   varchar(20)       NOT NULL,
  ch_tableno  varchar(6)        NOT NULL,
  ch_dishno   varchar(10)       NOT NULL,
  num_num     decimal(12,3)     NOT NULL,
  num_price   decimal(12,2)     NOT NULL DEFAULT 0,
  ch_reasonno char(3)           NULL,
  vch_reason  varchar(60)       NULL,
  vch_operid  varchar(10)       NOT NULL,
  dt_operdate datetime          NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_u_orderdish_delete PRIMARY KEY (int_flowid)
)
GO

-- 点菜特殊操作记录: special operations on ordered dishes (int_orderflow: int_flowid of the
-- dish); ch_type '1' given free, '2' discount, '3' price changed, '4' moved to another table
CREATE TABLE cybr_u_orderdish_log (
  int_flowid    int IDENTITY(1,1) NOT NULL,
  int_orderflow int               NOT NULL,
  ch_type       char(1)           NOT NULL,
  vch_old_value varchar(40)       NULL,
  vch_new_value varchar(40)       NULL,
  ch_reasonno   char(3)           NULL,
  vch_operid    varchar(10)       NOT NULL,
  vch_authorize varchar(10)       NULL,
  dt_operdate   datetime          NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_u_orderdish_log PRIMARY KEY (int_flowid)
)
GO

-- 外卖临时记录: open takeaway orders; ch_sendtime 'HH:MM' promised delivery time,
-- ch_state '0' taken, '1' on its way, '2' delivered
CREATE TABLE cybr_u_tmp_togo (
  ch_billno   varchar(20)   NOT NULL,
  ch_payno    varchar(20)   NULL,
  vch_linkman varchar(20)   NOT NULL,
  vch_tel     varchar(30)   NOT NULL,
  vch_address varchar(100)  NOT NULL,
  ch_sendtime char(5)       NULL,
  ch_sender   varchar(10)   NULL,
  num_cost    decimal(12,2) NOT NULL DEFAULT 0,
  ch_state    char(1)       NOT NULL DEFAULT '0',
  vch_operid  varchar(10)   NOT NULL,
  dt_operdate datetime      NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_cybr_u_tmp_togo PRIMARY KEY (ch_billno)
)
GO

----------------------------------------------------------------------------------------------
-- Stock, stock-taking and purchasing (t_st_)
----------------------------------------------------------------------------------------------

-- 原料出入库流水: every movement of stock; ch_iotype '01' purchase in, '02' issued to the
-- kitchen, '03' transfer, '04' loss, '05' stock-taking difference; num_num is negative for
-- goods going out
CREATE TABLE t_st_material_io_flow (
  int_flowid    int IDENTITY(1,1) NOT NULL,
  ch_deptno     char(3)           NOT NULL,
  ch_materialno varchar(10)       NOT NULL,
  ch_voucherno  varchar(20)       NULL,
  ch_iotype     char(2)           NOT NULL,
  num_num       decimal(12,3)     NOT NULL,
  num_price     decimal(12,4)     NOT NULL DEFAULT 0,
  num_amount    decimal(12,2)     NOT NULL DEFAULT 0,
  vch_operid    varchar(10)       NOT NULL,
  dt_operdate   datetime          NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_t_st_material_io_flow PRIMARY KEY (int_flowid)
)
GO
CREATE INDEX ix_t_st_material_io_flow_mat ON t_st_material_io_flow (ch_materialno, dt_operdate)
GO

-- 部门原料库存表: stock of a material in a warehouse
CREATE TABLE t_st_material_num (
  ch_deptno     char(3)       NOT NULL,
  ch_materialno varchar(10)   NOT NULL,
  num_num       decimal(12,3) NOT NULL DEFAULT 0,
  num_amount    decimal(12,2) NOT NULL DEFAULT 0,
  dt_operdate   datetime      NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_t_st_material_num PRIMARY KEY (ch_deptno, ch_materialno)
)
GO

-- 盘点单主表: stock-taking sheets; ch_state '0' entered, '1' approved
CREATE TABLE t_st_pd_master (
  ch_sheetno  varchar(20)  NOT NULL,
  ch_deptno   char(3)      NOT NULL,
  dt_pddate   datetime     NOT NULL,
  ch_state    char(1)      NOT NULL DEFAULT '0',
  vch_operid  varchar(10)  NOT NULL,
  dt_operdate datetime     NOT NULL DEFAULT getdate(),
  vch_audit   varchar(10)  NULL,
  dt_audit    datetime     NULL,
  vch_memo    varchar(100) NULL,
  CONSTRAINT pk_t_st_pd_master PRIMARY KEY (ch_sheetno)
)
GO

-- 盘点单明细: counted quantity against book quantity
CREATE TABLE t_st_pd_detail (
  int_flowid    int IDENTITY(1,1) NOT NULL,
  ch_sheetno    varchar(20)       NOT NULL,
  ch_materialno varchar(10)       NOT NULL,
  num_book_num  decimal(12,3)     NOT NULL DEFAULT 0,
  num_real_num  decimal(12,3)     NOT NULL DEFAULT 0,
  num_price     decimal(12,4)     NOT NULL DEFAULT 0,
  vch_memo      varchar(60)       NULL,
  CONSTRAINT pk_t_st_pd_detail PRIMARY KEY (int_flowid)
)
GO

-- 原料当前库存价格表: current stock price of each material
CREATE TABLE t_st_material_price (
  ch_materialno varchar(10)   NOT NULL,
  num_price     decimal(12,4) NOT NULL DEFAULT 0,
  vch_operid    varchar(10)   NULL,
  dt_operdate   datetime      NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_t_st_material_price PRIMARY KEY (ch_materialno)
)
GO

-- 原料历史调价日志: every change of a current stock price (old price NULL for a new material)
CREATE TABLE t_st_material_price_log (
  int_flowid    int IDENTITY(1,1) NOT NULL,
  ch_materialno varchar(10)       NOT NULL,
  num_old_price decimal(12,4)     NULL,
  num_new_price decimal(12,4)     NOT NULL,
  vch_operid    varchar(10)       NULL,
  dt_operdate   datetime          NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_t_st_material_price_log PRIMARY KEY (int_flowid)
)
GO
CREATE INDEX ix_t_st_material_price_log_mat ON t_st_material_price_log (ch_materialno)
GO

-- Audit of the price history, written by the trigger of t_st_material_price_log.
CREATE TABLE t_st_material_price_audit (
  int_auditid   int IDENTITY(1,1) NOT NULL,
  int_logid     int               NOT NULL,
  ch_materialno varchar(10)       NOT NULL,
  num_new_price decimal(12,4)     NOT NULL,
  dt_audit      datetime          NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_t_st_material_price_audit PRIMARY KEY (int_auditid)
)
GO

-- 供应商结算: settlements with suppliers; ch_state '0' open, '1' paid
CREATE TABLE t_st_provider_balance (
  ch_balanceno  varchar(20)   NOT NULL,
  ch_providerno varchar(10)   NOT NULL,
  num_payable   decimal(12,2) NOT NULL DEFAULT 0,
  num_paid      decimal(12,2) NOT NULL DEFAULT 0,
  ch_paymodeno  char(2)       NULL,
  ch_state      char(1)       NOT NULL DEFAULT '0',
  vch_operid    varchar(10)   NOT NULL,
  dt_operdate   datetime      NOT NULL DEFAULT getdate(),
  vch_memo      varchar(100)  NULL,
  CONSTRAINT pk_t_st_provider_balance PRIMARY KEY (ch_balanceno)
)
GO

-- 采购申请主表: purchase requests; ch_state '0' entered, '1' approved, '2' ordered
CREATE TABLE t_st_stock_master (
  ch_sheetno    varchar(20)  NOT NULL,
  ch_deptno     char(3)      NOT NULL,
  ch_providerno varchar(10)  NULL,
  dt_needdate   datetime     NOT NULL,
  ch_state      char(1)      NOT NULL DEFAULT '0',
  vch_operid    varchar(10)  NOT NULL,
  dt_operdate   datetime     NOT NULL DEFAULT getdate(),
  vch_audit     varchar(10)  NULL,
  dt_audit      datetime     NULL,
  vch_memo      varchar(100) NULL,
  CONSTRAINT pk_t_st_stock_master PRIMARY KEY (ch_sheetno)
)
GO

-- 采购申请明细: requested materials
CREATE TABLE t_st_stock_detail (
  int_flowid    int IDENTITY(1,1) NOT NULL,
  ch_sheetno    varchar(20)       NOT NULL,
  ch_materialno varchar(10)       NOT NULL,
  num_num       decimal(12,3)     NOT NULL,
  num_price     decimal(12,4)     NOT NULL DEFAULT 0,
  num_amount    decimal(12,2)     NOT NULL DEFAULT 0,
  vch_memo      varchar(60)       NULL,
  CONSTRAINT pk_t_st_stock_detail PRIMARY KEY (int_flowid)
)
GO

-- 采购历史调价: purchase price changes per supplier and material
CREATE TABLE t_st_stock_price (
  int_flowid    int IDENTITY(1,1) NOT NULL,
  ch_providerno varchar(10)       NOT NULL,
  ch_materialno varchar(10)       NOT NULL,
  num_old_price decimal(12,4)     NULL,
  num_new_price decimal(12,4)     NOT NULL,
  vch_operid    varchar(10)       NOT NULL,
  dt_operdate   datetime          NOT NULL DEFAULT getdate(),
  CONSTRAINT pk_t_st_stock_price PRIMARY KEY (int_flowid)
)
GO

-- 库存单据主表: stock vouchers; ch_vouchertype '01' receipt, '02' issue, '03' transfer,
-- '04' loss; ch_state '0' entered, '1' approved
CREATE TABLE t_st_voucher_master (
  ch_voucherno   varchar(20)   NOT NULL,
  ch_vouchertype char(2)       NOT NULL,
  ch_deptno      char(3)       NOT NULL,
  ch_deptno_to   char(3)       NULL,
  ch_providerno  varchar(10)   NULL,
  num_amount     decimal(12,2) NOT NULL DEFAULT 0,
  ch_state       char(1)       NOT NULL DEFAULT '0',
  vch_operid     varchar(10)   NOT NULL,
  dt_operdate    datetime      NOT NULL DEFAULT getdate(),
  vch_audit      varchar(10)   NULL,
  dt_audit       datetime      NULL,
  vch_memo       varchar(100)  NULL,
  CONSTRAINT pk_t_st_voucher_master PRIMARY KEY (ch_voucherno)
)
GO

-- 库存单据明细: lines of a stock voucher
CREATE TABLE t_st_voucher_detail (
  int_flowid    int IDENTITY(1,1) NOT NULL,
  ch_voucherno  varchar(20)       NOT NULL,
  ch_materialno varchar(10)       NOT NULL,
  num_num       decimal(12,3)     NOT NULL,
  num_price     decimal(12,4)     NOT NULL DEFAULT 0,
  num_amount    decimal(12,2)     NOT NULL DEFAULT 0,
  vch_memo      varchar(60)       NULL,
  CONSTRAINT pk_t_st_voucher_detail PRIMARY KEY (int_flowid)
)
GO
CREATE INDEX ix_t_st_voucher_detail_no ON t_st_voucher_detail (ch_voucherno)
GO

----------------------------------------------------------------------------------------------
-- Triggers. The base-data import switches all four off while it refills the tables
-- (ALTER TABLE ... DISABLE TRIGGER ALL) so that loaded rows leave no log or audit rows behind.
----------------------------------------------------------------------------------------------

-- A change of a member's stored-value balance is logged with the old and the new balance.
CREATE TRIGGER tr_t_m_member_amount ON t_m_member FOR UPDATE
AS
INSERT INTO t_m_member_log (ch_memberno, num_old_amount, num_new_amount, dt_operdate)
  SELECT i.ch_memberno, d.num_amount, i.num_amount, getdate()
  FROM inserted i
  INNER JOIN deleted d ON d.ch_memberno = i.ch_memberno
  WHERE i.num_amount <> d.num_amount
GO

-- Every dish ordered is recorded in the audit table.
CREATE TRIGGER tr_cybr_u_tmp_orderdish_audit ON cybr_u_tmp_orderdish FOR INSERT
AS
INSERT INTO cybr_u_tmp_orderdish_audit (int_flowid, ch_billno, ch_dishno, num_num, vch_operid, dt_audit)
  SELECT i.int_flowid, i.ch_billno, i.ch_dishno, i.num_num, i.vch_operid, getdate()
  FROM inserted i
GO

-- A new or changed current price goes into the price history; an update that leaves the
-- price as it was writes nothing.
CREATE TRIGGER tr_t_st_material_price_log ON t_st_material_price FOR INSERT, UPDATE
AS
INSERT INTO t_st_material_price_log (ch_materialno, num_old_price, num_new_price, vch_operid, dt_operdate)
  SELECT i.ch_materialno, d.num_price, i.num_price, i.vch_operid, getdate()
  FROM inserted i
  LEFT OUTER JOIN deleted d ON d.ch_materialno = i.ch_materialno
  WHERE d.ch_materialno IS NULL OR d.num_price <> i.num_price
GO

-- Every entry of the price history is recorded in the audit table.
CREATE TRIGGER tr_t_st_material_price_log_audit ON t_st_material_price_log FOR INSERT
AS
INSERT INTO t_st_material_price_audit (int_logid, ch_materialno, num_new_price, dt_audit)
  SELECT i.int_flowid, i.ch_materialno, i.num_new_price, getdate()
  FROM inserted i
GO
