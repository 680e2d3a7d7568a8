// The FornII catalogue: its ladder as vardoII steps under FornII numbers plus
// the changed steps, and its sub-procedures as copies of vardoII's plus the
// FornII variants and the two manufacturing tables of its own.
#include "modDBPatch_FORN.h"

#include <algorithm>

#include "modDBPatch_VARDO.h"
#include "modDBsub_ADO.h"

namespace dex::modDBPatch_FORN {

using namespace migration;
using namespace migration::build;
namespace coltype = modDBsub_ADO::coltype;

namespace {

// FornII steps first..last perform vardoII's steps from vardoFirst on, one by one.
void takeSteps(std::vector<Step>& steps, const std::vector<Step>& vardo, int first, int last, int vardoFirst) {
    for (int n = first; n <= last; ++n) steps.push_back(stepAs(vardo, vardoFirst + (n - first), n));
}

// A copy of a sub-procedure whose foreign keys all take the given flags.
SubProcedure withForeignKeyFlags(SubProcedure proc, int32_t flags) {
    for (Operation& op : proc.ops)
        if (auto* fk = std::get_if<AddForeignKeyOp>(&op)) fk->flags = flags;
    return proc;
}

// A copy of a sub-procedure without the statement `sql`, which it must hold.
SubProcedure withoutStatement(SubProcedure proc, const std::string& sql) {
    auto it = std::find_if(proc.ops.begin(), proc.ops.end(), [&](const Operation& op) {
        const auto* e = std::get_if<ExecuteOp>(&op);
        return e && e->sql == sql;
    });
    if (it == proc.ops.end()) throw std::logic_error("sub-procedure has no statement " + sql);
    proc.ops.erase(it);
    return proc;
}

Step changedStep4() {
    return step(4, {
        call("CreateTBL_delcar"),
        call("CreateTBL_pclsdc"),
        call("CreateTBL_qlty"),
        call("CreateTBL_qltydc"),
        addColumn("product_m", "qcode", coltype::LONG, 0, N(1), "UPDATE product_m SET qcode = 1"),
        addForeignKey("fk_pd_qlty", "product_m", "qcode", "qlty", "code", 1),
    });
}

Step changedStep9() {
    return step(9, {
        addColumn("estimate_m", "gcode", coltype::LONG, 0, N(0), "UPDATE estimate_m SET gcode = 0"),
        alterColumn("estimate_m", "paytype", coltype::VARCHAR, 100, QQ()),
    });
}

Step changedStep20() {
    return step(20, {
        addColumn("customer", "maketype", coltype::LONG, 0, N(0), "UPDATE customer SET maketype = 0"),
        addColumn("product_d", "makeprice", coltype::DOUBLE, 0, N(0), "UPDATE product_d SET makeprice = 0"),
        addColumn("makelist_m", "maketype", coltype::LONG, 0, N(0), "UPDATE makelist_m SET maketype = 0"),
        addColumn("makelist_m", "makeno", coltype::LONG, 0, N(0), "UPDATE makelist_m SET makeno = 0"),
        call("CreateTBL_makelist_o"),
    });
}

Step changedStep29() {
    return step(29, {
        call("CreateTBL_vanindata"),
        call("CreateTBL_makeplan"),
    });
}

Step changedStep58() {
    return step(58, {
        addColumn("taxlist_m", "iscard", coltype::LONG, 0, N(0), "UPDATE taxlist_m SET iscard = 0 WHERE iscard IS NULL"),
    });
}

// product_m.stockuseup as a 4-byte integer, without the existence test of
// AddColumn: a database that already has the column fails here on every run.
Step changedStep67() {
    return step(67, {
        execute("ALTER TABLE `product_m` ADD `stockuseup` INTEGER DEFAULT 0 NOT NULL"),
        execute("UPDATE `product_m` SET `stockuseup` = 0 WHERE `stockuseup`  IS NULL"),
    });
}

Step changedStep100() {
    return step(100, {
        call("CreateTBL_security_ip"),
        call("CreateTBL_security_mac"),
        call("CreateTBL_security_time"),
        addColumn("customer", "usesmartphone", coltype::SMALLINT, 0, N(0), modDBsub_ADO::kDefUpdate),
    });
}

void addVariants(std::map<std::string, SubProcedure>& procs) {
    // Same tables as vardoII's copies; every foreign key only ON DELETE CASCADE.
    for (const char* name : {"CreateTBL_delcar", "CreateTBL_pclsdc", "CreateTBL_qltydc"})
        procs[name] = withForeignKeyFlags(procs.at(name), 1);

    procs["CreateTBL_constrt"] = SubProcedure{{
        execute("CREATE TABLE `constrt` (`code` AUTOINCREMENT, `ocode` SMALLINT DEFAULT 0 NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `constname` VARCHAR(50) DEFAULT \"\" NOT NULL, `overdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `zipcode` VARCHAR(7) DEFAULT \"\" NOT NULL, `addr1` VARCHAR(60) DEFAULT \"\" NOT NULL, `addr2` VARCHAR(40) DEFAULT \"\" NOT NULL, `bigo` VARCHAR(50) DEFAULT \"\" NOT NULL, `startdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `charge` VARCHAR(2) DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};

    procs["CreateTBL_aslist"] = SubProcedure{{
        execute("CREATE TABLE `aslist` (`code` AUTOINCREMENT, `ocode` SMALLINT DEFAULT 1 NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `plandate` VARCHAR(10) DEFAULT \"\" NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `cname` VARCHAR(20) DEFAULT \"\" NOT NULL, `ctel` VARCHAR(20) DEFAULT \"\" NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `pname` VARCHAR(50) DEFAULT \"\" NOT NULL, `pnorm` VARCHAR(50) DEFAULT \"\" NOT NULL, `asmemo` VARCHAR(100) DEFAULT \"\" NOT NULL, `cost` DOUBLE DEFAULT 0 NOT NULL, `bigo` VARCHAR(100) DEFAULT \"\" NOT NULL, `charge` VARCHAR(2) DEFAULT \"\" NOT NULL, `regucode` VARCHAR(2) DEFAULT \"\" NOT NULL, `asstat` SMALLINT DEFAULT 0 NOT NULL, PRIMARY KEY (`code`))"),
    }, {}, false};

    // The vardoII table, with the indexes on ocode and pcode only.
    SubProcedure serial = procs.at("CreateTBL_serial");
    procs["CreateTBL_serial"] = SubProcedure{{
        serial.ops.front(),
        createIndex("idx_serial_ocode", "serial", "ocode"),
        createIndex("idx_serial_pcode", "serial", "pcode"),
        addForeignKey("fk_prodt_serial", "serial", "pcode", "product_m", "code", 3),
    }, {}, false};

    // A unique index on pcode in place of the second foreign key.
    SubProcedure interest = procs.at("CreateTBL_custprodinterest");
    procs["CreateTBL_custprodinterest"] = SubProcedure{{
        interest.ops.at(0),
        addForeignKey("custprodinterest_ccode_fk", "custprodinterest", "ccode", "customer", "code", 3),
        createIndex("idx_custprodinterest_pcode", "custprodinterest", "pcode", true),
    }, {}, false};

    // product_h_sync and customer_h_sync without their foreign keys.
    procs["CreateTBL_sale_h_tax"] = withoutStatement(
        withoutStatement(procs.at("CreateTBL_sale_h_tax"),
                         "ALTER TABLE `product_h_sync` ADD CONSTRAINT `fk_product_h_sync__pcode` FOREIGN KEY (`pcode`) REFERENCES `product_m` (`code`) ON UPDATE CASCADE ON DELETE CASCADE"),
        "ALTER TABLE `customer_h_sync` ADD CONSTRAINT `fk_customer_h_sync__ccode` FOREIGN KEY (`ccode`) REFERENCES `customer` (`code`) ON UPDATE CASCADE ON DELETE CASCADE");
}

void addOwnProcedures(std::map<std::string, SubProcedure>& procs) {
    procs["CreateTBL_makelist_o"] = SubProcedure{{
        execute("CREATE TABLE `makelist_o` (`seq` AUTOINCREMENT, `makeno` VARCHAR(20) DEFAULT \"\" NOT NULL, `ocode` SMALLINT DEFAULT 1 NOT NULL, `scode` SMALLINT DEFAULT 1 NOT NULL, `part` SMALLINT DEFAULT 0 NOT NULL, `istate` SMALLINT DEFAULT 0 NOT NULL, `ccode` VARCHAR(6) DEFAULT \"\" NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `dlvdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `dlvplace` VARCHAR(100) DEFAULT \"\" NOT NULL, `recvtype` VARCHAR(100) DEFAULT \"\" NOT NULL, `bigo` TEXT DEFAULT \"\" NOT NULL, PRIMARY KEY (`seq`))"),
        addForeignKey("fk_office_makeout", "makelist_o", "ocode", "office", "code", 3),
        addForeignKey("fk_shouse_makeout", "makelist_o", "scode", "storehouse", "code", 3),
        addForeignKey("fk_cust_makeout", "makelist_o", "ccode", "customer", "code", 3),
    }, {}, false};
    procs["CreateTBL_makeplan"] = SubProcedure{{
        execute("CREATE TABLE `makeplan_m` (`code` AUTOINCREMENT, `ocode` SMALLINT DEFAULT 1 NOT NULL, `scode` SMALLINT DEFAULT 1 NOT NULL, `dealdate` VARCHAR(10) DEFAULT \"\" NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `price` DOUBLE DEFAULT 0 NOT NULL, `bigo` VARCHAR(50) DEFAULT \"\" NOT NULL, `makecode` LONG DEFAULT 0 NOT NULL, PRIMARY KEY (`code`))"),
        addForeignKey("fk_office_makeplan_m", "makeplan_m", "ocode", "office", "code", 3),
        addForeignKey("fk_shouse_makeplan_m", "makeplan_m", "scode", "storehouse", "code", 3),
        addForeignKey("fk_prod_makeplan_m", "makeplan_m", "pcode", "product_m", "code", 3),
        execute("CREATE TABLE `makeplan_d` (`code` LONG DEFAULT 0 NOT NULL, `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL, `unitqnt` DOUBLE DEFAULT 0 NOT NULL, `qnt` DOUBLE DEFAULT 0 NOT NULL, `price` DOUBLE DEFAULT 0 NOT NULL, PRIMARY KEY (`code`, `pcode`))"),
        addForeignKey("fk_makeplan_m_makeplan_d", "makeplan_d", "code", "makeplan_m", "code", 3),
        addForeignKey("fk_prod_makeplan_d", "makeplan_d", "pcode", "product_m", "code", 3),
    }, {}, false};
}

}  // namespace

std::vector<Step> Steps() {
    const std::vector<Step> vardo = modDBPatch_VARDO::Steps();
    std::vector<Step> steps;
    takeSteps(steps, vardo, 2, 3, 4);
    steps.push_back(changedStep4());
    takeSteps(steps, vardo, 5, 8, 7);
    steps.push_back(changedStep9());
    takeSteps(steps, vardo, 10, 12, 12);  // 11 stays the ElseIf branch of 10
    Step range = stepAs(vardo, 15, 13);
    steps.push_back(rangeStep(13, 8, 12, range.ops));
    takeSteps(steps, vardo, 14, 19, 16);
    steps.push_back(changedStep20());
    takeSteps(steps, vardo, 21, 24, 24);  // vardoII's step 28 (makelist) has no counterpart
    takeSteps(steps, vardo, 25, 28, 29);
    steps.push_back(changedStep29());
    takeSteps(steps, vardo, 30, 57, 34);
    steps.push_back(changedStep58());
    takeSteps(steps, vardo, 59, 66, 63);
    steps.push_back(changedStep67());
    takeSteps(steps, vardo, 68, 99, 72);
    steps.push_back(changedStep100());
    takeSteps(steps, vardo, 101, 131, 105);
    takeSteps(steps, vardo, 132, 135, 138);
    return steps;
}

std::map<std::string, SubProcedure> SubProcedures() {
    std::map<std::string, SubProcedure> procs = modDBPatch_VARDO::Catalogue().procedures;
    procs.erase("CreateTBL_invn_move");
    procs.erase("CreateTBL_makelist");
    addVariants(procs);
    addOwnProcedures(procs);
    return procs;
}

const migration::Catalogue& Catalogue() {
    static const migration::Catalogue catalogue{"FornII", kTarget, false, Steps(), SubProcedures()};
    return catalogue;
}

bool ChkDBpatch(MigrationContext& ctx) { return migration::ChkDBpatch(ctx, Catalogue()); }

bool ChkDBpatch_SUB(MigrationContext& ctx, int16_t stored) {
    return migration::ChkDBpatch_SUB(ctx, Catalogue(), stored);
}

}  // namespace dex::modDBPatch_FORN
