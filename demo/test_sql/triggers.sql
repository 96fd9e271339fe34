-- The triggers of the four tables that the base-data import switches off: what each one
-- writes, that statements touching several rows are handled row by row, and that
-- ALTER TABLE ... DISABLE/ENABLE TRIGGER ALL switches them, also inside a transaction.
-- Format: see tables.sql.

-- t_m_member: a change of the balance is logged, inserts and other changes are not.
INSERT INTO t_m_member (ch_memberno, vch_member, ch_typeno, num_amount) VALUES ('9900000001', N'测试会员甲', '01', 100.00);
INSERT INTO t_m_member (ch_memberno, vch_member, ch_typeno, num_amount) VALUES ('9900000002', N'测试会员乙', '02', 20.00);
-- expect: 0
SELECT count(*) FROM t_m_member_log;
UPDATE t_m_member SET num_amount = 80.50 WHERE ch_memberno = '9900000001';
-- expect: 1
SELECT count(*) FROM t_m_member_log WHERE ch_memberno = '9900000001' AND num_old_amount = 100 AND num_new_amount = 80.5;
UPDATE t_m_member SET vch_tel = '020-38881234';
-- expect: 1
SELECT count(*) FROM t_m_member_log;
UPDATE t_m_member SET num_amount = num_amount + 10;
-- expect: 3
SELECT count(*) FROM t_m_member_log;
-- expect: 1
SELECT count(*) FROM t_m_member_log WHERE ch_memberno = '9900000002' AND num_old_amount = 20 AND num_new_amount = 30;
ALTER TABLE t_m_member disable TRIGGER all;
UPDATE t_m_member SET num_amount = 0;
-- expect: 3
SELECT count(*) FROM t_m_member_log;
ALTER TABLE t_m_member enable TRIGGER all;
UPDATE t_m_member SET num_amount = 5 WHERE ch_memberno = '9900000001';
-- expect: 4
SELECT count(*) FROM t_m_member_log;

-- Switching a trigger off is undone with the transaction that did it.
BEGIN TRANSACTION;
ALTER TABLE t_m_member disable TRIGGER all;
ROLLBACK TRANSACTION;
UPDATE t_m_member SET num_amount = 6 WHERE ch_memberno = '9900000001';
-- expect: 5
SELECT count(*) FROM t_m_member_log;

-- cybr_u_tmp_orderdish: every dish inserted is audited with its own row number.
INSERT INTO cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, num_num, num_price, vch_operid) VALUES ('B0612080001', 'A02', '10001', 1, 18.00, '1001');
INSERT INTO cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, num_num, num_price, vch_operid) VALUES ('B0612080001', 'A02', '30001', 2, 5.00, '1001');
-- expect: 2
SELECT count(*) FROM cybr_u_tmp_orderdish_audit;
INSERT INTO cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, num_num, num_price, vch_operid) SELECT 'B0612080002', 'A05', ch_dishno, num_num, num_price, '1002' FROM cybr_u_tmp_orderdish WHERE ch_billno = 'B0612080001';
-- expect: 4
SELECT count(*) FROM cybr_u_tmp_orderdish o INNER JOIN cybr_u_tmp_orderdish_audit a ON a.int_flowid = o.int_flowid AND a.ch_billno = o.ch_billno AND a.ch_dishno = o.ch_dishno AND a.num_num = o.num_num AND a.vch_operid = o.vch_operid;
-- Updates, such as the re-dating after an import, are not audited.
UPDATE cybr_u_tmp_orderdish SET num_num = 3 WHERE ch_dishno = '30001';
-- expect: 4
SELECT count(*) FROM cybr_u_tmp_orderdish_audit;
ALTER TABLE cybr_u_tmp_orderdish disable TRIGGER all;
INSERT INTO cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, vch_operid) VALUES ('B0612080003', 'B01', '10101', '1002');
-- expect: 4
SELECT count(*) FROM cybr_u_tmp_orderdish_audit;
ALTER TABLE cybr_u_tmp_orderdish enable TRIGGER all;
INSERT INTO cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, vch_operid) VALUES ('B0612080003', 'B01', '10102', '1002');
-- expect: 5
SELECT count(*) FROM cybr_u_tmp_orderdish_audit;
-- expect: 6
SELECT count(*) FROM cybr_u_tmp_orderdish;

-- t_st_material_price: a new price and every changed price go into the price history, whose
-- own trigger audits each entry.
INSERT INTO t_st_material_price (ch_materialno, num_price, vch_operid) VALUES ('M0001', 18.5, '8001');
-- expect: 1
SELECT count(*) FROM t_st_material_price_log WHERE ch_materialno = 'M0001' AND num_old_price IS NULL AND num_new_price = 18.5 AND vch_operid = '8001';
-- expect: 1
SELECT count(*) FROM t_st_material_price_audit a INNER JOIN t_st_material_price_log l ON l.int_flowid = a.int_logid AND l.ch_materialno = a.ch_materialno AND l.num_new_price = a.num_new_price;
INSERT INTO t_st_material_price (ch_materialno, num_price, vch_operid) VALUES ('M0002', 32, '8001');
UPDATE t_st_material_price SET vch_operid = '1001';
-- expect: 2
SELECT count(*) FROM t_st_material_price_log;
UPDATE t_st_material_price SET num_price = num_price + 1;
-- expect: 4
SELECT count(*) FROM t_st_material_price_log;
-- expect: 1
SELECT count(*) FROM t_st_material_price_log WHERE ch_materialno = 'M0002' AND num_old_price = 32 AND num_new_price = 33;
-- expect: 4
SELECT count(*) FROM t_st_material_price_audit;
ALTER TABLE t_st_material_price disable TRIGGER all;
UPDATE t_st_material_price SET num_price = 1;
-- expect: 4
SELECT count(*) FROM t_st_material_price_log;
ALTER TABLE t_st_material_price enable TRIGGER all;

-- t_st_material_price_log: its trigger works on its own and is switched on its own.
ALTER TABLE t_st_material_price_log disable TRIGGER all;
INSERT INTO t_st_material_price_log (ch_materialno, num_old_price, num_new_price) VALUES ('M0003', 44, 46);
-- expect: 4
SELECT count(*) FROM t_st_material_price_audit;
UPDATE t_st_material_price SET num_price = 2 WHERE ch_materialno = 'M0001';
-- expect: 6
SELECT count(*) FROM t_st_material_price_log;
-- expect: 4
SELECT count(*) FROM t_st_material_price_audit;
ALTER TABLE t_st_material_price_log enable TRIGGER all;
INSERT INTO t_st_material_price_log (ch_materialno, num_old_price, num_new_price) VALUES ('M0003', 46, 47);
-- expect: 5
SELECT count(*) FROM t_st_material_price_audit;

-- All four off at once, as the import does inside its transaction; a rollback restores them.
BEGIN TRANSACTION;
ALTER TABLE t_m_member disable TRIGGER all;
ALTER TABLE cybr_u_tmp_orderdish disable TRIGGER all;
ALTER TABLE t_st_material_price disable TRIGGER all;
ALTER TABLE t_st_material_price_log disable TRIGGER all;
UPDATE t_m_member SET num_amount = 99;
INSERT INTO cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, vch_operid) VALUES ('B0612080004', 'W01', '10004', '1001');
UPDATE t_st_material_price SET num_price = 3;
INSERT INTO t_st_material_price_log (ch_materialno, num_new_price) VALUES ('M0004', 24);
-- expect: 5
SELECT count(*) FROM t_m_member_log;
-- expect: 5
SELECT count(*) FROM cybr_u_tmp_orderdish_audit;
-- expect: 8
SELECT count(*) FROM t_st_material_price_log;
-- expect: 5
SELECT count(*) FROM t_st_material_price_audit;
ROLLBACK TRANSACTION;
-- expect: 6
SELECT count(*) FROM cybr_u_tmp_orderdish;
UPDATE t_m_member SET num_amount = 7 WHERE ch_memberno = '9900000002';
INSERT INTO cybr_u_tmp_orderdish (ch_billno, ch_tableno, ch_dishno, vch_operid) VALUES ('B0612080004', 'W01', '10004', '1001');
UPDATE t_st_material_price SET num_price = 4 WHERE ch_materialno = 'M0002';
-- expect: 6
SELECT count(*) FROM t_m_member_log;
-- expect: 6
SELECT count(*) FROM cybr_u_tmp_orderdish_audit;
-- expect: 8
SELECT count(*) FROM t_st_material_price_log;
-- expect: 6
SELECT count(*) FROM t_st_material_price_audit;
