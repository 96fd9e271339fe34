-- Checks of a freshly made template database: every catalogue table and the tables the
-- triggers write exist and are empty, the system variables are in place, and the keys hold.
--
-- Format of the files in this folder: each statement ends with a semicolon at the end of a
-- line. A line "-- expect: V" before a statement: the statement returns exactly one row whose
-- first column, as text, is V. A line "-- expect error: N": the statement fails with server
-- error N. Every other statement must succeed. Each file starts from a freshly restored
-- template database and may change it.

-- The catalogue tables, in the order the base-data tool processes them.
-- expect: 0
SELECT count(*) FROM cybr_bt_dish_series;
-- expect: 0
SELECT count(*) FROM cybr_bt_dish_type;
-- expect: 0
SELECT count(*) FROM cybr_bt_dish_unit;
-- expect: 0
SELECT count(*) FROM cybr_bt_dish;
-- expect: 0
SELECT count(*) FROM cybr_bt_dish_spec;
-- expect: 0
SELECT count(*) FROM cybr_bt_dish_suit;
-- expect: 0
SELECT count(*) FROM cybr_bt_suit_change;
-- expect: 0
SELECT count(*) FROM cybr_bt_dish_special;
-- expect: 0
SELECT count(*) FROM cybr_bt_dish_present;
-- expect: 0
SELECT count(*) FROM cybr_bt_dish_favourable;
-- expect: 0
SELECT count(*) FROM cybr_bt_project;
-- expect: 0
SELECT count(*) FROM cybr_bt_project_detail;
-- expect: 0
SELECT count(*) FROM cybr_bt_table_area;
-- expect: 0
SELECT count(*) FROM cybr_bt_table_type;
-- expect: 0
SELECT count(*) FROM cybr_bt_table;
-- expect: 0
SELECT count(*) FROM cybr_bt_bustype;
-- expect: 0
SELECT count(*) FROM cybr_bt_custage;
-- expect: 0
SELECT count(*) FROM cybr_bt_reason;
-- expect: 0
SELECT count(*) FROM cybr_bt_paymode;
-- expect: 0
SELECT count(*) FROM cybr_sys_company;
-- expect: 0
SELECT count(*) FROM cybr_sys_dept;
-- expect: 0
SELECT count(*) FROM cybr_sys_emp;
-- expect: 0
SELECT count(*) FROM cybr_sys_operator;
-- expect: 0
SELECT count(*) FROM cybr_sys_emp_other;
-- expect: 0
SELECT count(*) FROM cybr_cp_memo_type;
-- expect: 0
SELECT count(*) FROM cybr_cp_memo;
-- expect: 0
SELECT count(*) FROM cybr_cp_dish_memo;
-- expect: 0
SELECT count(*) FROM cybr_cp_project;
-- expect: 0
SELECT count(*) FROM cybr_cp_area;
-- expect: 0
SELECT count(*) FROM cybr_cp_area_detail;
-- expect: 0
SELECT count(*) FROM cybr_cp_dish_print;
-- expect: 0
SELECT count(*) FROM t_stbr_material_series;
-- expect: 0
SELECT count(*) FROM t_stbr_material_type;
-- expect: 0
SELECT count(*) FROM t_stbr_material_unit;
-- expect: 0
SELECT count(*) FROM t_stbr_material;
-- expect: 0
SELECT count(*) FROM t_stbr_dish_material;
-- expect: 0
SELECT count(*) FROM t_stbr_material_half;
-- expect: 0
SELECT count(*) FROM t_sys_dept;
-- expect: 0
SELECT count(*) FROM t_st_provider_type;
-- expect: 0
SELECT count(*) FROM t_st_provider;
-- expect: 0
SELECT count(*) FROM t_m_member_type;
-- expect: 0
SELECT count(*) FROM t_m_member;
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_orderdish;
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_orderdish_memo;
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_table;
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_master;
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_checkout_master;
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_checkout_detail;
-- expect: 0
SELECT count(*) FROM cybr_u_orderdish_delete;
-- expect: 0
SELECT count(*) FROM cybr_u_orderdish_log;
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_togo;
-- expect: 0
SELECT count(*) FROM t_st_material_io_flow;
-- expect: 0
SELECT count(*) FROM t_st_material_num;
-- expect: 0
SELECT count(*) FROM t_st_pd_master;
-- expect: 0
SELECT count(*) FROM t_st_pd_detail;
-- expect: 0
SELECT count(*) FROM t_st_material_price;
-- expect: 0
SELECT count(*) FROM t_st_material_price_log;
-- expect: 0
SELECT count(*) FROM t_st_provider_balance;
-- expect: 0
SELECT count(*) FROM t_st_stock_master;
-- expect: 0
SELECT count(*) FROM t_st_stock_detail;
-- expect: 0
SELECT count(*) FROM t_st_stock_price;
-- expect: 0
SELECT count(*) FROM t_st_voucher_master;
-- expect: 0
SELECT count(*) FROM t_st_voucher_detail;

-- Written by the triggers.
-- expect: 0
SELECT count(*) FROM t_m_member_log;
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_orderdish_audit;
-- expect: 0
SELECT count(*) FROM t_st_material_price_audit;

-- System variables: uniform_saleway is set, the installation mode is left to the installer.
-- expect: 1
SELECT sys_var_value FROM t_sys_system WHERE Upper ( LTRIM ( RTRIM ( sys_var_id ) ) ) =Upper ( LTRIM ( RTRIM ( ' UNIFORM_SALEWAY' ) ) );
-- expect: 0
SELECT count(*) FROM t_sys_system WHERE sys_var_id = 'Is_Distributed';

-- The installer records the installation mode with an empty name and version flag.
delete t_sys_system where sys_var_id ='Is_Distributed';
insert into t_sys_system ( sys_var_id , sys_var_name , sys_var_value , sys_ver_flag ) values ( 'Is_Distributed' , '' , '2' , '' );
-- expect: 2
SELECT sys_var_value FROM t_sys_system WHERE sys_var_id = 'Is_Distributed';

-- The library adds variables without a version flag.
INSERT t_sys_system ( sys_var_id , sys_var_name , sys_var_value ) Values ( 'demo_flag' , N'系统变量demo_flag' , 'x' );
-- expect: 1
SELECT count(*) FROM t_sys_system WHERE sys_var_id = 'demo_flag' AND sys_ver_flag IS NULL;

-- Keys: identifiers compare without regard to case or trailing blanks.
-- expect error: 2627
INSERT INTO t_sys_system (sys_var_id, sys_var_name, sys_var_value) VALUES ('UNIFORM_SALEWAY ', '', '0');
INSERT INTO cybr_bt_dish_spec (ch_dishno, ch_specno, vch_specname, num_price) VALUES ('20002', '01', N'小份', 8.00);
INSERT INTO cybr_bt_dish_spec (ch_dishno, ch_specno, vch_specname, num_price) VALUES ('20002', '02', N'大份', 11.00);
-- expect error: 2627
INSERT INTO cybr_bt_dish_spec (ch_dishno, ch_specno, vch_specname, num_price) VALUES ('20002', '01', N'中份', 9.50);
INSERT INTO cybr_bt_dish_suit (ch_suitno, ch_dishno) VALUES ('40001', '10003');
-- expect error: 2627
INSERT INTO cybr_bt_dish_suit (ch_suitno, ch_dishno) VALUES ('40001', '10003');
-- expect: 1
SELECT count(*) FROM cybr_bt_dish_suit;

-- A NOT NULL column without default must be given.
-- expect error: 515
INSERT INTO cybr_bt_dish (ch_dishno, vch_dishname, ch_unitno) VALUES ('10001', N'香菇滑鸡饭', '01');
-- expect: 0
SELECT count(*) FROM cybr_bt_dish;

-- Lengths count GBK bytes: ten Chinese characters fill varchar(20), eleven do not fit.
INSERT INTO cybr_bt_table_area (ch_areano, vch_areaname) VALUES ('01', N'一二三四五六七八九十');
-- expect error: 8152
INSERT INTO cybr_bt_table_area (ch_areano, vch_areaname) VALUES ('02', N'一二三四五六七八九十百');
-- expect: 1
SELECT count(*) FROM cybr_bt_table_area;
