// The vardoII sub-procedures that consist of operations only: the new
// tables with their keys, indexes, foreign keys and seed rows.
#include "modDBPatch_VARDO.h"
#include "modDBsub_ADO.h"

namespace dex::modDBPatch_VARDO {

using namespace migration;
using namespace migration::build;

std::map<std::string, SubProcedure> TableSubProcedures() {
    std::map<std::string, SubProcedure> procs;
    procs["CreateTBL_invn_move"] = SubProcedure{{
        execute("CREATE TABLE `invn_move` (`code` AUTOINCREMENT, `ocode_o` SMALLINT DEFAULT 1 NOT NULL, `ocode_i` SMALLINT DEFAULT 1 NOT NULL, `scode_o` SMALLINT DEFAULT 1 NOT NULL, `scode_i` SMALLINT DEFAULT 1 NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `boxqnt` DOUBLE DEFAULT 0 NOT NULL, `piceqnt` DOUBLE DEFAULT 0 NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `price` DOUBLE DEFAULT 0 NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `deallistno` VARCHAR(12) DEFAULT \"\" NOT NULL, `regucode` VARCHAR(2) DEFAULT \"\" NOT NULL, `prnbigo` VARCHAR(100) DEFAULT \"\" NOT NULL, `arrive` SMALLINT DEFAULT 0 NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};
    procs["CreateTBL_delcar"] = SubProcedure{{
        execute("CREATE TABLE `delcar` (`code` AUTOINCREMENT, `ocode` SMALLINT DEFAULT 1 NOT NULL, `carno` VARCHAR(20) DEFAULT \"\" NOT NULL, `fare` DOUBLE DEFAULT 0 NOT NULL, `carmodel` VARCHAR(20) DEFAULT \"\" NOT NULL, `carmakeyear` VARCHAR(10) DEFAULT \"\" NOT NULL, `drvname` VARCHAR(20) DEFAULT \"\" NOT NULL, `juminno` VARCHAR(14) DEFAULT \"\" NOT NULL, `zipcode` VARCHAR(7) DEFAULT \"\" NOT NULL, `addr1` VARCHAR(60) DEFAULT \"\" NOT NULL, `addr2` VARCHAR(40) DEFAULT \"\" NOT NULL, `tel1` VARCHAR(14) DEFAULT \"\" NOT NULL, `tel2` VARCHAR(14) DEFAULT \"\" NOT NULL, `sa_name` VARCHAR(20) DEFAULT \"\" NOT NULL, `sa_no` VARCHAR(20) DEFAULT \"\" NOT NULL, `sa_status` VARCHAR(40) DEFAULT \"\" NOT NULL, `sa_item` VARCHAR(40) DEFAULT \"\" NOT NULL, `bigo` VARCHAR(50) DEFAULT \"\" NOT NULL, `regdate` VARCHAR(10) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
        addForeignKey("fk_office_delcar", "delcar", "ocode", "office", "code", 3),
    }, {}, false};
    procs["CreateTBL_pclsdc"] = SubProcedure{{
        execute("CREATE TABLE `pclsdc` (`ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `clscode` VARCHAR(4) DEFAULT \"\" NOT NULL, `dcrate` DOUBLE DEFAULT 0 NOT NULL, `dctype` SMALLINT DEFAULT 0 NOT NULL, `bigo` VARCHAR(50) DEFAULT \"\" NOT NULL, PRIMARY KEY (`ccode`, `clscode`))"),
        addForeignKey("fk_cust_pclsdc", "pclsdc", "ccode", "customer", "code", 3),
        addForeignKey("fk_pcls_pclsdc", "pclsdc", "clscode", "pclass", "code", 3),
    }, {}, false};
    procs["CreateTBL_qlty"] = SubProcedure{{
        execute("CREATE TABLE `qlty` (`code` AUTOINCREMENT, `name` VARCHAR(20) DEFAULT \"\" NOT NULL, `dcrate` DOUBLE DEFAULT 0 NOT NULL, `dctype` SMALLINT DEFAULT 0 NOT NULL, `bigo` VARCHAR(50) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
        execute("INSERT INTO qlty (code, name, dcrate, dctype, bigo) VALUES (1,'',0,0,'시스템 기본자료')"),
    }, {}, false};
    procs["CreateTBL_qltydc"] = SubProcedure{{
        execute("CREATE TABLE `qltydc` (`ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `qcode` LONG DEFAULT 0 NOT NULL, `dcrate` DOUBLE DEFAULT 0 NOT NULL, `dctype` SMALLINT DEFAULT 0 NOT NULL, `bigo` VARCHAR(50) DEFAULT \"\" NOT NULL, PRIMARY KEY (`ccode`, `qcode`))"),
        addForeignKey("fk_cust_qltydc", "qltydc", "ccode", "customer", "code", 3),
        addForeignKey("fk_qlty_qltydc", "qltydc", "qcode", "qlty", "code", 3),
    }, {}, false};
    procs["CreateTBL_saletype"] = SubProcedure{{
        execute("CREATE TABLE `saletype` (`code` AUTOINCREMENT, `name` VARCHAR(10) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
        execute("INSERT INTO saletype (code, name) VALUES (1,'매출')"),
        execute("INSERT INTO saletype (code, name) VALUES (2,'샘플')"),
        execute("INSERT INTO saletype (code, name) VALUES (3,'파손')"),
        execute("INSERT INTO saletype (code, name) VALUES (4,'기증')"),
        execute("INSERT INTO saletype (code, name) VALUES (5,'자가소비')"),
    }, {}, false};
    procs["CreateTBL_custgroup"] = SubProcedure{{
        execute("CREATE TABLE `custgroup` (`code` AUTOINCREMENT, `name` VARCHAR(20) DEFAULT \"\" NOT NULL, `bigo` VARCHAR(50) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
        execute("INSERT INTO custgroup (code, name, bigo) VALUES (1,'','시스템 기본자료')"),
    }, {}, false};
    procs["CreateTBL_userlog"] = SubProcedure{{
        execute("CREATE TABLE `userlog` (`code` AUTOINCREMENT, `ucode` VARCHAR(2) DEFAULT \"\" NOT NULL, `logdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `logtime` VARCHAR(5) DEFAULT \"\" NOT NULL, `bigo` VARCHAR(50) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};
    procs["CreateTBL_constrt"] = SubProcedure{{
        execute("CREATE TABLE `constrt` (`code` AUTOINCREMENT, `ocode` SMALLINT DEFAULT 1 NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `constname` VARCHAR(50) DEFAULT \"\" NOT NULL, `overdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `zipcode` VARCHAR(7) DEFAULT \"\" NOT NULL, `addr1` VARCHAR(60) DEFAULT \"\" NOT NULL, `addr2` VARCHAR(40) DEFAULT \"\" NOT NULL, `bigo` VARCHAR(50) DEFAULT \"\" NOT NULL, `startdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `charge` VARCHAR(2) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};
    procs["CreateTBL_aslist"] = SubProcedure{{
        execute("CREATE TABLE `aslist` (`code` AUTOINCREMENT, `ocode` SMALLINT DEFAULT 1 NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `plandate` VARCHAR(10) DEFAULT \"\" NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `cname` VARCHAR(20) DEFAULT \"\" NOT NULL, `ctel` VARCHAR(20) DEFAULT \"\" NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `pname` VARCHAR(50) DEFAULT \"\" NOT NULL, `pnorm` VARCHAR(50) DEFAULT \"\" NOT NULL, `asmemo` TEXT DEFAULT \"\" NOT NULL, `cost` DOUBLE DEFAULT 0 NOT NULL, `bigo` VARCHAR(100) DEFAULT \"\" NOT NULL, `charge` VARCHAR(2) DEFAULT \"\" NOT NULL, `regucode` VARCHAR(2) DEFAULT \"\" NOT NULL, `asstat` SMALLINT DEFAULT 0 NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};
    procs["CreateTBL_weeklyplan"] = SubProcedure{{
        execute("CREATE TABLE `weeklyplan` (`code` AUTOINCREMENT, `charge` VARCHAR(2) DEFAULT \"\" NOT NULL, `plandate` VARCHAR(10) DEFAULT \"\" NOT NULL, `planrow` SMALLINT DEFAULT 0 NOT NULL, `planmemo` TEXT DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};
    procs["CreateTBL_weeklyplanadd"] = SubProcedure{{
        execute("CREATE TABLE `weeklyplanadd` (`code` AUTOINCREMENT, `charge` VARCHAR(2) DEFAULT \"\" NOT NULL, `plandate` VARCHAR(10) DEFAULT \"\" NOT NULL, `planrow` SMALLINT DEFAULT 0 NOT NULL, `plancol` SMALLINT DEFAULT 0 NOT NULL, `planmemo` TEXT DEFAULT \"\" NOT NULL, `wlock` SMALLINT DEFAULT 0 NOT NULL, `lockcharge` VARCHAR(2) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};
    procs["CreateTBL_prodset"] = SubProcedure{{
        execute("CREATE TABLE `prodset` (`pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `seq` SMALLINT DEFAULT 1 NOT NULL, `pscode` VARCHAR(6) DEFAULT \"\" NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `buyprice` DOUBLE DEFAULT 0 NOT NULL, `saleprice` DOUBLE DEFAULT 0 NOT NULL, `pricetype1` SMALLINT DEFAULT 0 NOT NULL, `pricetype2` SMALLINT DEFAULT 0 NOT NULL, `bigo` VARCHAR(50) DEFAULT \"\" NOT NULL, PRIMARY KEY (`pcode`, `pscode`))"),
    }, {}, false};
    procs["CreateTBL_salehold"] = SubProcedure{{
        execute("CREATE TABLE `salehold` (`holdno` VARCHAR(8) DEFAULT \"\" NOT NULL, `seq` SMALLINT DEFAULT 1 NOT NULL, `scode` SMALLINT DEFAULT 1 NOT NULL, `charge` VARCHAR(2) DEFAULT \"\" NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `dealtime` VARCHAR(6) DEFAULT \"\" NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `price` DOUBLE DEFAULT 0 NOT NULL, `amount` DOUBLE DEFAULT 0 NOT NULL, `tax` DOUBLE DEFAULT 0 NOT NULL, `dc` DOUBLE DEFAULT 0 NOT NULL, PRIMARY KEY (`holdno`, `seq`))"),
    }, {}, false};
    procs["CreateTBL_makelist"] = SubProcedure{{
        execute("CREATE TABLE `makelist_m` (`code` AUTOINCREMENT, `ocode` SMALLINT DEFAULT 1 NOT NULL, `scode` SMALLINT DEFAULT 1 NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `pcucost` DOUBLE DEFAULT 0 NOT NULL, `pccost` DOUBLE DEFAULT 0 NOT NULL, `badqnt` DOUBLE DEFAULT 0 NOT NULL, `recyle` DOUBLE DEFAULT 0 NOT NULL, `price` DOUBLE DEFAULT 0 NOT NULL, `bigo` VARCHAR(50) DEFAULT \"\" NOT NULL, `maketype` LONG DEFAULT 0 NOT NULL, `makeno` LONG DEFAULT 0 NOT NULL, PRIMARY KEY (`code`))"),
        addForeignKey("mkm_office_fk", "makelist_m", "ocode", "office", "code", 3),
        addForeignKey("mkm_house_fk", "makelist_m", "scode", "storehouse", "code", 3),
        addForeignKey("mkm_pdm_fk", "makelist_m", "pcode", "product_m", "code", 3),
        execute("CREATE TABLE `makelist_d` (`code` LONG DEFAULT 0 NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `unitqnt` DOUBLE DEFAULT 0 NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `price` DOUBLE DEFAULT 0 NOT NULL, PRIMARY KEY (`code`, `pcode`))"),
        addForeignKey("mk_md_fk", "makelist_d", "code", "makelist_m", "code", 3),
        addForeignKey("mkd_pdm_fk", "makelist_d", "pcode", "product_m", "code", 3),
    }, {}, false};
    procs["CreateTBL_ocustlink"] = SubProcedure{{
        execute("CREATE TABLE `ocustlink` (`ocode_from` SMALLINT DEFAULT 1 NOT NULL, `ocode_to` SMALLINT DEFAULT 1 NOT NULL, `scode` SMALLINT DEFAULT 1 NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `inactive` SMALLINT DEFAULT 0 NOT NULL, PRIMARY KEY (`ocode_from`, `ocode_to`))"),
        addForeignKey("fk_office_ocustlink1", "ocustlink", "ocode_from", "office", "code", 3),
        addForeignKey("fk_office_ocustlink2", "ocustlink", "ocode_to", "office", "code", 3),
        addForeignKey("fk_house_ocustlink", "ocustlink", "scode", "storehouse", "code", 3),
        addForeignKey("fk_cust_ocustlink", "ocustlink", "ccode", "customer", "code", 3),
    }, {}, false};
    procs["CreateTBL_prodmatch"] = SubProcedure{{
        execute("CREATE TABLE `prodmatch` (`code` AUTOINCREMENT, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `extpcode` VARCHAR(20) DEFAULT \"\" NOT NULL, `extpname` VARCHAR(250) DEFAULT \"\" NOT NULL, `extpnorm` VARCHAR(250) DEFAULT \"\" NOT NULL, `extunit` VARCHAR(10) DEFAULT \"\" NOT NULL, `bigo` TEXT DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
        addForeignKey("fk_cust_prodmatch", "prodmatch", "ccode", "customer", "code", 3),
        addForeignKey("fk_prod_prodmatch", "prodmatch", "pcode", "product_m", "code", 3),
    }, {}, false};
    procs["CreateTBL_posmoney"] = SubProcedure{{
        execute("CREATE TABLE `posmoney` (`code` AUTOINCREMENT, `ocode` SMALLINT DEFAULT 1 NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `dealtime` VARCHAR(4) DEFAULT \"\" NOT NULL, `itype` SMALLINT DEFAULT 0 NOT NULL, `amount` DOUBLE DEFAULT 0 NOT NULL, `regucode` VARCHAR(2) DEFAULT \"\" NOT NULL, `bigo` TEXT DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
        addForeignKey("fk_office_posmoney", "posmoney", "ocode", "office", "code", 3),
    }, {}, false};
    procs["CreateTBL_vanindata"] = SubProcedure{{
        execute("CREATE TABLE vanindata (code AUTOINCREMENT, ocode SMALLINT DEFAULT 1 NOT NULL, fcode VARCHAR(20) DEFAULT \"\" NOT NULL, cashcard VARCHAR(10) DEFAULT \"\" NOT NULL, sno VARCHAR(20) DEFAULT \"\" NOT NULL, danno VARCHAR(10) DEFAULT \"\" NOT NULL, cardgu VARCHAR(2) DEFAULT \"\" NOT NULL, cardno VARCHAR(50) DEFAULT \"\" NOT NULL, yearmon VARCHAR(4) DEFAULT \"\" NOT NULL, price DOUBLE DEFAULT 0 NOT NULL, allot VARCHAR(2) DEFAULT \"\" NOT NULL, agreeno VARCHAR(10) DEFAULT \"\" NOT NULL, agreedate VARCHAR(10) DEFAULT \"\" NOT NULL, passwd VARCHAR(16) DEFAULT \"\" NOT NULL, dealdate VARCHAR(10) DEFAULT \"\" NOT NULL, dealtime VARCHAR(10) DEFAULT \"\" NOT NULL, PRIMARY KEY (code))"),
        execute("CREATE TABLE vanoutdata (code AUTOINCREMENT, ocode SMALLINT DEFAULT 1 NOT NULL, fcode VARCHAR(20) DEFAULT \"\" NOT NULL, response VARCHAR(10) DEFAULT \"\" NOT NULL, buycom VARCHAR(10) DEFAULT \"\" NOT NULL, buyiino VARCHAR(10) DEFAULT \"\" NOT NULL, agreedate VARCHAR(20) DEFAULT \"\" NOT NULL, agreeweek VARCHAR(10) DEFAULT \"\" NOT NULL, unino VARCHAR(20) DEFAULT \"\" NOT NULL, agreeno VARCHAR(15) DEFAULT \"\" NOT NULL, outcom VARCHAR(14) DEFAULT \"\" NOT NULL, memno VARCHAR(15) DEFAULT \"\" NOT NULL, memcom VARCHAR(14) DEFAULT \"\" NOT NULL, account VARCHAR(10) DEFAULT \"\" NOT NULL, tradeno VARCHAR(14) DEFAULT \"\" NOT NULL, dealdate VARCHAR(10) DEFAULT \"\" NOT NULL, dealtime VARCHAR(10) DEFAULT \"\" NOT NULL, PRIMARY KEY (code))"),
    }, {}, false};
    procs["CreateTBL_invn_chk"] = SubProcedure{{
        execute("CREATE TABLE `invn_chk` (`code` AUTOINCREMENT, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `ocode` SMALLINT DEFAULT 1 NOT NULL, `scode` SMALLINT DEFAULT 1 NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `bigo` VARCHAR(100) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
        addForeignKey("fk_office_invn_chk", "invn_chk", "ocode", "office", "code", 3),
        addForeignKey("fk_shouse_invn_chk", "invn_chk", "scode", "storehouse", "code", 3),
        addForeignKey("fk_prod_invn_chk", "invn_chk", "pcode", "product_m", "code", 3),
    }, {}, false};
    procs["CreateTBL_custprodmatch"] = SubProcedure{{
        execute("CREATE TABLE `custprodmatch` (`ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `btype` TINYINT DEFAULT 0 NOT NULL, PRIMARY KEY (`ccode`, `pcode`, `btype`))"),
        addForeignKey("fk_cust_match", "custprodmatch", "ccode", "customer", "code", 3),
        addForeignKey("fk_prod_match", "custprodmatch", "pcode", "product_m", "code", 3),
    }, {}, false};
    procs["CreateTBL_custusermatch"] = SubProcedure{{
        execute("CREATE TABLE `custusermatch` (`ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `ucode` VARCHAR(2) DEFAULT \"\" NOT NULL, PRIMARY KEY (`ccode`, `ucode`))"),
        addForeignKey("fk_cust_custusermatch", "custusermatch", "ccode", "customer", "code", 3),
        addForeignKey("fk_user_custusermatch", "custusermatch", "ucode", "local_user", "code", 3),
    }, {}, false};
    // BillNoteSubRtn (step 56) has code of its own: modDBPatch_VARDO.cpp
    procs["CreateTBL_officegroup"] = SubProcedure{{
        execute("CREATE TABLE `officegroup` (code AUTOINCREMENT NOT NULL, name VARCHAR(30) DEFAULT \"\" NOT NULL, PRIMARY KEY (code))"),
        execute("INSERT INTO officegroup (name) VALUES ('미지정')"),
    }, {}, false};
    procs["CreateTBL_custpclassmatch"] = SubProcedure{{
        execute("CREATE TABLE `custpclassmatch` (`ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `pccode` VARCHAR(4) DEFAULT \"\" NOT NULL, `btype` TINYINT DEFAULT 0 NOT NULL, `lastmodify` DATETIME NOT NULL, PRIMARY KEY (`ccode`, `pccode`, `btype`))"),
        addForeignKey("custpclassmatch_ccode_fk", "custpclassmatch", "ccode", "customer", "code", 3),
        addForeignKey("custpclassmatch_pccode_fk", "custpclassmatch", "pccode", "pclass", "code", 3),
    }, {}, false};
    procs["CreateTBL_invn_move_plan"] = SubProcedure{{
        execute("CREATE TABLE `invn_move_plan` (`code` AUTOINCREMENT, `ocode_o` SMALLINT DEFAULT 1 NOT NULL, `ocode_i` SMALLINT DEFAULT 1 NOT NULL, `scode_o` SMALLINT DEFAULT 1 NOT NULL, `scode_i` SMALLINT DEFAULT 1 NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `boxqnt` DOUBLE DEFAULT 0 NOT NULL, `piceqnt` DOUBLE DEFAULT 0 NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `price` DOUBLE DEFAULT 0 NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `deallistno` VARCHAR(12) DEFAULT \"\" NOT NULL, `regucode` VARCHAR(2) DEFAULT \"\" NOT NULL, `prnbigo` VARCHAR(100) DEFAULT \"\" NOT NULL, `arrive` SMALLINT DEFAULT 0 NOT NULL, PRIMARY KEY (`code`))"),
        addForeignKey("imp_user_fk", "invn_move_plan", "regucode", "local_user", "code", 3),
        addForeignKey("imp_pm_fk", "invn_move_plan", "pcode", "product_m", "code", 3),
        addForeignKey("imp_house_fk1", "invn_move_plan", "scode_o", "storehouse", "code", 3),
        addForeignKey("imp_house_fk2", "invn_move_plan", "scode_i", "storehouse", "code", 3),
        addForeignKey("imp_office_fk1", "invn_move_plan", "ocode_o", "office", "code", 3),
        addForeignKey("imp_office_fk2", "invn_move_plan", "ocode_i", "office", "code", 3),
    }, {}, false};
    procs["CreateTBL_workshift"] = SubProcedure{{
        execute("CREATE TABLE `workshift` (`code` AUTOINCREMENT, `shifttime` VARCHAR(15) DEFAULT '' NOT NULL, `bigo` VARCHAR(255) DEFAULT '' NOT NULL, `regucode` VARCHAR(2) DEFAULT '' NOT NULL, `ocode` SMALLINT DEFAULT 1 NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};
    procs["CreateTBL_recv_cashbook"] = SubProcedure{{
        execute("CREATE TABLE `recv_cashbook` (`r_code` LONG DEFAULT 0 NOT NULL, `r_part` TINYINT DEFAULT 0 NOT NULL, `c_code` LONG DEFAULT 0 NOT NULL, `input2_type` TINYINT DEFAULT 0 NOT NULL, PRIMARY KEY (`r_code`, `r_part`, `c_code`))"),
    }, {}, false};
    procs["CreateTBL_holiday1"] = SubProcedure{{
        execute("CREATE TABLE `holiday1_m` (`h_num` AUTOINCREMENT, `h_date` VARCHAR(10) DEFAULT \"\" NOT NULL, `yn_moon` TINYINT DEFAULT 0 NOT NULL, `h_name` VARCHAR(50) DEFAULT \"\" NOT NULL, `yn_bank` TINYINT DEFAULT 1 NOT NULL, `yn_our` TINYINT DEFAULT 1 NOT NULL, PRIMARY KEY (`h_num`))"),
        execute("CREATE TABLE `holiday1_d` (`h_num` LONG DEFAULT 0 NOT NULL, `h_date` VARCHAR(10) DEFAULT \"\" NOT NULL, PRIMARY KEY (`h_num`, `h_date`))"),
        createIndex("idx_holiday1_d_h_date", "holiday1_d", "h_date"),
        SeedIfEmptyOp{"holiday1_m", {
            "insert into holiday1_m (h_date, h_name) VALUES ('0000-01-01','신정')",
            "insert into holiday1_m (h_date, h_name) VALUES ('0000-03-01','삼일절')",
            "insert into holiday1_m (h_date, h_name) VALUES ('0000-05-01','근로자의날')",
            "insert into holiday1_m (h_date, h_name) VALUES ('0000-05-05','어린이날')",
            "insert into holiday1_m (h_date, h_name) VALUES ('0000-06-06','현충일')",
            "insert into holiday1_m (h_date, h_name) VALUES ('0000-08-15','광복절')",
            "insert into holiday1_m (h_date, h_name) VALUES ('0000-10-03','개천절')",
            "insert into holiday1_m (h_date, h_name) VALUES ('0000-12-25','성탄절')",
            "insert into holiday1_m (h_date, h_name, yn_moon) VALUES ('0000-01-01','설날',1)",
            "insert into holiday1_m (h_date, h_name, yn_moon) VALUES ('0000-04-08','석가탄신일',1)",
            "insert into holiday1_m (h_date, h_name, yn_moon) VALUES ('0000-08-15','추석',1)",
        }},
    }, {}, true};
    // CreateTBL_office_store (step 87) has code of its own: modDBPatch_VARDO.cpp
    procs["CreateTBL_event_price"] = SubProcedure{{
        execute("CREATE TABLE `event_price` (`code` AUTOINCREMENT, `ocode` SMALLINT DEFAULT 1 NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `sdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `edate` VARCHAR(10) DEFAULT \"\" NOT NULL, `price` DOUBLE DEFAULT 0 NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
        createIndex("idx_event_price_pcode", "event_price", "pcode"),
        createIndex("idx_event_price_ocode", "event_price", "ocode"),
        createIndex("idx_event_price_sdate", "event_price", "sdate"),
        addForeignKey("fk_office_evtprice", "event_price", "ocode", "office", "code", 3),
        addForeignKey("fk_prodt_evtprice", "event_price", "pcode", "product_m", "code", 3),
    }, {}, false};
    procs["CreateTBL_serial"] = SubProcedure{{
        execute("CREATE TABLE `serial` (`code` AUTOINCREMENT, `ocode` SMALLINT DEFAULT 1 NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `serial` VARCHAR(30) DEFAULT \"\" NOT NULL, `type` TINYINT DEFAULT 0 NOT NULL, `codet` VARCHAR(12) DEFAULT \"\", `codei` LONG DEFAULT 0, PRIMARY KEY (`code`))"),
        createIndex("idx_serial_pcode", "serial", "pcode"),
        createIndex("idx_serial_serial", "serial", "serial"),
        createIndex("idx_serial_codet", "serial", "codet"),
        addForeignKey("fk_prodt_serial", "serial", "pcode", "product_m", "code", 3),
    }, {}, false};
    procs["CreateTBL_buy_log"] = SubProcedure{{
        execute("CREATE TABLE `buy_log` (`logno` AUTOINCREMENT, `part` TINYINT DEFAULT 0 NOT NULL, `buyno` VARCHAR(12) DEFAULT \"\" NOT NULL, `ocode` SMALLINT DEFAULT 1 NOT NULL, `scode` SMALLINT DEFAULT 1 NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `price` DOUBLE DEFAULT 0 NOT NULL, `amount` DOUBLE DEFAULT 0 NOT NULL, `tax` DOUBLE DEFAULT 0 NOT NULL, `dc` DOUBLE DEFAULT 0 NOT NULL, `total` DOUBLE DEFAULT 0 NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `logtime` VARCHAR(10) DEFAULT \"\" NOT NULL, `regucode` VARCHAR(2) DEFAULT \"\" NOT NULL, PRIMARY KEY (`logno`, `part`))"),
        execute("CREATE TABLE `receive_log` (`logno` AUTOINCREMENT, `part` TINYINT DEFAULT 0 NOT NULL, `receiveno` LONG DEFAULT 0 NOT NULL, `ocode` SMALLINT DEFAULT 1 NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `amount` DOUBLE DEFAULT 0 NOT NULL, `dc` DOUBLE DEFAULT 0 NOT NULL, `fee` DOUBLE DEFAULT 0 NOT NULL, `type` TINYINT DEFAULT 0 NOT NULL, `subcode` VARCHAR(20) DEFAULT \"\" NOT NULL, `deallistno` VARCHAR(12) DEFAULT \"\" NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `expiredate` VARCHAR(10) DEFAULT \"\" NOT NULL, `logtime` VARCHAR(10) DEFAULT \"\" NOT NULL, `regucode` VARCHAR(2) DEFAULT \"\" NOT NULL, PRIMARY KEY (`logno`, `part`))"),
        execute("CREATE TABLE `payment_log` (`logno` AUTOINCREMENT, `part` TINYINT DEFAULT 0 NOT NULL, `paymentno` LONG DEFAULT 0 NOT NULL, `ocode` SMALLINT DEFAULT 1 NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `amount` DOUBLE DEFAULT 0 NOT NULL, `dc` DOUBLE DEFAULT 0 NOT NULL, `fee` DOUBLE DEFAULT 0 NOT NULL, `type` TINYINT DEFAULT 0 NOT NULL, `subcode` VARCHAR(20) DEFAULT \"\" NOT NULL, `deallistno` VARCHAR(12) DEFAULT \"\" NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `expiredate` VARCHAR(10) DEFAULT \"\" NOT NULL, `logtime` VARCHAR(10) DEFAULT \"\" NOT NULL, `regucode` VARCHAR(2) DEFAULT \"\" NOT NULL, PRIMARY KEY (`logno`, `part`))"),
    }, {}, false};
    procs["CreateTBL_consignment"] = SubProcedure{{
        execute("CREATE TABLE `consignment_m` (`code` AUTOINCREMENT, `ocode` SMALLINT DEFAULT 1 NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `expiredate` VARCHAR(10) DEFAULT \"\" NOT NULL, `bigo` VARCHAR(100) DEFAULT \"\" NOT NULL, `regucode` VARCHAR(2) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
        execute("CREATE TABLE `consignment_d` (`code` AUTOINCREMENT, `mcode` LONG DEFAULT 0 NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `price` DOUBLE DEFAULT 0 NOT NULL, `fee` DOUBLE DEFAULT 0 NOT NULL, `boxqnt` DOUBLE DEFAULT 0 NOT NULL, `piceqnt` DOUBLE DEFAULT 0 NOT NULL, `bigo` VARCHAR(100) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
        createIndex("idx_consig_mcode", "consignment_d", "mcode"),
        execute("CREATE TABLE `consign_sale` (`code` AUTOINCREMENT, `ocode` SMALLINT DEFAULT 1 NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `price` DOUBLE DEFAULT 0 NOT NULL, `fee` DOUBLE DEFAULT 0 NOT NULL, `boxqnt` DOUBLE DEFAULT 0 NOT NULL, `piceqnt` DOUBLE DEFAULT 0 NOT NULL, `bigo` VARCHAR(100) DEFAULT \"\" NOT NULL, `scode_o` SMALLINT DEFAULT 1 NOT NULL, `scode_i` SMALLINT DEFAULT 1 NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `regucode` VARCHAR(2) DEFAULT \"\" NOT NULL, `saleyn` SMALLINT DEFAULT 0 NOT NULL, `chkcode` LONG DEFAULT 0 NOT NULL, `salecode` VARCHAR(12) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
        createIndex("idx_consign_chkcode", "consign_sale", "chkcode"),
        execute("CREATE TABLE `consign_chk` (`code` AUTOINCREMENT, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `ocode` SMALLINT DEFAULT 1 NOT NULL, `scode` SMALLINT DEFAULT 1 NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `bigo` VARCHAR(100) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};
    procs["CreateTBL_bank_log"] = SubProcedure{{
        execute("CREATE TABLE `bank_log` (`code` AUTOINCREMENT, `bkname` VARCHAR(30) DEFAULT \"\" NOT NULL, `number` VARCHAR(20) DEFAULT \"\" NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `gubun` VARCHAR(50) DEFAULT \"\" NOT NULL, `save` DOUBLE DEFAULT 0 NOT NULL, `pay` DOUBLE DEFAULT 0 NOT NULL, `chk` VARCHAR(1) DEFAULT 0 NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};
    procs["CreateTBL_security_ip"] = SubProcedure{{
        execute("CREATE TABLE `security_ip` (`ipv4` VARCHAR(15) DEFAULT \"\" NOT NULL, `memo` VARCHAR(255) DEFAULT \"\" NOT NULL, `aprvucode` VARCHAR(2) DEFAULT \"\" NOT NULL, `aprvdate` VARCHAR(10) DEFAULT \"\" NOT NULL, PRIMARY KEY (`ipv4`))"),
    }, {}, false};
    procs["CreateTBL_security_mac"] = SubProcedure{{
        execute("CREATE TABLE `security_mac` (`mac` VARCHAR(12) DEFAULT \"\" NOT NULL, `pcname` VARCHAR(255) DEFAULT \"\" NOT NULL, `memo` VARCHAR(255) DEFAULT \"\" NOT NULL, `lastdate` DATETIME NOT NULL, `isapproval` TINYINT DEFAULT 0 NOT NULL, `aprvucode` VARCHAR(2) DEFAULT \"\" NOT NULL, `aprvdate` VARCHAR(10) DEFAULT \"\" NOT NULL, PRIMARY KEY (`mac`))"),
    }, {}, false};
    procs["CreateTBL_security_time"] = SubProcedure{{
        execute("CREATE TABLE `security_time` (`ucode` VARCHAR(2) DEFAULT \"\" NOT NULL, `stime1` VARCHAR(5) DEFAULT \"00:00\" NOT NULL, `etime1` VARCHAR(5) DEFAULT \"00:00\" NOT NULL, `stime2` VARCHAR(5) DEFAULT \"00:00\" NOT NULL, `etime2` VARCHAR(5) DEFAULT \"00:00\" NOT NULL, `isuse` TINYINT DEFAULT 0 NOT NULL, `aprvucode` VARCHAR(2) DEFAULT \"\" NOT NULL, `aprvdate` VARCHAR(10) DEFAULT \"\" NOT NULL, PRIMARY KEY (`ucode`))"),
    }, {}, false};
    procs["CreateTBL_sign_img"] = SubProcedure{{
        execute("CREATE TABLE `sign_img` (`nid` AUTOINCREMENT, `sign` VARCHAR(255) DEFAULT \"\" NOT NULL, `uptime` DATETIME NOT NULL, PRIMARY KEY (`nid`))"),
    }, {}, false};
    procs["CreateTBL_pda_regist"] = SubProcedure{{
        execute("CREATE TABLE `pda_regist` (`device_id` VARCHAR(100) DEFAULT \"\" NOT NULL, `reg_status` LONG DEFAULT 1 NOT NULL, `count` LONG DEFAULT 1 NOT NULL, `reg_name` VARCHAR(100) DEFAULT \"\" NOT NULL, PRIMARY KEY (`device_id`))"),
        execute("CREATE TABLE `pda_regist_history` (`code` AUTOINCREMENT, `device_id` VARCHAR(100) DEFAULT \"\" NOT NULL, `reg_status` LONG DEFAULT 1 NOT NULL, `registdate` DATETIME NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};
    procs["CreateTBL_custprodinterest"] = SubProcedure{{
        execute("CREATE TABLE `custprodinterest` (`ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, PRIMARY KEY (`ccode`, `pcode`))"),
        addForeignKey("custprodinterest_ccode_fk", "custprodinterest", "ccode", "customer", "code", 3),
        addForeignKey("custprodinterest_pcode_fk", "custprodinterest", "pcode", "product_m", "code", 3),
    }, {}, false};
    // LoginPwdUpdate (step 120) has code of its own: modDBPatch_VARDO.cpp
    procs["CreateTBL_repairlist"] = SubProcedure{{
        execute("CREATE TABLE `repairlist` (`code` AUTOINCREMENT, `key_code` VARCHAR(100) NOT NULL, `repair_type` INT NOT NULL DEFAULT 0, `repair_state` INT NOT NULL DEFAULT 0, `cale_date` DATETIME NULL, `data_created` DATETIME NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};
    procs["CreateTBL_calclist_temp"] = SubProcedure{{
        execute("CREATE TABLE `calclist_temp` (`pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `ocode` SMALLINT DEFAULT 1 NOT NULL, `caltype` INT DEFAULT 0 NOT NULL, PRIMARY KEY (`pcode`, `ocode`))"),
    }, {}, false};
    procs["CreateTBL_calcmonthlist_temp"] = SubProcedure{{
        execute("DROP TABLE `calclist_temp`"),
        execute("CREATE TABLE `calclist_temp` (`pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `ocode` SMALLINT DEFAULT 1 NOT NULL, `basem` VARCHAR(10) DEFAULT \"\" NOT NULL, PRIMARY KEY (`pcode`, `ocode`, `basem`))"),
        execute("CREATE TABLE `calcmonthlist_temp` (`basem` VARCHAR(10) DEFAULT \"\" NOT NULL, `calcyn` SMALLINT DEFAULT 0 NOT NULL, PRIMARY KEY (`basem`))"),
    }, {}, false};
    procs["CreateTBL_approval_details"] = SubProcedure{{
        execute("CREATE TABLE `approval_details` (`code` AUTOINCREMENT, `old_code` INT NOT NULL, `trade_number` VARCHAR(30) NOT NULL DEFAULT \"\", `licensee_name` VARCHAR(70) NOT NULL DEFAULT \"\", `licensee_number` VARCHAR(14) NOT NULL DEFAULT \"\", `licensee_owner` VARCHAR(30) NOT NULL DEFAULT \"\", `licensee_address` VARCHAR(250) NOT NULL DEFAULT \"\", `licensee_phone` VARCHAR(40) NOT NULL DEFAULT \"\", `trade_type` VARCHAR(10) NOT NULL DEFAULT \"\", `card_name` VARCHAR(50) NOT NULL DEFAULT \"\", `installment` VARCHAR(2) NOT NULL DEFAULT \"\", `auth_number` VARCHAR(10) NOT NULL DEFAULT \"\", `auth_date` VARCHAR(30) NOT NULL DEFAULT \"\", `card_comp` VARCHAR(200) NOT NULL DEFAULT \"\", `cancel_flag` VARCHAR(2) NOT NULL DEFAULT \"\", `franchise_number` VARCHAR(15) NOT NULL DEFAULT \"\", `tax_mode` INT NOT NULL DEFAULT -1, `auth_sum` INT NOT NULL DEFAULT -1, `remarks` VARCHAR(100) NOT NULL DEFAULT \"\", `data_created` DATETIME NOT NULL, `data_creator` INT NOT NULL DEFAULT 0, `data_updated` DATETIME NOT NULL DEFAULT NOW(), `data_updater` INT NOT NULL DEFAULT 0, PRIMARY KEY (`code`))"),
    }, {}, false};
    procs["CreateTBL_androidsettings"] = SubProcedure{{
        execute("CREATE TABLE `androidsettings` (`app_code` VARCHAR(3) NOT NULL DEFAULT \"\", `user_code` VARCHAR(2) NOT NULL DEFAULT \"\", `wifi_mac` VARCHAR(20) NOT NULL DEFAULT \"\", `devicename` VARCHAR(50) NOT NULL DEFAULT \"\", `settings` TEXT NULL, `data_created` DATETIME NOT NULL, `data_updated` DATETIME NOT NULL DEFAULT NOW(), PRIMARY KEY (`app_code`, `user_code`, `wifi_mac`))"),
    }, {}, false};
    procs["CreateTBL_sale_h_tax"] = SubProcedure{{
        execute("CREATE TABLE `sale_h_tax_m` (`h_appv_no` VARCHAR(24) NOT NULL, `h_tax_type` INT NOT NULL DEFAULT 1, `h_writedate` DATE NOT NULL, `h_issuedate` DATE NOT NULL, `h_transdate` DATE NOT NULL, `h_comp_name` VARCHAR(70) NOT NULL DEFAULT \"\", `h_ceo_name` VARCHAR(30) NOT NULL DEFAULT \"\", `h_comp_sn` VARCHAR(14) NOT NULL DEFAULT \"\", `h_sub_comp_sn` VARCHAR(4) NOT NULL DEFAULT \"\", `h_addr` VARCHAR(150) NOT NULL DEFAULT \"\", `h_email` VARCHAR(50) NOT NULL DEFAULT \"\", `h_biz_status` VARCHAR(40) NOT NULL DEFAULT \"\", `h_biz_item` VARCHAR(40) NOT NULL DEFAULT \"\", `h_comp_name_add` VARCHAR(70) NOT NULL DEFAULT \"\", `h_ceo_name_add` VARCHAR(30) NOT NULL DEFAULT \"\", `h_comp_sn_add` VARCHAR(14) NOT NULL DEFAULT \"\", `h_sub_comp_sn_add` VARCHAR(4) NOT NULL DEFAULT \"\", `h_addr_add` VARCHAR(150) NOT NULL DEFAULT \"\", `h_email_add` VARCHAR(50) NOT NULL DEFAULT \"\", `h_biz_status_add` VARCHAR(40) NOT NULL DEFAULT \"\", `h_biz_item_add` VARCHAR(40) NOT NULL DEFAULT \"\", `h_clsnm` VARCHAR(10) NOT NULL DEFAULT \"\", `h_kndnm` VARCHAR(10) NOT NULL DEFAULT \"\", `h_kind` INT NOT NULL DEFAULT 0, `h_appv_no_t` VARCHAR(24) NOT NULL DEFAULT \"\", `h_isntype` VARCHAR(20) NOT NULL DEFAULT \"\", `h_recved_yn` INT NOT NULL DEFAULT 1, `h_pname` VARCHAR(100) NOT NULL DEFAULT \"\", `h_sup_amt` DOUBLE NOT NULL DEFAULT 0, `h_vat` DOUBLE NOT NULL DEFAULT 0, `h_tot_amt` DOUBLE NOT NULL DEFAULT 0, `h_remarks` VARCHAR(100) NOT NULL DEFAULT \"\", `h_changereason` VARCHAR(100) NOT NULL DEFAULT \"\", `h_taxno` VARCHAR(12) NULL DEFAULT NULL, `data_created` DATETIME NOT NULL, `data_creator` INT NOT NULL DEFAULT 0, `data_updated` DATETIME NOT NULL DEFAULT NOW(), `data_updater` INT NOT NULL DEFAULT 0, `h_cashno` INT NULL DEFAULT NULL, PRIMARY KEY (`h_appv_no`))"),
        execute("CREATE INDEX idx_sale_h_tax_m__h_tax_type ON sale_h_tax_m(h_tax_type)"),
        execute("CREATE INDEX idx_sale_h_tax_m__h_writedate ON sale_h_tax_m(h_writedate)"),
        execute("CREATE INDEX idx_sale_h_tax_m__h_issuedate ON sale_h_tax_m(h_issuedate)"),
        execute("CREATE INDEX idx_sale_h_tax_m__h_transdate ON sale_h_tax_m(h_transdate)"),
        execute("CREATE INDEX idx_sale_h_tax_m__h_kind ON sale_h_tax_m(h_kind)"),
        execute("CREATE INDEX fk_sale_h_tax_m_h_taxno ON sale_h_tax_m(h_taxno)"),
        execute("CREATE INDEX idx_sale_h_tax_m_h_cashno ON sale_h_tax_m(h_cashno)"),
        execute("CREATE TABLE `sale_h_tax_d` (`h_appv_no` VARCHAR(24) NOT NULL, `seq` INT NOT NULL DEFAULT 0, `dealdate` DATE NOT NULL, `pname` VARCHAR(100) NOT NULL DEFAULT \"\", `qty` DOUBLE NOT NULL DEFAULT 0, `price` DOUBLE NOT NULL DEFAULT 0, `sup_amt` DOUBLE NOT NULL DEFAULT 0, `vat` DOUBLE NOT NULL DEFAULT 0, `remarks` VARCHAR(100) NOT NULL DEFAULT \"\", `data_created` DATETIME NOT NULL, `data_creator` INT NOT NULL DEFAULT 0, `data_updated` DATETIME NOT NULL DEFAULT NOW(), `data_updater` INT NOT NULL DEFAULT 0, PRIMARY KEY (`h_appv_no`, `seq`))"),
        execute("ALTER TABLE `sale_h_tax_d` ADD CONSTRAINT `fk_sale_h_tax_d__h_appv_no` FOREIGN KEY (`h_appv_no`) REFERENCES `sale_h_tax_m` (`h_appv_no`) ON UPDATE CASCADE ON DELETE CASCADE"),
        execute("CREATE TABLE `buy_h_tax_m` (`h_appv_no` VARCHAR(24) NOT NULL, `h_tax_type` INT NOT NULL DEFAULT 1, `h_writedate` DATE NOT NULL, `h_issuedate` DATE NOT NULL, `h_transdate` DATE NOT NULL, `h_comp_name` VARCHAR(70) NOT NULL DEFAULT \"\", `h_ceo_name` VARCHAR(30) NOT NULL DEFAULT \"\", `h_comp_sn` VARCHAR(14) NOT NULL DEFAULT \"\", `h_sub_comp_sn` VARCHAR(4) NOT NULL DEFAULT \"\", `h_addr` VARCHAR(150) NOT NULL DEFAULT \"\", `h_email` VARCHAR(50) NOT NULL DEFAULT \"\", `h_biz_status` VARCHAR(40) NOT NULL DEFAULT \"\", `h_biz_item` VARCHAR(40) NOT NULL DEFAULT \"\", `h_comp_name_add` VARCHAR(70) NOT NULL DEFAULT \"\", `h_ceo_name_add` VARCHAR(30) NOT NULL DEFAULT \"\", `h_comp_sn_add` VARCHAR(14) NOT NULL DEFAULT \"\", `h_sub_comp_sn_add` VARCHAR(4) NOT NULL DEFAULT \"\", `h_addr_add` VARCHAR(150) NOT NULL DEFAULT \"\", `h_email_add` VARCHAR(50) NOT NULL DEFAULT \"\", `h_biz_status_add` VARCHAR(40) NOT NULL DEFAULT \"\", `h_biz_item_add` VARCHAR(40) NOT NULL DEFAULT \"\", `h_clsnm` VARCHAR(10) NOT NULL DEFAULT \"\", `h_kndnm` VARCHAR(10) NOT NULL DEFAULT \"\", `h_kind` INT NOT NULL DEFAULT 0, `h_appv_no_t` VARCHAR(24) NOT NULL DEFAULT \"\", `h_isntype` VARCHAR(20) NOT NULL DEFAULT \"\", `h_recved_yn` INT NOT NULL DEFAULT 1, `h_pname` VARCHAR(100) NOT NULL DEFAULT \"\", `h_sup_amt` DOUBLE NOT NULL DEFAULT 0, `h_vat` DOUBLE NOT NULL DEFAULT 0, `h_tot_amt` DOUBLE NOT NULL DEFAULT 0, `h_remarks` VARCHAR(100) NOT NULL DEFAULT \"\", `h_changereason` VARCHAR(100) NOT NULL DEFAULT \"\", `h_taxno` VARCHAR(12) NULL DEFAULT NULL, `data_created` DATETIME NOT NULL, `data_creator` INT NOT NULL DEFAULT 0, `data_updated` DATETIME NOT NULL DEFAULT NOW(), `data_updater` INT NOT NULL DEFAULT 0, `h_cashno` INT NULL DEFAULT NULL, PRIMARY KEY (`h_appv_no`))"),
        execute("CREATE INDEX idx_buy_h_tax_m__h_tax_type ON buy_h_tax_m(h_tax_type)"),
        execute("CREATE INDEX idx_buy_h_tax_m__h_writedate ON buy_h_tax_m(h_writedate)"),
        execute("CREATE INDEX idx_buy_h_tax_m__h_issuedate ON buy_h_tax_m(h_issuedate)"),
        execute("CREATE INDEX idx_buy_h_tax_m__h_transdate ON buy_h_tax_m(h_transdate)"),
        execute("CREATE INDEX idx_buy_h_tax_m__h_kind ON buy_h_tax_m(h_kind)"),
        execute("CREATE INDEX fk_buy_h_tax_m_h_taxno ON buy_h_tax_m(h_taxno)"),
        execute("CREATE INDEX idx_buy_h_tax_m_h_cashno ON buy_h_tax_m(h_cashno)"),
        execute("CREATE TABLE `buy_h_tax_d` (`h_appv_no` VARCHAR(24) NOT NULL, `seq` INT NOT NULL DEFAULT 0, `dealdate` DATE NOT NULL, `pname` VARCHAR(100) NOT NULL DEFAULT \"\", `qty` DOUBLE NOT NULL DEFAULT 0, `price` DOUBLE NOT NULL DEFAULT 0, `sup_amt` DOUBLE NOT NULL DEFAULT 0, `vat` DOUBLE NOT NULL DEFAULT 0, `remarks` VARCHAR(100) NOT NULL DEFAULT \"\", `data_created` DATETIME NOT NULL, `data_creator` INT NOT NULL DEFAULT 0, `data_updated` DATETIME NOT NULL DEFAULT NOW(), `data_updater` INT NOT NULL DEFAULT 0, PRIMARY KEY (`h_appv_no`, `seq`))"),
        execute("ALTER TABLE `buy_h_tax_d` ADD CONSTRAINT `fk_buy_h_tax_d__h_appv_no` FOREIGN KEY (`h_appv_no`) REFERENCES `buy_h_tax_m` (`h_appv_no`) ON UPDATE CASCADE ON DELETE CASCADE"),
        execute("CREATE TABLE `product_h_sync` (`pcode` VARCHAR(6) NOT NULL, `pname` VARCHAR(100) NOT NULL DEFAULT \"\", PRIMARY KEY (`pcode`, `pname`))"),
        execute("ALTER TABLE `product_h_sync` ADD CONSTRAINT `fk_product_h_sync__pcode` FOREIGN KEY (`pcode`) REFERENCES `product_m` (`code`) ON UPDATE CASCADE ON DELETE CASCADE"),
        execute("CREATE TABLE `customer_h_sync` (`ccode` VARCHAR(6) NOT NULL, `custname` VARCHAR(100) NOT NULL DEFAULT \"\", PRIMARY KEY (`ccode`, `custname`))"),
        execute("ALTER TABLE `customer_h_sync` ADD CONSTRAINT `fk_customer_h_sync__ccode` FOREIGN KEY (`ccode`) REFERENCES `customer` (`code`) ON UPDATE CASCADE ON DELETE CASCADE"),
    }, {}, false};
    return procs;
}

}  // namespace dex::modDBPatch_VARDO
