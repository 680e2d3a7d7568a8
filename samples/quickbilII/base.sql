-- Tallyvo II (product code quickbilII): base schema at stored version 1.
-- The tables and columns the quickbilII migration catalogue changes or reads
-- but never creates, with a few seed rows. Our own test material, derived
-- from what the catalogue touches. One statement per line.
CREATE TABLE `dbversion` (`dbid` VARCHAR(10) DEFAULT "" NOT NULL, `ver` LONG DEFAULT 0 NOT NULL, PRIMARY KEY (`dbid`))
CREATE TABLE `office` (`code` SMALLINT DEFAULT 1 NOT NULL, `compname` VARCHAR(50) DEFAULT "" NOT NULL, `compsn` VARCHAR(14) DEFAULT "" NOT NULL, `ceoname` VARCHAR(30) DEFAULT "" NOT NULL, PRIMARY KEY (`code`))
CREATE TABLE `local_user` (`code` VARCHAR(2) DEFAULT "" NOT NULL, `name` VARCHAR(20) DEFAULT "" NOT NULL, `loginid` VARCHAR(20) DEFAULT "" NOT NULL, PRIMARY KEY (`code`))
CREATE TABLE `customer` (`code` VARCHAR(6) DEFAULT "" NOT NULL, `compname` VARCHAR(50) DEFAULT "" NOT NULL, `compsn` VARCHAR(14) DEFAULT "" NOT NULL, `ceoname` VARCHAR(30) DEFAULT "" NOT NULL, `hpno` VARCHAR(20) DEFAULT "" NOT NULL, `email` VARCHAR(50) DEFAULT "" NOT NULL, PRIMARY KEY (`code`))
CREATE TABLE `taxlist_m` (`code` LONG DEFAULT 0 NOT NULL, `dealdate` VARCHAR(10) DEFAULT "" NOT NULL, `ccode` VARCHAR(6) DEFAULT "" NOT NULL, `amount` DOUBLE DEFAULT 0 NOT NULL, `tax` DOUBLE DEFAULT 0 NOT NULL, `bigo` VARCHAR(100) DEFAULT "" NOT NULL, PRIMARY KEY (`code`))
CREATE TABLE `sale_m` (`code` VARCHAR(12) DEFAULT "" NOT NULL, `ocode` SMALLINT DEFAULT 1 NOT NULL, `ccode` VARCHAR(6) DEFAULT "" NOT NULL, `dealdate` VARCHAR(10) DEFAULT "" NOT NULL, `amount` DOUBLE DEFAULT 0 NOT NULL, PRIMARY KEY (`code`))
INSERT INTO dbversion (dbid, ver) VALUES ('main', 1)
INSERT INTO office (code, compname, compsn, ceoname) VALUES (1, '탈리보 상사', '123-45-67890', '정대표')
INSERT INTO local_user (code, name, loginid) VALUES ('00', '관리자', 'admin')
INSERT INTO customer (code, compname, compsn, ceoname, hpno, email) VALUES ('000001', '한빛상사', '234-56-78901', '박한빛', '010-1111-2222', 'hanbit@example.com')
INSERT INTO customer (code, compname, compsn, ceoname, hpno, email) VALUES ('000002', '누리유통', '345-67-89012', '최누리', '010-3333-4444', 'nuri@example.com')
INSERT INTO taxlist_m (code, dealdate, ccode, amount, tax, bigo) VALUES (1, '2024-01-31', '000001', 100000, 10000, '1월분')
INSERT INTO sale_m (code, ocode, ccode, dealdate, amount) VALUES ('S20240110-01', 1, '000001', '2024-01-10', 8000)
