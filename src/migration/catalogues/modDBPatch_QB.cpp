// The quickbilII catalogue: literal statements with their exact blanks, a
// few primitives, and the two tables of step 9.
#include "modDBPatch_QB.h"

#include "modDBsub_ADO.h"

namespace dex::modDBPatch_QB {

using namespace migration;
using namespace migration::build;
namespace coltype = modDBsub_ADO::coltype;

std::vector<Step> Steps() {
    return {
        step(2, {
            execute("ALTER TABLE taxlist_m ADD COLUMN etax   LONG    DEFAULT 0   NOT NULL"),
            execute("UPDATE taxlist_m SET etax = 0 WHERE etax IS NULL"),
        }),
        step(3, {
            execute("ALTER TABLE office ADD COLUMN email     TEXT(50)   DEFAULT \"\"    NOT NULL"),
            execute("UPDATE office SET email = '' WHERE email IS NULL"),
        }),
        step(4, {
            execute("ALTER TABLE taxlist_m ADD COLUMN admission     BYTE   DEFAULT 1    NOT NULL"),
            execute("UPDATE taxlist_m SET admission = 1 WHERE admission IS NULL"),
        }),
        step(5, {
            execute("ALTER TABLE taxlist_m ADD COLUMN etaxpubcode     TEXT(50)   DEFAULT \"\"    NOT NULL"),
            execute("UPDATE taxlist_m SET etaxpubcode = '' WHERE etaxpubcode is null"),
        }),
        step(6, {
            execute("ALTER TABLE customer ADD COLUMN sub_bd_no TEXT(4)  DEFAULT \"\"    NOT NULL"),
            execute("UPDATE customer SET sub_bd_no = '' WHERE sub_bd_no is null"),
            execute("ALTER TABLE office ADD COLUMN sub_bd_no TEXT(4)  DEFAULT \"\"    NOT NULL"),
            execute("UPDATE office SET sub_bd_no = '' WHERE sub_bd_no is null"),
        }),
        step(7, {
            execute("ALTER TABLE customer ADD COLUMN etaxcharge TEXT(30)  DEFAULT \"\" NOT NULL"),
            execute("UPDATE `customer` SET `etaxcharge` = `ceoname` WHERE `etaxcharge` = '' OR `etaxcharge` IS NULL"),
            execute("ALTER TABLE customer ADD COLUMN etaxhp TEXT(20)  DEFAULT \"\" NOT NULL"),
            execute("UPDATE `customer` SET `etaxhp` = `hpno` WHERE `etaxhp` = '' OR `etaxhp` IS NULL"),
            execute("ALTER TABLE customer ADD COLUMN etaxemail TEXT(100)  DEFAULT \"\" NOT NULL"),
            execute("UPDATE `customer` SET `etaxemail` = `email` WHERE `etaxemail` = '' OR `etaxemail` IS NULL"),
        }),
        step(8, {
            execute("ALTER TABLE taxlist_m ADD COLUMN userok BYTE DEFAULT 0 NOT NULL"),
            execute("UPDATE taxlist_m SET userok = 0 WHERE userok IS NULL"),
        }),
        step(9, {
            call("CreateTBL_priv_menu"),
            call("CreateTBL_receive"),
        }),
        step(10, {
            execute("ALTER TABLE taxlist_m ADD COLUMN cng_reason TEXT(10)  DEFAULT \"\" NOT NULL"),
            execute("UPDATE taxlist_m SET cng_reason = '' WHERE cng_reason IS NULL"),
        }),
        // There is no step 11.
        step(12, {
            alterColumn("taxlist_m", "bigo", coltype::VARCHAR, 150, QQ()),
        }),
        step(13, {
            execute("ALTER TABLE `sale_m` ADD COLUMN `maildate` VARCHAR(10)  DEFAULT \"\" NOT NULL"),
            execute("UPDATE `sale_m` SET `maildate` = '' WHERE `maildate` IS NULL"),
        }),
        step(14, {
            addColumn("customer", "data_created", coltype::DATE, 0, S("Now()")),
            addColumn("customer", "data_creator", coltype::VARCHAR, 2, QQ(), modDBsub_ADO::kDefUpdate),
            addColumn("customer", "data_updated", coltype::DATE, 0, S("Now()")),
            addColumn("customer", "data_updater", coltype::VARCHAR, 2, QQ(), modDBsub_ADO::kDefUpdate),
        }),
    };
}

std::map<std::string, SubProcedure> SubProcedures() {
    std::map<std::string, SubProcedure> procs;
    procs["CreateTBL_priv_menu"] = SubProcedure{{
        execute(std::string(" CREATE TABLE `priv_menu`( ") +
                " `menuid`        LONG            DEFAULT 0       NOT NULL," +
                " `ucode`         VARCHAR(2)      DEFAULT ''      NOT NULL," +
                " PRIMARY KEY(menuid, ucode)" + ")"),
    }, {}, false};
    procs["CreateTBL_receive"] = SubProcedure{{
        execute(std::string(" CREATE TABLE `receive`( ") +
                "`code` AUTOINCREMENT," +
                "`ocode` SMALLINT NOT NULL DEFAULT 1," +
                "`dealdate` VARCHAR(10) NOT NULL DEFAULT ''," +
                "`ccode` VARCHAR(6) NOT NULL DEFAULT ''," +
                "`amount` DOUBLE NOT NULL DEFAULT 0," +
                "`dc` DOUBLE NOT NULL DEFAULT 0," +
                "`charge` VARCHAR(2) NOT NULL DEFAULT ''," +
                "`bigo` VARCHAR(50) NOT NULL DEFAULT ''," +
                "`regucode` VARCHAR(2) NOT NULL DEFAULT ''," +
                "`deallistno` VARCHAR(12) NOT NULL DEFAULT ''," +
                "`dealtime` VARCHAR(4) NOT NULL DEFAULT '0000'," +
                " PRIMARY KEY(code)" + ")"),
        createIndex("idx_recv_dealdate", "receive", "dealdate"),
        addForeignKey("recv_cust_fk", "receive", "ccode", "customer", "code", 3),
        addForeignKey("recv_office_fk", "receive", "ocode", "office", "code", 3),
        addForeignKey("recv_user_fk", "receive", "regucode", "local_user", "code", 3),
    }, {}, false};
    return procs;
}

// The steps run inside the entry: without a handler between them and the
// entry, every error they raise is reported by ChkDBpatch itself.
const migration::Catalogue& Catalogue() {
    static const migration::Catalogue catalogue{"quickbilII", kTarget, false, Steps(), SubProcedures()};
    return catalogue;
}

bool ChkDBpatch(MigrationContext& ctx) { return migration::ChkDBpatch(ctx, Catalogue()); }

}  // namespace dex::modDBPatch_QB
