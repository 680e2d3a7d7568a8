-- The same schema after years at a customer's site: a lost index, a lost
-- foreign key, a column added by hand and fields in another order.
CREATE TABLE dbversion (dbid VARCHAR(10) DEFAULT "" NOT NULL, ver LONG DEFAULT 0 NOT NULL, PRIMARY KEY (dbid))
INSERT INTO dbversion (dbid, ver) VALUES ('main', 141)
CREATE TABLE custgroup (code AUTOINCREMENT, name VARCHAR(20) DEFAULT "" NOT NULL, PRIMARY KEY (code))
CREATE TABLE customer (code VARCHAR(6) DEFAULT "" NOT NULL, name VARCHAR(50) DEFAULT "" NOT NULL, gcode LONG DEFAULT 1 NOT NULL, tel VARCHAR(20) DEFAULT "" NOT NULL, fax VARCHAR(20) DEFAULT "" NOT NULL, PRIMARY KEY (code))
CREATE TABLE product_m (code VARCHAR(6) DEFAULT "" NOT NULL, name VARCHAR(50) DEFAULT "" NOT NULL, price DOUBLE DEFAULT 0 NOT NULL, memo TEXT, PRIMARY KEY (code))
CREATE TABLE sale (code AUTOINCREMENT, pcode VARCHAR(6) DEFAULT "" NOT NULL, ccode VARCHAR(6) DEFAULT "" NOT NULL, qnt DOUBLE DEFAULT 0 NOT NULL, dealdate VARCHAR(10) DEFAULT "" NOT NULL, PRIMARY KEY (code))
ALTER TABLE sale ADD CONSTRAINT fk_sale_cust FOREIGN KEY (ccode) REFERENCES customer (code) ON UPDATE CASCADE
CREATE INDEX idx_sale_date ON sale(dealdate)
