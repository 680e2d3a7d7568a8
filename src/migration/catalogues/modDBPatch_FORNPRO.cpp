// The FornPro catalogue: its own first steps in full, then vardoII's later
// steps (and FornII's where FornPro follows FornII) under FornPro numbers.
#include "modDBPatch_FORNPRO.h"

#include "modDBPatch_FORN.h"
#include "modDBPatch_VARDO.h"
#include "modDBsub_ADO.h"

namespace dex::modDBPatch_FORNPRO {

using namespace migration;
using namespace migration::build;
namespace coltype = modDBsub_ADO::coltype;
using modDBsub_ADO::kDefUpdate;

namespace {

// FornPro steps first..last perform the other catalogue's steps from
// otherFirst on, one by one.
void takeSteps(std::vector<Step>& steps, const std::vector<Step>& other, int first, int last, int otherFirst) {
    for (int n = first; n <= last; ++n) steps.push_back(stepAs(other, otherFirst + (n - first), n));
}

std::vector<Step> ownSteps(const std::vector<Step>& vardo) {
    std::vector<Step> steps;
    steps.push_back(step(2, {
        addColumn("customer", "billpriceedit", coltype::TINYINT, 0, N(0), kDefUpdate),
        addColumn("customer", "bankcode", coltype::SMALLINT, 0, N(0), kDefUpdate),
        addColumn("billnote", "outtype", coltype::TINYINT, 0, N(0), kDefUpdate),
        addColumn("billnote", "outdate", coltype::VARCHAR, 50, QQ(), kDefUpdate),
        addColumn("billnote", "outamount", coltype::DOUBLE, 0, N(0), kDefUpdate),
        addColumn("billnote", "outbigo", coltype::VARCHAR, 100, QQ(), kDefUpdate),
        call("BillNoteSubRtn"),
        addColumn("customer", "billday", coltype::SMALLINT, 0, N(0), kDefUpdate),
        addColumn("customer", "custshare", coltype::SMALLINT, 0, N(0), kDefUpdate),
        call("CreateTBL_officegroup"),
        addColumn("office", "gcode", coltype::LONG, 0, N(1), kDefUpdate),
        addForeignKey("fk_office_group", "office", "gcode", "officegroup", "code", 3),
    }));
    steps.push_back(step(3, {
        addColumn("makeord_m", "makemode", coltype::SMALLINT, 0, N(1), kDefUpdate),
        addColumn("makelist_m", "makemode", coltype::SMALLINT, 0, N(1), kDefUpdate),
    }));
    steps.push_back(step(4, {
        addColumn("customer", "code2", coltype::VARCHAR, 20, QQ(), kDefUpdate),
        addColumn("sale", "input_type", coltype::TINYINT, 0, N(0), kDefUpdate),
        addColumn("buy", "input_type", coltype::TINYINT, 0, N(0), kDefUpdate),
        addColumn("product_m", "maker", coltype::VARCHAR, 50, QQ(), kDefUpdate),
        addColumn("custprodmatch", "lastmodify", coltype::DATE, 0, S("Now()")),
        addColumn("taxlist_m", "iscard", coltype::LONG, 0, N(0), "UPDATE taxlist_m SET iscard = 0 WHERE iscard IS NULL"),
    }));
    steps.push_back(stepAs(vardo, 64, 5));
    steps.push_back(step(6, {
        addColumn("taxlist_m", "etaxpubcode", coltype::VARCHAR, 50, QQ(), kDefUpdate),
        addColumn("customer", "etaxcharge", coltype::VARCHAR, 30, QQ(), "UPDATE `customer` SET `etaxcharge` = `ceoname` WHERE `etaxcharge` = '' OR `etaxcharge` IS NULL"),
        addColumn("customer", "etaxhp", coltype::VARCHAR, 20, QQ(), "UPDATE `customer` SET `etaxhp` = `hpno` WHERE `etaxhp` = '' OR `etaxhp` IS NULL"),
        addColumn("customer", "etaxemail", coltype::VARCHAR, 100, QQ(), "UPDATE `customer` SET `etaxemail` = `email` WHERE `etaxemail` = '' OR `etaxemail` IS NULL"),
    }));
    steps.push_back(stepAs(vardo, 67, 7));
    steps.push_back(step(8, {
        alterColumn("ordbook_d", "workordno", coltype::LONG, 0, S("0")),
        addColumn("product_m", "colortext", coltype::VARCHAR, 20, QQ(), kDefUpdate),
    }));
    steps.push_back(step(9, {
        addColumn("office", "subcompsn", coltype::VARCHAR, 15, QQ(), kDefUpdate),
        addColumn("taxlist_m", "cng_reason", coltype::VARCHAR, 10, QQ(), kDefUpdate),
    }));
    steps.push_back(step(10, {
        addColumn("schedules", "gubun", coltype::VARCHAR, 50, QQ(), kDefUpdate),
        call("CreateTBL_custpclassmatch"),
        addColumn("product_m", "attachedfile", coltype::VARCHAR, 255, QQ(), kDefUpdate),
        call("CreateTBL_invn_move_plan"),
        // Without the existence test of AddColumn, as in FornII's step 67.
        execute("ALTER TABLE `product_m` ADD `stockuseup` INTEGER DEFAULT 0 NOT NULL"),
        execute("UPDATE `product_m` SET `stockuseup` = 0 WHERE `stockuseup`  IS NULL"),
        addColumn("product_m", "weight", coltype::DOUBLE, 0, N(0), kDefUpdate),
        call("CreateTBL_workshift"),
        addColumn("receive", "input_type", coltype::TINYINT, 0, N(0), kDefUpdate),
        addColumn("payment", "input_type", coltype::TINYINT, 0, N(0), kDefUpdate),
        addColumn("product_m", "onlinestop", coltype::TINYINT, 0, N(0), kDefUpdate),
        addColumn("product_m", "onlinestopbigo", coltype::VARCHAR, 250, QQ(), kDefUpdate),
        addColumn("customer", "stopsalebigo", coltype::VARCHAR, 50, QQ(), kDefUpdate),
        addColumn("customer", "buydcrate", coltype::DOUBLE, 0, N(0), kDefUpdate),
        addColumn("customer", "pointprnignore", coltype::TINYINT, 0, N(0), kDefUpdate),
        addColumn("customer", "taxptype", coltype::TINYINT, 0, N(0), kDefUpdate),
        createIndex("idx_pclass_fullpath", "pclass", "fullpath"),
        addColumn("receive", "cancel_flag", coltype::TINYINT, 0, N(0), kDefUpdate),
        addColumn("receive", "ret_pair_code", coltype::LONG, 0, N(0), kDefUpdate),
        addColumn("workshift", "qty50000", coltype::LONG, 0, N(0), kDefUpdate),
        addColumn("workshift", "qty10000", coltype::LONG, 0, N(0), kDefUpdate),
        addColumn("workshift", "qty5000", coltype::LONG, 0, N(0), kDefUpdate),
        addColumn("workshift", "qty1000", coltype::LONG, 0, N(0), kDefUpdate),
        addColumn("workshift", "qty500", coltype::LONG, 0, N(0), kDefUpdate),
        addColumn("workshift", "qty100", coltype::LONG, 0, N(0), kDefUpdate),
        addColumn("workshift", "qty50", coltype::LONG, 0, N(0), kDefUpdate),
        addColumn("workshift", "qty10", coltype::LONG, 0, N(0), kDefUpdate),
    }));
    return steps;
}

}  // namespace

std::vector<Step> Steps() {
    const std::vector<Step> vardo = modDBPatch_VARDO::Steps();
    const std::vector<Step> forn = modDBPatch_FORN::Steps();
    std::vector<Step> steps = ownSteps(vardo);
    takeSteps(steps, vardo, 11, 22, 81);
    steps.push_back(stepAs(vardo, 94, 23));  // the consignment step before ordbook_m.regucode
    steps.push_back(stepAs(vardo, 93, 24));
    takeSteps(steps, vardo, 25, 33, 95);
    steps.push_back(stepAs(forn, 100, 34));  // customer.usesmartphone as SMALLINT
    takeSteps(steps, vardo, 35, 45, 105);
    steps.push_back(stepAs(forn, 112, 46));
    takeSteps(steps, vardo, 47, 51, 117);
    takeSteps(steps, vardo, 53, 66, 122);  // there is no step 52
    steps.push_back(stepAs(forn, 132, 67));
    takeSteps(steps, vardo, 68, 70, 139);
    return steps;
}

std::map<std::string, SubProcedure> SubProcedures() {
    const auto& vardo = modDBPatch_VARDO::Catalogue().procedures;
    const auto& forn = modDBPatch_FORN::Catalogue().procedures;
    std::map<std::string, SubProcedure> procs;
    for (const char* name :
         {"CreateTBL_pda_regist", "CreateTBL_bank_log", "CreateTBL_consignment", "CreateTBL_buy_log",
          "CreateTBL_serial", "CreateTBL_event_price", "CreateTBL_office_store", "CreateTBL_holiday1",
          "CreateTBL_recv_cashbook", "CreateTBL_officegroup", "BillNoteSubRtn", "CreateTBL_custpclassmatch",
          "CreateTBL_invn_move_plan", "CreateTBL_workshift", "CreateTBL_security_ip", "CreateTBL_security_mac",
          "CreateTBL_security_time", "CreateTBL_sign_img", "LoginPwdUpdate", "CreateTBL_repairlist",
          "CreateTBL_calclist_temp", "CreateTBL_calcmonthlist_temp", "CreateTBL_approval_details",
          "CreateTBL_androidsettings"})
        procs[name] = procedureOf(vardo, name);
    for (const char* name : {"CreateTBL_custprodinterest", "CreateTBL_sale_h_tax"})
        procs[name] = procedureOf(forn, name);
    return procs;
}

const migration::Catalogue& Catalogue() {
    static const migration::Catalogue catalogue{"FornPro", kTarget, false, Steps(), SubProcedures()};
    return catalogue;
}

bool ChkDBpatch(MigrationContext& ctx) { return migration::ChkDBpatch(ctx, Catalogue()); }

bool ChkDBpatch_SUB(MigrationContext& ctx, int16_t stored) {
    return migration::ChkDBpatch_SUB(ctx, Catalogue(), stored);
}

}  // namespace dex::modDBPatch_FORNPRO
