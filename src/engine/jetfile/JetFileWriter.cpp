#include "JetFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "IndexKey.h"
#include "JetFile.h"
#include "JetHeader.h"
#include "JetWriteCatalogue.h"
#include "JetWritePlanner.h"
#include "JetWriteTable.h"
#include "NameText.h"

namespace dex::jetfile {

using namespace jetwrite;

namespace {

int defaultSortOrder(int codePage, bool jet3) {
    if (!jet3) return 0x409;
    switch (codePage) {
    case 949: return 0x412;
    case 932: return 0x411;
    case 936: return 0x804;
    case 950: return 0x404;
    default: return 0x409;
    }
}

// Page 0 as Access 2000 writes it: the signature, the version, then the
// block masked with RC4 (key C7 DA 39 6B): code page at 0x3C, the database
// password at 0x42 (Jet 4: 40 bytes of UCS-2 XORed with the little-endian
// bytes of the creation date's whole days), sort order at 0x6E (Jet 4) or
// 0x3A (Jet 3), the creation date at 0x72.
void writeHeader(Bytes& p, const JetWriteDatabase& db, const TextCodec& codec, int sortOrder, double created) {
    const bool jet3 = db.version == 0;
    const Bytes magic("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    p.replace(0, magic.size(), magic);
    p[0x14] = static_cast<char>(db.version);
    static const uint8_t fixedBlock[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    p.replace(0x18, 24, reinterpret_cast<const char*>(fixedBlock), 24);
    set16(p, 0x3C, static_cast<unsigned>(db.codePage));
    Bytes password = codec.plain(db.password);
    if (jet3) {
        set16(p, 0x3A, static_cast<unsigned>(sortOrder));
        if (password.size() > 20) failDescription("a Jet 3 database password has at most 20 bytes");
        password.resize(20, '\0');
    } else {
        set32(p, 0x6E, static_cast<uint32_t>(sortOrder));
        Bytes date;
        putDouble(date, created);
        p.replace(0x72, 8, date);
        if (password.size() > 40) failDescription("a database password has at most 20 characters");
        password.resize(40, '\0');
        const auto key = static_cast<uint32_t>(static_cast<int32_t>(std::floor(created)));
        for (size_t i = 0; i < password.size(); ++i)
            password[i] = static_cast<char>(password[i] ^ ((key >> (8 * (i % 4))) & 0xFF));
        p.replace(0x98, 8, Bytes("\x54\x06\x00\x00" "4.0\x00", 8));
    }
    p.replace(0x42, password.size(), password);
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(key, 4, reinterpret_cast<uint8_t*>(p.data()) + 0x18, jet3 ? 126 : 128);
}

double nowInJetDays() {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    return 25569.0 + static_cast<double>(seconds) / 86400.0;
}

}  // namespace

JetWriteResult writeJetFile(int fd, const std::string& name, const JetWriteDatabase& db, const JetWriteOptions& options) {
    const Format format = Format::of(db.version);
    const int sortOrder = db.sortOrder ? db.sortOrder : defaultSortOrder(db.codePage, format.jet3);
    const double created = db.created != 0 ? db.created : nowInJetDays();
    Planner planner(db, format, sortOrder);
    std::vector<TablePlan> plans = planner.plan();
    const TextCodec codec{format.jet3, db.codePage};

    PageFile file(format);
    file.allocate();  // 0: the header
    file.allocate();  // 1: the file's page map
    std::map<std::string, int> pageOf;
    JetWriteResult result;
    for (TablePlan& t : plans) {  // MSysObjects first: its definition must be page 2
        const size_t size = tableDefSize(t, format, codec);
        const size_t ps = static_cast<size_t>(format.pageSize);
        const size_t count = size <= ps ? 1 : 1 + (size - ps + ps - 9) / (ps - 8);
        for (size_t i = 0; i < count; ++i) t.tdefPages.push_back(file.allocate());
        pageOf[lowerText(t.name)] = t.tdefPages.front();
        if (t.source && t.source->sourceId != 0) result.tableIds[t.source->sourceId] = t.tdefPages.front();
    }
    Catalogue catalogue = buildCatalogue(plans, db, planner, codec, created, result.tableIds);
    for (TablePlan& t : plans) {
        if (t.name == "MSysObjects") t.rows = rowsOf(std::make_shared<std::vector<CatalogueRow>>(std::move(catalogue.objects)));
        if (t.name == "MSysACEs") t.rows = rowsOf(std::make_shared<std::vector<CatalogueRow>>(std::move(catalogue.aces)));
        if (t.name == "MSysRelationships")
            t.rows = rowsOf(std::make_shared<std::vector<CatalogueRow>>(std::move(planner.relationshipRows)));
        if (t.name == "MSysQueries") {
            auto rows = std::make_shared<std::vector<CatalogueRow>>();
            const std::vector<size_t> ids = idPositions(t, db);
            for (const JetNamedValues& q : db.queries) {
                rows->push_back(rowFromNamed(t, q));
                for (size_t p : ids) remap(rows->back()[p], result.tableIds);
            }
            t.rows = rowsOf(rows);
        }
        // Carried rows of other tables (the navigation tables) get the new ids as they stream.
        if (!t.catalogTable) t.rows = remapped(t.rows, idPositions(t, db), &result.tableIds);
    }

    UsageMaps maps(file);
    TableWriter writer{file, maps, codec, [&](const std::string& table) { return pageOf.at(lowerText(table)); },
                       options.emptyTreesForUnkeyedIndexes};
    int number = 0;
    for (const TablePlan& t : plans) {
        const uint64_t rows = writer.write(t);
        if (options.onTable) options.onTable(JetWriteProgress{t.name, ++number, static_cast<int>(plans.size()), rows});
    }
    writeGlobalMap(file);
    writeHeader(file.page(0), db, codec, sortOrder, created);
    try {
        file.save(fd, name);
    } catch (const std::runtime_error& e) {
        throw JetWriteError(e.what());
    }
    result.pages = static_cast<uint32_t>(file.count());
    return result;
}

JetWriteResult writeJetFile(const std::string& path, const JetWriteDatabase& db, const JetWriteOptions& options) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) throw JetWriteError("cannot create " + path + ": " + std::strerror(errno));
    try {
        JetWriteResult r = writeJetFile(fd, path, db, options);
        if (::close(fd) != 0) throw JetWriteError("cannot write " + path + ": " + std::strerror(errno));
        return r;
    } catch (...) {
        ::close(fd);
        ::unlink(path.c_str());
        throw;
    }
}

}  // namespace dex::jetfile
