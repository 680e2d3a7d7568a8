// Fuzz target for the parts of the Jet reader that read raw file bytes
// without libmdb: page 0 (JetHeader) and the table-definition pages
// (TableDefPages). Any input must end in a parsed result or a DbError:
// never a crash, a hang or a read out of bounds.
//
// Input: byte 0 chooses the layout (bit 0: Jet 3, bits 1-2: page size 256,
// 512, 1024 or the format's own 2048/4096 — small pages keep inputs short);
// the rest is a file image cut into pages. Page 0 goes through the header
// parser, pages 1..4 are each tried as the start of a table definition.
//
// The real fuzzer (clang, libFuzzer with AddressSanitizer and UBSan), from
// the source folder:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
//         -DDEX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
//   cmake --build build-fuzz --target fuzz_jet_tabledef
//   mkdir -p /tmp/jet-corpus && cp tests/fuzz/corpus/jet_tabledef/* /tmp/jet-corpus/
//   build-fuzz/tests/fuzz/fuzz_jet_tabledef /tmp/jet-corpus -max_total_time=600
// Without DEX_FUZZ the same function is built into fuzz_jet_tabledef_replay,
// a plain program that runs every file of the folders it is given (ctest runs
// it on tests/fuzz/corpus/jet_tabledef).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "DbError.h"
#include "JetHeader.h"
#include "TableDefPages.h"

namespace {

int pageSizeFor(uint8_t selector, bool jet3) {
    switch ((selector >> 1) & 0x3) {
        case 0: return 256;
        case 1: return 512;
        case 2: return 1024;
        default: return jet3 ? 2048 : 4096;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dex::jetfile;
    if (size < 1) return 0;
    const bool jet3 = data[0] & 0x1;
    const int pageSize = pageSizeFor(data[0], jet3);
    const uint8_t* file = data + 1;
    const size_t fileSize = size - 1;

    if (auto header = parseJetHeader(file, fileSize)) {
        passwordMatches(*header, "password");
        std::vector<uint8_t> page(file, file + std::min<size_t>(fileSize, 64));
        decodePage(header->pageKey, 3, page.data(), page.size());
    }

    const size_t pageCount = fileSize / static_cast<size_t>(pageSize);
    const PageSource pages = [&](uint32_t n) -> std::vector<uint8_t> {
        if (n >= pageCount) return {};
        const uint8_t* p = file + static_cast<size_t>(n) * static_cast<size_t>(pageSize);
        return std::vector<uint8_t>(p, p + pageSize);
    };
    for (uint32_t first = 1; first <= 4 && first < pageCount; ++first) {
        try {
            const TableDefinition def = readTableDefinition(first, jet3, pageSize, pages, "fuzz", 64);
            volatile size_t seen = def.columns.size() + def.physicalIndexes.size() + def.logicalIndexes.size();
            (void)seen;
        } catch (const dex::DbError&) {
        }
    }
    return 0;
}
