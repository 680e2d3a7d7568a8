// The ladder of the vardoII catalogue: each step's operations, in order,
// with every argument as the product's schema history defines it.
#include "modDBPatch_VARDO.h"
#include "modDBsub_ADO.h"

namespace dex::modDBPatch_VARDO {

using namespace migration;
using namespace migration::build;
namespace coltype = modDBsub_ADO::coltype;

std::vector<Step> Steps() {
    return {
        step(2, {
            addColumn("sale", "boxqnt", coltype::DOUBLE, 0, N(0), "UPDATE sale SET boxqnt = 0"),
            addColumn("sale", "piceqnt", coltype::DOUBLE, 0, N(0), "UPDATE sale SET piceqnt = 0"),
            addColumn("buy", "boxqnt", coltype::DOUBLE, 0, N(0), "UPDATE buy SET boxqnt = 0"),
            addColumn("buy", "piceqnt", coltype::DOUBLE, 0, N(0), "UPDATE buy SET piceqnt = 0"),
        }),
        step(3, {
            addColumn("sale_log", "regucode", coltype::VARCHAR, 2, QQ(), "UPDATE sale_log SET regucode = ''"),
            call("CreateTBL_invn_move"),
        }),
        step(4, {
            addColumn("billnote", "backsign", coltype::VARCHAR, 20, QQ(), "UPDATE billnote SET backsign = ''"),
        }),
        step(5, {
            addColumn("payment", "deallistno", coltype::VARCHAR, 12, QQ(), "UPDATE payment SET deallistno = ''"),
            addColumn("receive", "deallistno", coltype::VARCHAR, 12, QQ(), "UPDATE receive SET deallistno = ''"),
        }),
        step(6, {
            call("CreateTBL_delcar"),
            call("CreateTBL_pclsdc"),
            call("CreateTBL_qlty"),
            call("CreateTBL_qltydc"),
            addColumn("product_m", "qcode", coltype::LONG, 0, N(1), "UPDATE product_m SET qcode = 1"),
            addForeignKey("fk_pd_qlty", "product_m", "qcode", "qlty", "code", 3),
        }),
        step(7, {
            call("CreateTBL_saletype"),
            addColumn("sale", "tcode", coltype::LONG, 0, N(1), "UPDATE sale SET tcode = 1"),
            addColumn("buy", "tcode", coltype::LONG, 0, N(1), "UPDATE buy SET tcode = 1"),
            addForeignKey("fk_sale_type", "sale", "tcode", "saletype", "code", 3),
            addForeignKey("fk_buy_type", "buy", "tcode", "saletype", "code", 3),
        }),
        step(8, {
            addColumn("product_m", "pic1", coltype::VARCHAR, 100, QQ(), "UPDATE product_m SET pic1 = ''"),
            addColumn("product_m", "pic2", coltype::VARCHAR, 100, QQ(), "UPDATE product_m SET pic2 = ''"),
            addColumn("product_m", "pic3", coltype::VARCHAR, 100, QQ(), "UPDATE product_m SET pic3 = ''"),
            addColumn("product_m", "pic4", coltype::VARCHAR, 100, QQ(), "UPDATE product_m SET pic4 = ''"),
            addColumn("product_m", "pic5", coltype::VARCHAR, 100, QQ(), "UPDATE product_m SET pic5 = ''"),
            addColumn("product_m", "pic6", coltype::VARCHAR, 100, QQ(), "UPDATE product_m SET pic6 = ''"),
            call("CreateTBL_custgroup"),
            addColumn("customer", "gcode", coltype::LONG, 0, N(1), "UPDATE customer SET gcode = 1"),
            addForeignKey("fk_cust_group", "customer", "gcode", "custgroup", "code", 3),
            addColumn("product_m", "bcode2", coltype::VARCHAR, 20, QQ(), "UPDATE product_m SET bcode2 = ''"),
            addColumn("product_m", "bcode3", coltype::VARCHAR, 20, QQ(), "UPDATE product_m SET bcode3 = ''"),
            addColumn("product_m", "bcode4", coltype::VARCHAR, 20, QQ(), "UPDATE product_m SET bcode4 = ''"),
            addColumn("product_m", "bcode5", coltype::VARCHAR, 20, QQ(), "UPDATE product_m SET bcode5 = ''"),
            addColumn("product_m", "bcode6", coltype::VARCHAR, 20, QQ(), "UPDATE product_m SET bcode6 = ''"),
            call("CreateTBL_userlog"),
            addForeignKey("fk_user_log", "userlog", "ucode", "local_user", "code", 3),
        }),
        step(9, {
            addColumn("product_m", "color", coltype::LONG, 0, N(16777215), "UPDATE product_m SET color =  16777215"),
        }),
        step(10, {
            call("CreateTBL_constrt"),
            addForeignKey("fk_office_const", "constrt", "ocode", "office", "code", 3),
            addForeignKey("fk_cust_const", "constrt", "ccode", "customer", "code", 3),
            addColumn("sale", "gcode", coltype::LONG, 0, N(0), "UPDATE sale SET gcode = 0"),
            addColumn("buy", "gcode", coltype::LONG, 0, N(0), "UPDATE buy SET gcode = 0"),
            addColumn("receive", "gcode", coltype::LONG, 0, N(0), "UPDATE receive SET gcode = 0"),
            addColumn("payment", "gcode", coltype::LONG, 0, N(0), "UPDATE payment SET gcode = 0"),
        }),
        step(11, {
            addColumn("estimate_m", "gcode", coltype::LONG, 0, N(0), "UPDATE estimate_m SET gcode = 0"),
            alterColumn("estimate_m", "paytype", coltype::VARCHAR, 100, QQ()),
            alterColumn("estimate_m", "bigo", coltype::VARCHAR, 200, QQ()),
        }),
        step(12, {
            call("CreateTBL_aslist"),
            addForeignKey("fk_office_aslist", "aslist", "ocode", "office", "code", 3),
            addForeignKey("fk_cust_aslist", "aslist", "ccode", "customer", "code", 3),
            addForeignKey("fk_prod_aslist", "aslist", "pcode", "product_m", "code", 3),
            addForeignKey("fk_user_aslist2", "aslist", "regucode", "local_user", "code", 3),
        }),
        elseIfStep(13, {
            alterColumn("aslist", "asmemo", coltype::TEXT, 0, QQ()),
        }),
        step(14, {
            addColumn("product_d", "baseprice", coltype::DOUBLE, 0, N(0), "UPDATE product_d SET baseprice = 0"),
            addColumn("product_d", "buypricepct", coltype::DOUBLE, 0, N(0), "UPDATE product_d SET buypricepct = 0"),
            addColumn("product_d", "salepricepct", coltype::DOUBLE, 0, N(0), "UPDATE product_d SET salepricepct = 0"),
        }),
        rangeStep(15, 10, 14, {
            addColumn("constrt", "startdate", coltype::VARCHAR, 10, QQ(), "UPDATE constrt SET startdate = ''"),
            addColumn("constrt", "charge", coltype::VARCHAR, 2, QQ(), "UPDATE constrt SET charge = ''"),
        }),
        step(16, {
            addColumn("pclass", "plevel", coltype::LONG, 0, N(2), "UPDATE pclass SET plevel = 2"),
            addColumn("pclass", "fullpath", coltype::VARCHAR, 8, QQ(), "UPDATE pclass SET fullpath = '0101' & code"),
            NextCodeInsertOp{"INSERT INTO pclass (code, name, plevel, fullpath) VALUES ('", "pclass", "code", 4, "", false, "','기본 대분류', 0,'01000000')"},
            NextCodeInsertOp{"INSERT INTO pclass (code, name, plevel, fullpath) VALUES ('", "pclass", "code", 4, "", false, "','기본 중분류', 1,'01010000')"},
        }),
        step(17, {
            addColumn("sale", "gatype", coltype::LONG, 0, N(0), "UPDATE sale SET gatype = 0"),
            addColumn("buy", "gatype", coltype::LONG, 0, N(0), "UPDATE buy SET gatype = 0"),
        }),
        step(18, {
            call("CreateTBL_weeklyplan"),
            call("CreateTBL_weeklyplanadd"),
        }),
        step(19, {
            addColumn("schedules", "charge", coltype::VARCHAR, 2, QQ(), "UPDATE schedules SET charge = ''"),
        }),
        step(20, {
            call("CreateTBL_prodset"),
            addForeignKey("fk_prod_prodset", "prodset", "pcode", "product_m", "code", 3),
            addForeignKey("fk_prod_prodset2", "prodset", "pscode", "product_m", "code", 3),
        }),
        step(21, {
            addColumn("customer", "endsalerate", coltype::DOUBLE, 0, N(0), "UPDATE customer SET endsalerate = 0"),
            addColumn("customer", "whatcode", coltype::LONG, 0, N(1), "UPDATE customer SET whatcode = 1"),
            addColumn("product_d", "loadplace", coltype::VARCHAR, 50, QQ(), "UPDATE product_d SET loadplace = ''"),
        }),
        step(22, {
            addColumn("customer", "maketype", coltype::LONG, 0, N(0), "UPDATE customer SET maketype = 0"),
        }),
        step(23, {
            addColumn("product_d", "makeprice", coltype::DOUBLE, 0, N(0), "UPDATE product_d SET makeprice = 0"),
        }),
        step(24, {
            addColumn("customer", "basepoint", coltype::DOUBLE, 0, N(0), "UPDATE customer SET basepoint = 0"),
            addColumn("customer", "curnpoint", coltype::DOUBLE, 0, N(0), "UPDATE customer SET curnpoint = 0"),
            addColumn("receive", "savepoint", coltype::DOUBLE, 0, N(0), "UPDATE receive SET savepoint = 0"),
            addColumn("receive", "usepoint", coltype::DOUBLE, 0, N(0), "UPDATE receive SET usepoint = 0"),
            addColumn("payment", "savepoint", coltype::DOUBLE, 0, N(0), "UPDATE payment SET savepoint = 0"),
            addColumn("payment", "usepoint", coltype::DOUBLE, 0, N(0), "UPDATE payment SET usepoint = 0"),
        }),
        step(25, {
            call("CreateTBL_salehold"),
        }),
        step(26, {
            addColumn("ordbook_d", "dealdate", coltype::VARCHAR, 10, QQ(), "UPDATE ordbook_d SET dealdate = ''"),
            addColumn("ordbook_d", "parentseq", coltype::LONG, 0, N(0), "UPDATE ordbook_d SET parentseq = seq"),
            alterColumn("estimate_m", "bigo", coltype::TEXT, 0, QQ()),
            addColumn("estimate_d", "vat", coltype::DOUBLE, 0, N(0), "UPDATE estimate_d SET vat = 0"),
            addColumn("estimate_d", "dtlbigo", coltype::VARCHAR, 100, QQ(), "UPDATE estimate_d SET dtlbigo = ''"),
        }),
        step(27, {
            addColumn("ordbook_m", "gcode", coltype::LONG, 0, N(0), "UPDATE ordbook_m SET gcode = 0"),
            addColumn("cashbook", "uname", coltype::VARCHAR, 50, QQ(), "UPDATE cashbook SET uname = ''"),
            addColumn("cashbook", "cname", coltype::VARCHAR, 50, QQ(), "UPDATE cashbook SET cname = ''"),
        }),
        step(28, {
            call("CreateTBL_makelist"),
        }),
        step(29, {
            alterColumn("ordbook_m", "bigo", coltype::TEXT, 0, QQ()),
            alterColumn("ordbook_d", "bigo", coltype::TEXT, 0, QQ()),
        }),
        step(30, {
            call("CreateTBL_ocustlink"),
        }),
        step(31, {
            call("CreateTBL_prodmatch"),
            addColumn("ordbook_d", "unit", coltype::VARCHAR, 10, QQ(), "UPDATE ordbook_d SET unit = ''"),
        }),
        step(32, {
            addColumn("sale", "dealtime", coltype::VARCHAR, 4, S("0000"), "UPDATE sale SET dealtime = '0000'"),
            addColumn("buy", "dealtime", coltype::VARCHAR, 4, S("0000"), "UPDATE buy SET dealtime = '0000'"),
            addColumn("receive", "dealtime", coltype::VARCHAR, 4, S("0000"), "UPDATE receive SET dealtime = '0000'"),
            addColumn("payment", "dealtime", coltype::VARCHAR, 4, S("0000"), "UPDATE payment SET dealtime = '0000'"),
            call("CreateTBL_posmoney"),
        }),
        step(33, {
            call("CreateTBL_vanindata"),
        }),
        step(34, {
            addColumn("product_d", "safeqntmax", coltype::DOUBLE, 0, N(0), "UPDATE product_d SET safeqntmax = 0"),
            addColumn("special_price", "edate", coltype::VARCHAR, 10, QQ(), "UPDATE special_price SET edate = ''"),
            addColumn("special_dc", "edate", coltype::VARCHAR, 10, QQ(), "UPDATE special_dc SET edate = ''"),
        }),
        step(35, {
            alterColumn("customer", "sale_dc", coltype::DOUBLE, 0, N(0)),
        }),
        step(36, {
            addColumn("constrt", "charge2", coltype::VARCHAR, 20, QQ(), "UPDATE constrt SET charge2 = ''"),
            addColumn("constrt", "con_tel", coltype::VARCHAR, 20, QQ(), "UPDATE constrt SET con_tel = ''"),
            addColumn("constrt", "con_fax", coltype::VARCHAR, 20, QQ(), "UPDATE constrt SET con_fax = ''"),
        }),
        step(37, {
            call("CreateTBL_invn_chk"),
        }),
        step(38, {
            addColumn("office", "email", coltype::VARCHAR, 40, QQ(), "UPDATE office SET email = ''"),
            addColumn("taxlist_m", "recved", coltype::LONG, 0, N(1), "UPDATE taxlist_m SET recved = 1"),
            addColumn("taxlist_m", "etax", coltype::LONG, 0, N(0), "UPDATE taxlist_m SET etax = 0"),
            addColumn("local_user", "pdause", coltype::LONG, 0, N(0), "UPDATE local_user SET pdause = 0"),
            addColumn("local_user", "pdakey", coltype::VARCHAR, 10, QQ(), "UPDATE local_user SET pdakey = ''"),
        }),
        step(39, {
            alterColumn("product_m", "bigo", coltype::TEXT, 0, QQ()),
        }),
        step(40, {
            addColumn("product_d", "salecharge", coltype::VARCHAR, 2, QQ(), "UPDATE product_d SET salecharge = ''"),
        }),
        step(41, {
            addColumn("ordbook_m", "extradate", coltype::VARCHAR, 10, QQ(), "UPDATE ordbook_m SET extradate = ''"),
        }),
        step(42, {
            addColumn("sale", "weight", coltype::DOUBLE, 0, N(0), "UPDATE sale SET weight = 0"),
            addColumn("buy", "weight", coltype::DOUBLE, 0, N(0), "UPDATE buy SET weight = 0"),
        }),
        step(43, {
            addColumn("product_m", "onlinehidden", coltype::SMALLINT, 0, N(0), "UPDATE product_m SET onlinehidden = 0"),
            addColumn("product_m", "colorname", coltype::VARCHAR, 50, QQ(), "UPDATE product_m SET colorname = ''"),
        }),
        step(44, {
            addColumn("local_user", "def_scode", coltype::SMALLINT, 0, N(1), "UPDATE local_user SET def_scode = 1"),
        }),
        step(45, {
            addColumn("cashbook", "regucode", coltype::VARCHAR, 2, QQ(), "UPDATE cashbook SET regucode = '00'"),
            addColumn("cashbook", "transfer", coltype::SMALLINT, 0, N(0), "UPDATE cashbook SET transfer = 0"),
        }),
        step(46, {
            addColumn("estimate_m", "extra1", coltype::VARCHAR, 50, QQ(), "UPDATE estimate_m SET extra1 = ''"),
            addColumn("estimate_m", "extra2", coltype::VARCHAR, 50, QQ(), "UPDATE estimate_m SET extra2 = ''"),
            addColumn("estimate_m", "extra3", coltype::VARCHAR, 100, QQ(), "UPDATE estimate_m SET extra3 = ''"),
        }),
        step(47, {
            addColumn("customer", "lastmodify", coltype::DATE, 0, S("Now()")),
            addColumn("invn_real", "lastmodify", coltype::DATE, 0, S("Now()")),
            addColumn("special_price", "lastmodify", coltype::DATE, 0, S("Now()")),
        }),
        step(48, {
            addColumn("multy_price", "lastmodify", coltype::DATE, 0, S("Now()")),
            addColumn("special_dc", "lastmodify", coltype::DATE, 0, S("Now()")),
        }),
        step(49, {
            addColumn("ordbook_m", "shop_uname", coltype::VARCHAR, 20, QQ(), "UPDATE ordbook_m SET shop_uname = ''"),
            addColumn("ordbook_m", "shop_zipcode", coltype::VARCHAR, 7, QQ(), "UPDATE ordbook_m SET shop_zipcode = ''"),
            addColumn("ordbook_m", "shop_address", coltype::VARCHAR, 100, QQ(), "UPDATE ordbook_m SET shop_address = ''"),
            addColumn("ordbook_m", "shop_phone01", coltype::VARCHAR, 50, QQ(), "UPDATE ordbook_m SET shop_phone01 = ''"),
            addColumn("ordbook_m", "shop_phone02", coltype::VARCHAR, 50, QQ(), "UPDATE ordbook_m SET shop_phone02 = ''"),
            addColumn("ordbook_m", "shop_email", coltype::VARCHAR, 50, QQ(), "UPDATE ordbook_m SET shop_email = ''"),
            addColumn("ordbook_m", "shop_memo", coltype::VARCHAR, 255, QQ(), "UPDATE ordbook_m SET shop_memo = ''"),
            addColumn("ordbook_m", "shop_receiver_uname", coltype::VARCHAR, 20, QQ(), "UPDATE ordbook_m SET shop_receiver_uname = ''"),
            addColumn("ordbook_m", "shop_receiver_zipcode", coltype::VARCHAR, 7, QQ(), "UPDATE ordbook_m SET shop_receiver_zipcode = ''"),
            addColumn("ordbook_m", "shop_receiver_address", coltype::VARCHAR, 100, QQ(), "UPDATE ordbook_m SET shop_receiver_address = ''"),
            addColumn("ordbook_m", "shop_receiver_phone01", coltype::VARCHAR, 50, QQ(), "UPDATE ordbook_m SET shop_receiver_phone01 = ''"),
            addColumn("ordbook_m", "shop_receiver_phone02", coltype::VARCHAR, 50, QQ(), "UPDATE ordbook_m SET shop_receiver_phone02 = ''"),
            addColumn("customer", "prnmisu", coltype::SMALLINT, 0, N(0), "UPDATE customer SET prnmisu = 0"),
        }),
        step(50, {
            addColumn("ordbook_m", "ucode", coltype::VARCHAR, 2, QQ(), "UPDATE ordbook_m SET ucode = ''"),
            addForeignKey("ord_ucode_fk", "ordbook_m", "ucode", "local_user", "code", 3),
        }),
        step(51, {
            call("CreateTBL_custprodmatch"),
        }),
        step(52, {
            addColumn("receive", "userstype", coltype::VARCHAR, 50, QQ(), "UPDATE receive SET userstype = ''"),
            addColumn("payment", "userstype", coltype::VARCHAR, 50, QQ(), "UPDATE payment SET userstype = ''"),
        }),
        step(53, {
            call("CreateTBL_custusermatch"),
        }),
        step(54, {
            addColumn("customer", "billpriceedit", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(55, {
            addColumn("customer", "bankcode", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(56, {
            addColumn("billnote", "outtype", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("billnote", "outdate", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("billnote", "outamount", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("billnote", "outbigo", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            call("BillNoteSubRtn"),
        }),
        step(57, {
            addColumn("customer", "billday", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "custshare", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(58, {
            call("CreateTBL_officegroup"),
            addColumn("office", "gcode", coltype::LONG, 0, N(1), modDBsub_ADO::kDefUpdate),
            addForeignKey("fk_office_group", "office", "gcode", "officegroup", "code", 3),
        }),
        step(59, {
            addColumn("customer", "code2", coltype::VARCHAR, 20, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(60, {
            addColumn("sale", "input_type", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("buy", "input_type", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("product_m", "maker", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(61, {
            addColumn("custprodmatch", "lastmodify", coltype::DATE, 0, S("Now()")),
        }),
        step(62, {
            addColumn("taxlist_m", "iscard", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(63, {
            addColumn("schedules", "gubun", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(64, {
            addColumn("special_price", "bigo", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("special_dc", "bigo", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(65, {
            addColumn("taxlist_m", "etaxpubcode", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(66, {
            addColumn("customer", "etaxcharge", coltype::VARCHAR, 30, QQ(), "UPDATE `customer` SET `etaxcharge` = `ceoname` WHERE `etaxcharge` = '' OR `etaxcharge` IS NULL"),
            addColumn("customer", "etaxhp", coltype::VARCHAR, 20, QQ(), "UPDATE `customer` SET `etaxhp` = `hpno` WHERE `etaxhp` = '' OR `etaxhp` IS NULL"),
            addColumn("customer", "etaxemail", coltype::VARCHAR, 100, QQ(), "UPDATE `customer` SET `etaxemail` = `email` WHERE `etaxemail` = '' OR `etaxemail` IS NULL"),
        }),
        step(67, {
            addColumn("office", "etaxcharge", coltype::VARCHAR, 30, QQ(), "UPDATE `office` SET `etaxcharge` = `ceoname` WHERE `etaxcharge` = '' OR `etaxcharge` IS NULL"),
            addColumn("office", "etaxhp", coltype::VARCHAR, 20, QQ(), "UPDATE `office` SET `etaxhp` = `hpno` WHERE `etaxhp` = '' OR `etaxhp` IS NULL"),
            addColumn("office", "etaxemail", coltype::VARCHAR, 100, QQ(), "UPDATE `office` SET `etaxemail` = `email` WHERE `etaxemail` = '' OR `etaxemail` IS NULL"),
        }),
        step(68, {
            call("CreateTBL_custpclassmatch"),
        }),
        step(69, {
            addColumn("product_m", "attachedfile", coltype::VARCHAR, 255, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("office", "subcompsn", coltype::VARCHAR, 15, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(70, {
            call("CreateTBL_invn_move_plan"),
        }),
        step(71, {
            addColumn("product_m", "stockuseup", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(72, {
            addColumn("product_m", "weight", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(73, {
            call("CreateTBL_workshift"),
        }),
        step(74, {
            addColumn("receive", "input_type", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("payment", "input_type", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(75, {
            addColumn("product_m", "onlinestop", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("product_m", "onlinestopbigo", coltype::VARCHAR, 250, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "stopsalebigo", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "buydcrate", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(76, {
            addColumn("customer", "pointprnignore", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "taxptype", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(77, {
            createIndex("idx_pclass_fullpath", "pclass", "fullpath"),
        }),
        step(78, {
            addColumn("taxlist_m", "cng_reason", coltype::VARCHAR, 10, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(79, {
            addColumn("receive", "cancel_flag", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("receive", "ret_pair_code", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(80, {
            addColumn("workshift", "qty50000", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("workshift", "qty10000", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("workshift", "qty5000", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("workshift", "qty1000", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("workshift", "qty500", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("workshift", "qty100", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("workshift", "qty50", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("workshift", "qty10", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(81, {
            addColumn("invn_base", "vatprice", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("invn_base", "in_type", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("invn_base", "slipcode", coltype::VARCHAR, 20, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("invn_base", "bigo", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(82, {
            addColumn("cust_base", "baln_point", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(83, {
            createIndex("idx_receive_deallistno", "receive", "deallistno"),
        }),
        step(84, {
            addColumn("taxlist_d", "pbigo", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(85, {
            addColumn("cashbook", "stime", coltype::VARCHAR, 4, S("0000"), "UPDATE cashbook SET stime = '0000' WHERE stime IS NULL"),
            addColumn("cashbook", "profit_yn", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("accounts", "profits_yn", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(86, {
            call("CreateTBL_recv_cashbook"),
            addColumn("cashbook", "input1_type", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            call("CreateTBL_holiday1"),
        }),
        step(87, {
            call("CreateTBL_office_store"),
        }),
        step(88, {
            addColumn("product_m", "lastucode", coltype::VARCHAR, 2, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(89, {
            call("CreateTBL_event_price"),
        }),
        step(90, {
            call("CreateTBL_serial"),
        }),
        step(91, {
            alterColumn("constrt", "addr1", coltype::VARCHAR, 200, QQ()),
            alterColumn("constrt", "addr2", coltype::VARCHAR, 100, QQ()),
            alterColumn("customer", "addr1", coltype::VARCHAR, 200, QQ()),
            alterColumn("customer", "addr2", coltype::VARCHAR, 100, QQ()),
            alterColumn("delcar", "addr1", coltype::VARCHAR, 200, QQ()),
            alterColumn("delcar", "addr2", coltype::VARCHAR, 100, QQ()),
            alterColumn("local_user", "addr1", coltype::VARCHAR, 200, QQ()),
            alterColumn("local_user", "addr2", coltype::VARCHAR, 100, QQ()),
            alterColumn("office", "addr1", coltype::VARCHAR, 200, QQ()),
            alterColumn("office", "addr2", coltype::VARCHAR, 100, QQ()),
            alterColumn("storehouse", "addr1", coltype::VARCHAR, 200, QQ()),
            alterColumn("storehouse", "addr2", coltype::VARCHAR, 100, QQ()),
            alterColumn("customer", "compname", coltype::VARCHAR, 70, QQ()),
            alterColumn("customer", "compalias", coltype::VARCHAR, 70, QQ()),
            alterColumn("office", "compname", coltype::VARCHAR, 70, QQ()),
        }),
        step(92, {
            call("CreateTBL_buy_log"),
        }),
        step(93, {
            addColumn("ordbook_m", "regucode", coltype::VARCHAR, 2, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(94, {
            addColumn("customer", "con_sale", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("storehouse", "ccode", coltype::VARCHAR, 6, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("invn_move", "ccode", coltype::VARCHAR, 6, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("invn_move", "fee", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            call("CreateTBL_consignment"),
        }),
        step(95, {
            addColumn("invn_move", "rebigo", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("invn_move", "chkcode", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("consign_sale", "rebigo", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("consign_chk", "rebigo", coltype::VARCHAR, 250, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("sale", "conbigo", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            createIndex("idx_inmv_chkcode", "invn_move", "chkcode"),
        }),
        step(96, {
            addColumn("consign_sale", "dealtime", coltype::VARCHAR, 4, S("0000"), modDBsub_ADO::kDefUpdate),
            addColumn("consign_chk", "dealtime", coltype::VARCHAR, 4, S("0000"), modDBsub_ADO::kDefUpdate),
            addColumn("invn_move", "dealtime", coltype::VARCHAR, 4, S("0000"), modDBsub_ADO::kDefUpdate),
        }),
        step(97, {
            addColumn("sale", "maildate", coltype::VARCHAR, 10, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("estimate_m", "maildate", coltype::VARCHAR, 10, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(98, {
            addColumn("bankbook", "bcode", coltype::VARCHAR, 2, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("bankbook", "pwd", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("bankbook", "bid", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("bankbook", "bpwd", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("bankbook", "idnum", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("bankbook", "buse", coltype::VARCHAR, 1, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("bankbook", "dealdatetime", coltype::DATE, 0, S("Now()")),
        }),
        step(99, {
            addColumn("customer", "pointcash", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "pointcard", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(100, {
            addColumn("customer", "pointindex", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("product_d", "pointrate", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("sale", "savepoint", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(101, {
            call("CreateTBL_bank_log"),
            addColumn("receive", "b_logcode", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("payment", "b_logcode", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("cashbook", "b_logcode", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(102, {
            addColumn("bankbook", "ipwd", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("bankbook", "part", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(103, {
            addColumn("bankbook", "wid", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("bankbook", "wpwd", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("bankbook", "edate", coltype::VARCHAR, 10, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(104, {
            call("CreateTBL_security_ip"),
            call("CreateTBL_security_mac"),
            call("CreateTBL_security_time"),
            addColumn("customer", "usesmartphone", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(105, {
            call("CreateTBL_sign_img"),
            addColumn("buy", "sign_nid", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("sale", "sign_nid", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("receive", "sign_nid", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(106, {
            addColumn("customer", "customer_person_name", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "customer_person_tel", coltype::VARCHAR, 20, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "customer_person_hp", coltype::VARCHAR, 20, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "payment_person_name", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "payment_person_tel", coltype::VARCHAR, 20, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "payment_person_hp", coltype::VARCHAR, 20, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(107, {
            addColumn("billnote", "publish_type", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(108, {
            call("CreateTBL_pda_regist"),
            addColumn("customer", "data_creator", coltype::VARCHAR, 2, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(109, {
            addColumn("workshift", "data_created", coltype::DATE, 0, S("Now()")),
        }),
        step(110, {
            addColumn("customer", "lastemaildate", coltype::DATE, 0, S("'1900-01-01 00:00:00'")),
            addColumn("customer", "usevardoledger", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(111, {
            addColumn("workshift", "data_updater", coltype::VARCHAR, 2, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(112, {
            alterColumn("taxlist_m", "bigo", coltype::VARCHAR, 150, QQ()),
        }),
        step(113, {
            execute("ALTER TABLE `vanindata` ADD COLUMN `vat` DOUBLE DEFAULT 0 NOT NULL"),
        }),
        step(114, {
            addColumn("ordbook_m", "maildate", coltype::VARCHAR, 10, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "etaxemail1", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "etaxemail2", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "etaxemail3", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "etaxemail4", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "etaxebigo", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "etaxebigo1", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "etaxebigo2", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "etaxebigo3", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "etaxebigo4", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "etaxebase", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("taxlist_m", "printtype", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(115, {
            addColumn("invn_chk", "regucode", coltype::VARCHAR, 2, QQ()),
        }),
        step(116, {
            call("CreateTBL_custprodinterest"),
        }),
        step(117, {
            addColumn("office", "e_number1", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("office", "e_number2", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("office", "e_telno", coltype::VARCHAR, 20, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("office", "e_fax", coltype::VARCHAR, 20, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("office", "e_bigo", coltype::VARCHAR, 100, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(118, {
            addColumn("customer", "taxpublish", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(119, {
            addColumn("customer", "taxpublish1", coltype::TINYINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("local_user", "loginpwd2", coltype::VARCHAR, 100, QQ(), "update local_user set loginpwd2 = loginpwd where loginid <> ''"),
        }),
        step(120, {
            alterColumn("local_user", "loginpwd", coltype::VARCHAR, 20, QQ()),
            call("LoginPwdUpdate"),
        }),
        step(121, {
            addColumn("receive", "tempdeallistno", coltype::VARCHAR, 12, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "data_updater", coltype::VARCHAR, 2, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "regtime", coltype::VARCHAR, 8, S("\"00:00:00\""), modDBsub_ADO::kDefUpdate),
            alterColumn("billnote", "code", coltype::VARCHAR, 30, QQ()),
            alterColumn("receive", "subcode", coltype::VARCHAR, 30, QQ()),
            alterColumn("payment", "subcode", coltype::VARCHAR, 30, QQ()),
        }),
        step(122, {
            addColumn("customer", "smsnonuse", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("bank_log", "bkorder", coltype::LONG, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(123, {
            addColumn("invn_edit", "regucode", coltype::VARCHAR, 2, S(""), modDBsub_ADO::kDefUpdate),
            addColumn("invn_edit", "createdate", coltype::DATE, 0, S("Now()")),
            addColumn("sale", "createdate", coltype::VARCHAR, 10, S("'0000-00-00'")),
            addColumn("buy", "createdate", coltype::VARCHAR, 10, S("'0000-00-00'")),
        }),
        step(124, {
            alterColumn("customer", "loginid", coltype::VARCHAR, 20, QQ()),
            alterColumn("customer", "loginpwd", coltype::VARCHAR, 100, QQ()),
            addColumn("customer", "pointnonuse", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            alterColumn("aslist", "bigo", coltype::TEXT, 0, QQ()),
            alterColumn("constrt", "bigo", coltype::VARCHAR, 200, QQ()),
            addColumn("invn_move", "createdate", coltype::DATE, 0, S("Now()")),
            addColumn("invn_move_plan", "createdate", coltype::DATE, 0, S("Now()")),
            addColumn("receive", "createdate", coltype::VARCHAR, 10, S("'0000-00-00'")),
            addColumn("payment", "createdate", coltype::VARCHAR, 10, S("'0000-00-00'")),
            addColumn("vanindata", "documentno", coltype::VARCHAR, 2, S("''")),
            addColumn("vanindata", "serialno", coltype::VARCHAR, 4, S("''")),
            addColumn("vanoutdata", "price", coltype::DOUBLE, 10, N(0)),
            addColumn("vanoutdata", "documentno", coltype::VARCHAR, 2, S("''")),
            addColumn("vanoutdata", "serialno", coltype::VARCHAR, 4, S("''")),
        }),
        step(125, {
            addColumn("customer", "subcompsn", coltype::VARCHAR, 15, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(126, {
            addColumn("security_mac", "applyucode", coltype::VARCHAR, 2, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("ordbook_d", "lastmodify", coltype::DATE, 0, S("Now()")),
        }),
        step(127, {
            call("CreateTBL_repairlist"),
            createIndex("idx_repairlist_key_code", "repairlist", "key_code"),
            createIndex("idx_repairlist__repair_type", "repairlist", "repair_type"),
            createIndex("idx_repairlist__repair_state", "repairlist", "repair_state"),
        }),
        step(128, {
            addColumn("customer", "bef_baln_buy", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "bef_baln_sale", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            execute("ALTER TABLE `customer`  ADD COLUMN `bef_date` DATE"),
        }),
        step(129, {
            addColumn("sale", "cost_back", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("sale", "cost_back_novat", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("invn_move", "price_back", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("invn_move", "price_back_novat", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("invn_edit", "price_back", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("invn_edit", "price_back_novat", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
            call("CreateTBL_calclist_temp"),
        }),
        step(130, {
            call("CreateTBL_calcmonthlist_temp"),
        }),
        step(131, {
            call("CreateTBL_approval_details"),
        }),
        step(132, {
            addColumn("cashbook", "createdate", coltype::VARCHAR, 10, S("'0000-00-00'"), modDBsub_ADO::kDefUpdate),
            addColumn("approval_details", "card_number", coltype::VARCHAR, 50, QQ(), modDBsub_ADO::kDefUpdate),
        }),
        step(133, {
            call("CreateTBL_androidsettings"),
        }),
        step(134, {
            addColumn("customer", "billday_memo", coltype::TEXT, 0, QQ()),
            addColumn("approval_details", "vanindata_code", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("approval_details", "vat", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(135, {
            addColumn("bankbook", "atype", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(138, {
            call("CreateTBL_sale_h_tax"),
            addColumn("sale", "cost_self", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(139, {
            addColumn("receive", "remainpoint", coltype::DOUBLE, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(140, {
            addColumn("receive", "bef_baln_yn", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
        step(141, {
            addColumn("product_d", "salepriceauto", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
            addColumn("product_d", "buypriceauto", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
        }),
    };
}

}  // namespace dex::modDBPatch_VARDO
