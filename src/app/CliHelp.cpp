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

constexpr std::array<CommandHelp, 8> kCommands{{
    {"compare",
     "dexmira compare A B [--product NAME] [--json] [--one-sided] [--report FILE.html|.csv|.json]\n"
     "                    [--fix-sql FILE [--fix-target B|A]]",
     "Compares the structures of A and B as the Compare button does (NAME: a product list entry or code).",
     "dexmira compare ref.mdb customer.mdb --product VelmoraII --report diff.html"},
    {"structure", "dexmira structure FILE [--password PW] [--json]",
     "Prints the rows one side's load writes.", "dexmira structure ref.mdb --json"},
    {"create", "dexmira create FILE [--password PW]", "Creates a new empty store.",
     "dexmira create new.mdb"},
    {"exec", "dexmira exec FILE [--password PW] [--json] [SQL ...]",
     "Runs statements (no SQL: one per line on stdin); a SELECT prints a header line and one\n"
     "  tab-separated line per row (--json: an array of objects), other statements their row count.",
     "dexmira exec ref.mdb \"SELECT * FROM dbversion\""},
    {"import", "dexmira import JETFILE STORE [--password PW]", "Reads a real Jet file into a new store.",
     "dexmira import legacy.mdb store.mdb"},
    {"migrate", "dexmira migrate FILE --product NAME [--trace-sql]",
     "Brings FILE itself to the product's latest schema (all or nothing).",
     "dexmira migrate customer.mdb --product VelmoraII"},
    {"compact", "dexmira compact FILE [--yes]", "Compacts and repairs FILE in place.",
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

std::string usageOf(const std::string& name) {
    for (const auto& c : kCommands)
        if (name == c.name) return describe(c);
    return {};
}

bool isCommand(const std::string& name) { return !usageOf(name).empty(); }

}  // namespace dex::cli
