#include "CliHelp.h"

#include <array>

#include "Version.h"

namespace dex::cli {

namespace {

struct CommandHelp {
    const char* name;
    const char* synopsis;
    const char* what;
    const char* example;
};

constexpr std::array<CommandHelp, 11> kCommands{{
    {"compare",
     "dexmira compare A B [--product NAME] [--json] [--one-sided] [--report FILE.html|.csv|.json]\n"
     "                    [--fix-sql FILE [--fix-target A|B]] [--password-a PW] [--password-b PW]",
     "Compares the structures of A, the customer's database, and B, the reference, as the Compare\n"
     "  button does (NAME: a product list entry or code). After the marked rows it names every other\n"
     "  difference (tables and fields on one side only, field settings, index details). --fix-sql\n"
     "  writes the statements that make A's keys and indexes like B's (--fix-target B: B like A).\n"
     "  --password-a / --password-b: the password of A / B when it is not the product's (the copies\n"
     "  get the product's). Exit status: 0 nothing differs, 1 anything differs, 2 failure.",
     "dexmira compare customer.mdb ref.mdb --product VelmoraII --report diff.html"},
    {"survey",
     "dexmira survey REFERENCE DB... --product NAME [--report DIR] [--jobs N] [--json] [--shard K/N]\n"
     "                   [--password-db PW] [--password-ref PW]\n"
     "dexmira survey --merge DIR|FILE.json... [--report OUT] [--json]",
     "Compares every DB (side A, a customer's database) with REFERENCE (side B) as the Compare\n"
     "  button does: the reference is copied and migrated once, each DB is copied (a Jet file\n"
     "  imported) and migrated in a temporary folder of its own, N at a time (--jobs, default: the\n"
     "  number of cores). Prints one row per DB (file, stored version before the migration, marked\n"
     "  rows, other differences, status or error), most differences first, failed DBs last;\n"
     "  --json prints a JSON document instead. --report DIR writes one HTML report per DB and an\n"
     "  index.html linking them. --password-db / --password-ref: the password of the DBs / of\n"
     "  REFERENCE when it is not the product's. --shard K/N takes the K-th of every N DBs (K counts\n"
     "  from 1), to spread a survey over machines. A progress line goes to stderr; Ctrl+C stops the\n"
     "  jobs, removes the temporary files and exits 130. Exit status: 0 nothing differs in any DB,\n"
     "  1 some DB differs (a marked row or any other difference), 2 some DB failed or the reference\n"
     "  could not be prepared. Ctrl+C prints the summary of the DBs done so far, then exits 130.\n"
     "  --report DIR also holds survey.json; --merge joins the report folders (or --json outputs) of\n"
     "  the shards of one survey into one summary, and with --report OUT one folder and index.html.",
     "dexmira survey ref.mdb customers/*.mdb --product VelmoraII --report survey-report"},
    {"structure", "dexmira structure FILE [--password PW] [--json]",
     "Prints the rows one side's load writes.", "dexmira structure ref.mdb --json"},
    {"create", "dexmira create FILE [--password PW]", "Creates a new empty store.",
     "dexmira create new.mdb"},
    {"exec", "dexmira exec FILE [--password PW] [--json] [SQL ...]",
     "Runs statements (no SQL: one per line on stdin); a SELECT prints a header line and one\n"
     "  tab-separated line per row (--json: an array of objects), other statements their row count.\n"
     "  All statements run as one transaction: one that fails undoes those before it. On a real Jet 4\n"
     "  file they run on a private store that is written back, checked and swapped in when all ran.",
     "dexmira exec ref.mdb \"SELECT * FROM dbversion\""},
    {"import", "dexmira import JETFILE STORE [--password PW]", "Reads a real Jet file into a new store.",
     "dexmira import legacy.mdb store.mdb"},
    {"export", "dexmira export STORE OUT.mdb [--password PW]",
     "Writes a store as a new Jet 4 (Access 2000-2003) file with the same tables, indexes,\n"
     "  relationships and rows; the store's password becomes the database password. OUT must not\n"
     "  exist; the file is read back and checked before it gets its name, and no file is left\n"
     "  when anything fails.",
     "dexmira export store.mdb customer.mdb"},
    {"check", "dexmira check FILE [--password PW] [--json]",
     "Proves a real Jet (Access) file sound or names each problem (table, index, page): pages of the\n"
     "  right type and reachable, row counts, usage maps, long-value chains, index trees and keys.\n"
     "  Exit status: 0 sound, 1 problems found, 2 the file cannot be read.",
     "dexmira check customer.mdb --json"},
    {"migrate", "dexmira migrate FILE --product NAME [--trace-sql] [--password PW] [--sort-order general]",
     "Brings FILE itself to the product's latest schema (all or nothing). A real Jet 4 file is\n"
     "  migrated through a private store and written back with its other objects, read back, checked\n"
     "  and swapped in (the original kept as NAME.bak.mdb); --sort-order general rewrites a file of\n"
     "  another sort order in the General one, where new text keys can be computed.",
     "dexmira migrate customer.mdb --product VelmoraII"},
    {"compact", "dexmira compact FILE [--yes] [--password PW]",
     "Compacts and repairs FILE in place. A real Jet 4 file is rewritten from its model (deleted\n"
     "  rows and free pages dropped, unsound indexes rebuilt, every other object carried over), read\n"
     "  back, checked and swapped in; the original is kept as NAME.bak.mdb. The product password is\n"
     "  tried first, then PW.",
     "dexmira compact customer.mdb --yes"},
    {"version-info", "dexmira version-info FILE", "Prints the version information of a Windows program.",
     "dexmira version-info setup.exe"},
}};

std::string describe(const CommandHelp& c) {
    return std::string("usage: ") + c.synopsis + "\n  " + c.what + "\n  example: " + c.example + "\n";
}

}  // namespace

std::string versionText() { return std::string("Dexmira ") + DEXMIRA_VERSION_TEXT + "\n"; }

std::string usage() {
    std::string text =
        "Usage: dexmira [FILE_A [FILE_B]] [--product NAME] [--compare]\n"
        "       dexmira COMMAND [ARGUMENTS]\n"
        "       dexmira help COMMAND | --help | --version\n"
        "\n"
        "Compares the structure of two Access databases of one product. Without a command it opens\n"
        "the window, with FILE_A in box A and FILE_B in box B.\n"
        "\n"
        "Commands:\n";
    for (const auto& c : kCommands) text += "\n" + describe(c);
    text +=
        "\n"
        "Options:\n"
        "  -h, --help      print this help and exit\n"
        "  --version       print the program's version and exit\n"
        "\n"
        "Exit status: 0 success or no differences, 1 differences found, 2 failure.\n";
    return text;
}

// Started by the survey for one database; not listed in the usage.
constexpr CommandHelp kSurveyJob{
    "survey-job",
    "dexmira survey-job --product NAME --folder DIR [--reference COPY [--reference-name REFERENCE]]\n"
    "                        [--report-file FILE] DB",
    "One database of a survey (started by dexmira survey): copies DB into DIR, migrates it and,\n"
    "  with a reference copy, compares it; prints one line with the result.",
    "dexmira survey ref.mdb customer.mdb --product VelmoraII"};

std::string usageOf(const std::string& name) {
    for (const auto& c : kCommands)
        if (name == c.name) return describe(c);
    if (name == kSurveyJob.name) return describe(kSurveyJob);
    return {};
}

bool isCommand(const std::string& name) { return !usageOf(name).empty(); }

}  // namespace dex::cli
