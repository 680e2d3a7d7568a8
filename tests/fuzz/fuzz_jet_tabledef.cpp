// Fuzz target for the Jet reader: page 0 (JetHeader), the table-definition
// pages (TableDefPages), and whole files through the model (JetModel: the
// catalog, every table's definition, usage map, rows, overflow rows and long
// values, the property blobs) and the checker (JetCheck). Any input must end
// in a result or a DbError: never a crash, a hang or a read out of bounds.
//
// Input: byte 0 chooses the mode. Bit 3 set: the rest is a whole file (its
// own header says Jet 3 or Jet 4 and so the page size). Otherwise bit 0:
// Jet 3, bits 1-2: page size 256, 512, 1024 or the format's own 2048/4096
// (small pages keep inputs short); the rest is a file image cut into pages.
// Page 0 goes through the header parser, pages 1..4 are each tried as the
// start of a table definition.
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
#include "JetCheck.h"
#include "JetHeader.h"
#include "JetModel.h"
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

// A whole file: every table's rows and properties, then the checker.
void wholeFile(const uint8_t* file, size_t size) {
    using namespace dex::jetfile;
    try {
        const std::string image(reinterpret_cast<const char*>(file), size);
        std::unique_ptr<JetModel> model;
        try {
            model = JetModel::fromImage(image, "fuzz.mdb", "");
        } catch (const dex::DbError& e) {
            if (e.number() != dex::dberr::NotValidPassword) throw;
            model = JetModel::fromImage(image, "fuzz.mdb", "pw");  // the seeds' password
        }
        size_t seen = 0;
        for (const JetModelTable& t : model->tables()) {
            try {
                model->readRows(t, [&](const RowPlace&, std::vector<JetValue>& row) { return seen += row.size(), true; });
            } catch (const dex::DbError&) {
            }
            try {
                seen += model->properties(model->catalog()[t.catalogIndex]).maps.size();
            } catch (const dex::DbError&) {
            }
        }
        seen += checkJetFile(*model).problems.size();
        volatile size_t keep = seen;
        (void)keep;
    } catch (const dex::DbError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dex::jetfile;
    if (size < 1) return 0;
    if (data[0] & 0x8) {
        wholeFile(data + 1, size - 1);
        return 0;
    }
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
