-- The nine updates that move the open front-desk records to the current day after an import,
-- here with the day 070115 in place of the host variable: each bill and payment number keeps
-- its first character and its serial, takes the day in positions 2-7, and every operation
-- time becomes the server's current time. A missing payment number stays missing.
-- Format: see tables.sql.

INSERT INTO cybr_u_tmp_orderdish (ch_billno, ch_payno, ch_tableno, ch_dishno, vch_operid, dt_operdate) VALUES ('B0612080001', 'P0612080001', 'A02', '10001', '1001', '2006-12-08 11:36:05');
INSERT INTO cybr_u_tmp_orderdish (ch_billno, ch_payno, ch_tableno, ch_dishno, vch_operid, dt_operdate) VALUES ('B0612080002', NULL, 'A05', '10002', '1002', '2006-12-08 11:53:10');
INSERT INTO cybr_u_tmp_orderdish_memo (ch_billno, int_orderflow, ch_memono, vch_memoname) VALUES ('B0612080001', 1, '0103', N'不要葱');
INSERT INTO cybr_u_tmp_table (ch_billno, ch_payno, ch_tableno, ch_bustypeno, vch_operid, dt_operdate) VALUES ('B0612080001', 'P0612080001', 'A02', '02', '1001', '2006-12-08 11:35:12');
INSERT INTO cybr_u_tmp_table (ch_billno, ch_payno, ch_tableno, ch_bustypeno, vch_operid, dt_operdate) VALUES ('B0612080002', NULL, 'A05', '02', '1002', '2006-12-08 11:52:40');
INSERT INTO cybr_u_tmp_master (ch_billno, ch_tableno, ch_bustypeno, vch_operid, dt_operdate) VALUES ('B0612080001', 'A02', '02', '1001', '2006-12-08 11:35:12');
INSERT INTO cybr_u_tmp_master (ch_billno, ch_tableno, ch_bustypeno, vch_operid, dt_operdate) VALUES ('B0612080002', 'A05', '02', '1002', '2006-12-08 11:52:40');
INSERT INTO cybr_u_tmp_checkout_master (ch_payno, ch_billno, ch_tableno, vch_operid, dt_operdate) VALUES ('P0612080001', 'B0612080001', 'A02', '1001', '2006-12-08 12:31:18');
INSERT INTO cybr_u_tmp_checkout_detail (ch_payno, ch_paymodeno, vch_operid, dt_operdate) VALUES ('P0612080001', '01', '1001', '2006-12-08 12:31:18');
INSERT INTO cybr_u_orderdish_delete (ch_billno, ch_tableno, ch_dishno, num_num, vch_operid, dt_operdate) VALUES ('B0612080001', 'A02', '10004', 1, '1001', '2006-12-08 11:37:40');
INSERT INTO cybr_u_orderdish_log (int_orderflow, ch_type, vch_operid, dt_operdate) VALUES (1, '1', '1001', '2006-12-08 11:40:31');
INSERT INTO cybr_u_tmp_togo (ch_billno, ch_payno, vch_linkman, vch_tel, vch_address, vch_operid, dt_operdate) VALUES ('B0612080004', 'P0612080004', N'孙先生', '13622223333', N'体育西路101号', '1001', '2006-12-08 11:58:20');
INSERT INTO cybr_u_tmp_togo (ch_billno, ch_payno, vch_linkman, vch_tel, vch_address, vch_operid, dt_operdate) VALUES ('B0612080005', NULL, N'马小姐', '020-38886677', N'天河路208号', '1001', '2006-12-08 12:15:47');

update cybr_u_tmp_orderdish set ch_billno = stuff(ch_billno, 2, 6, '070115'), ch_payno = stuff(ch_payno, 2, 6, '070115'), dt_operdate = getdate();
update cybr_u_tmp_orderdish_memo set ch_billno = stuff(ch_billno, 2, 6, '070115');
update cybr_u_tmp_table set ch_billno = stuff(ch_billno, 2, 6, '070115'), ch_payno = stuff(ch_payno, 2, 6, '070115'), dt_operdate = getdate();
update cybr_u_tmp_master set ch_billno = stuff(ch_billno, 2, 6, '070115'), dt_operdate = getdate();
update cybr_u_tmp_checkout_master set ch_billno = stuff(ch_billno, 2, 6, '070115'), ch_payno = stuff(ch_payno, 2, 6, '070115'), dt_operdate = getdate();
update cybr_u_tmp_checkout_detail set ch_payno = stuff(ch_payno, 2, 6, '070115'), dt_operdate = getdate();
update cybr_u_orderdish_delete set ch_billno = stuff(ch_billno, 2, 6, '070115'), dt_operdate = getdate();
update cybr_u_orderdish_log set dt_operdate = getdate();
update cybr_u_tmp_togo set ch_billno = stuff(ch_billno, 2, 6, '070115'), ch_payno = stuff(ch_payno, 2, 6, '070115'), dt_operdate = getdate();

-- expect: B0701150001
SELECT ch_billno FROM cybr_u_tmp_orderdish WHERE ch_dishno = '10001';
-- expect: P0701150001
SELECT ch_payno FROM cybr_u_tmp_orderdish WHERE ch_dishno = '10001';
-- expect: B0701150002
SELECT ch_billno FROM cybr_u_tmp_orderdish WHERE ch_dishno = '10002';
-- expect: 1
SELECT count(*) FROM cybr_u_tmp_orderdish WHERE ch_dishno = '10002' AND ch_payno IS NULL;
-- expect: B0701150001
SELECT ch_billno FROM cybr_u_tmp_orderdish_memo;
-- expect: P0701150001
SELECT ch_payno FROM cybr_u_tmp_table WHERE ch_tableno = 'A02';
-- expect: 2
SELECT count(*) FROM cybr_u_tmp_table WHERE ch_billno IN ('B0701150001', 'B0701150002');
-- expect: 1
SELECT count(*) FROM cybr_u_tmp_table WHERE ch_tableno = 'A05' AND ch_payno IS NULL;
-- expect: 2
SELECT count(*) FROM cybr_u_tmp_master WHERE ch_billno IN ('B0701150001', 'B0701150002');
-- expect: B0701150001
SELECT ch_billno FROM cybr_u_tmp_checkout_master;
-- expect: P0701150001
SELECT ch_payno FROM cybr_u_tmp_checkout_master;
-- expect: P0701150001
SELECT ch_payno FROM cybr_u_tmp_checkout_detail;
-- expect: B0701150001
SELECT ch_billno FROM cybr_u_orderdish_delete;
-- expect: P0701150004
SELECT ch_payno FROM cybr_u_tmp_togo WHERE ch_billno = 'B0701150004';
-- expect: 1
SELECT count(*) FROM cybr_u_tmp_togo WHERE ch_billno = 'B0701150005' AND ch_payno IS NULL;

-- No operation time of the old day is left.
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_orderdish WHERE dt_operdate < '2006-12-09';
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_table WHERE dt_operdate < '2006-12-09';
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_master WHERE dt_operdate < '2006-12-09';
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_checkout_master WHERE dt_operdate < '2006-12-09';
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_checkout_detail WHERE dt_operdate < '2006-12-09';
-- expect: 0
SELECT count(*) FROM cybr_u_orderdish_delete WHERE dt_operdate < '2006-12-09';
-- expect: 0
SELECT count(*) FROM cybr_u_orderdish_log WHERE dt_operdate < '2006-12-09';
-- expect: 0
SELECT count(*) FROM cybr_u_tmp_togo WHERE dt_operdate < '2006-12-09';

-- The updates fired the trigger of cybr_u_tmp_orderdish only for the two inserts.
-- expect: 2
SELECT count(*) FROM cybr_u_tmp_orderdish_audit;
