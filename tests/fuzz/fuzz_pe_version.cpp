// Fuzz target for the version information of Windows programs: the PE
// reader that finds the version block in a file's resources, and the
// reading of that block's items (modFile) as the version-info command and
// the update check do it.
//
// Input: the bytes of a file. What must hold for any input:
//   - the reader returns a block or nothing, never reads outside the bytes;
//   - reading the same bytes from a file on disk gives the same block;
//   - reading the items of a block (the one found, and the input itself
//     taken as a block) fails only with the run-time errors modFile raises,
//     never with an internal error (an exception that is not a DbError).
// A broken rule prints it and aborts.
//
// The real fuzzer: see fuzz_jet_tabledef.cpp (target fuzz_pe_version, seeds
// in tests/fuzz/corpus/pe_version).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "FuzzTempFolder.h"
#include "PeVersion.h"
#include "modFile.h"

namespace {

[[noreturn]] void finding(const std::string& what) {
    std::fprintf(stderr, "fuzz_pe_version: %s\n", what.c_str());
    std::abort();
}

// The file copy, in a private folder made once per process.
const std::string& workFile() {
    static const dex::test::TempFolder folder("dex_fuzz_pe");
    static const std::string path = folder.file("program.exe");
    return path;
}

// The block modFile reads: set before each call (its reader is a plain function).
const std::vector<uint8_t>* g_block = nullptr;
std::vector<uint8_t> blockReader(const std::string&) { return *g_block; }

void readItems(const std::vector<uint8_t>& block) {
    g_block = &block;
    dex::RecordingDialogs dialogs;
    dex::modFile file(dialogs, &blockReader);
    file.GetFileVerInfo("program.exe");
    file.GetFileVer("program.exe", true, false);
    file.GetFileVer("program.exe", false, false);
    for (const auto& shown : dialogs.shown)
        if (shown.text.rfind("Error 51 ", 0) == 0 || shown.text.rfind("Error 7 ", 0) == 0)
            finding("reading the items failed inside: " + shown.text);
    g_block = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> block = dex::ReadVersionBlockFromMemory(data, size);

    {
        // A new file each time: truncating one with data makes some file
        // systems flush it on close, which costs more than the whole run.
        std::remove(workFile().c_str());
        std::ofstream out(workFile(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) finding("cannot write the file copy");
    }
    if (dex::ReadVersionBlock(workFile()) != block) finding("the file and the bytes in memory give different blocks");

    if (!block.empty()) readItems(block);
    readItems(std::vector<uint8_t>(data, data + size));
    return 0;
}
