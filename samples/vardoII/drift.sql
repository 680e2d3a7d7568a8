-- How a customer's database has drifted from the reference over the years.
-- An index added by hand to look customers up by name:
CREATE INDEX idx_customer_compname ON customer(compname)
-- A table rebuilt by a repair tool with its fields in another order:
DROP TABLE `schedules`
CREATE TABLE `schedules` (`code` AUTOINCREMENT, `memo` VARCHAR(255) DEFAULT "" NOT NULL, `sdate` VARCHAR(10) DEFAULT "" NOT NULL, PRIMARY KEY (`code`))
-- A table restored from an export that lost its primary key:
DROP TABLE `invn_edit`
CREATE TABLE `invn_edit` (`code` LONG DEFAULT 0 NOT NULL, `dealdate` VARCHAR(10) DEFAULT "" NOT NULL, `pcode` VARCHAR(6) DEFAULT "" NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL)
