#include "BenchSamples.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>

#include "DbSession.h"
#include "Dialogs.h"
#include "JetStore.h"
#include "modDBsub.h"

namespace dex::bench {
namespace fs = std::filesystem;

namespace {

constexpr const char* kPassword = "kt5316";

struct SqliteCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* st) const noexcept { sqlite3_finalize(st); }
};
using DbHandle = std::unique_ptr<sqlite3, SqliteCloser>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

void check(sqlite3* db, int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) throw std::runtime_error(sqlite3_errmsg(db));
}

void exec(sqlite3* db, const char* sql) { check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr)); }

StmtHandle prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    check(db, sqlite3_prepare_v2(db, sql, -1, &raw, nullptr));
    return StmtHandle(raw);
}

int64_t countRows(sqlite3* db, const std::string& table) {
    StmtHandle st = prepare(db, ("SELECT COUNT(*) FROM " + table).c_str());
    check(db, sqlite3_step(st.get()));
    return sqlite3_column_int64(st.get(), 0);
}

std::string code6(int64_t n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%06lld", static_cast<long long>(n));
    return buf;
}

// Binds texts and numbers in order and runs the insert once.
class Insert {
public:
    Insert(sqlite3* db, const char* sql) : db_(db), st_(prepare(db, sql)) {}
    Insert& text(const std::string& s) {
        check(db_, sqlite3_bind_text(st_.get(), ++i_, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Insert& number(double v) {
        check(db_, sqlite3_bind_double(st_.get(), ++i_, v));
        return *this;
    }
    Insert& integer(int64_t v) {
        check(db_, sqlite3_bind_int64(st_.get(), ++i_, v));
        return *this;
    }
    void run() {
        check(db_, sqlite3_step(st_.get()));
        sqlite3_reset(st_.get());
        sqlite3_clear_bindings(st_.get());
        i_ = 0;
    }

private:
    sqlite3* db_;
    StmtHandle st_;
    int i_ = 0;
};

const char* const kCities[] = {"서울시 중구", "부산시 동구", "대구시 북구", "인천시 남동구", "광주시 서구", "대전시 유성구"};
const char* const kGoods[] = {"생수", "주방세제", "휴지", "커피", "라면", "식용유", "샴푸", "세탁세제"};

void fillCustomers(sqlite3* db, int64_t from, int64_t to, std::mt19937& rng) {
    Insert ins(db,
               "INSERT INTO customer (code, compname, compalias, ceoname, hpno, email, addr1, addr2, sale_dc, "
               "loginid, loginpwd) VALUES (?,?,?,?,?,?,?,?,?,?,?)");
    for (int64_t n = from; n <= to; ++n) {
        const std::string c = code6(n);
        ins.text(c).text("거래처 " + c).text("거래" + c).text("대표" + std::to_string(n % 997))
            .text("010-" + std::to_string(1000 + n % 9000) + "-" + std::to_string(1000 + (n * 7) % 9000))
            .text("c" + c + "@example.com").text(kCities[rng() % 6]).text(std::to_string(n % 300) + "번지")
            .integer(static_cast<int64_t>(rng() % 20)).text("u" + c).text("pw" + c).run();
    }
}

void fillProducts(sqlite3* db, int64_t from, int64_t to, std::mt19937& rng) {
    Insert ins(db, "INSERT INTO product_m (code, name, clscode, bigo) VALUES (?,?,?,?)");
    for (int64_t n = from; n <= to; ++n) {
        const std::string c = code6(n);
        ins.text(c).text(std::string(kGoods[rng() % 8]) + " " + std::to_string(n)).text(rng() % 2 ? "0001" : "0002")
            .text(n % 5 == 0 ? "묶음 상품" : "").run();
    }
}

void fillSales(sqlite3* db, int64_t count, int64_t customers, int64_t products, std::mt19937& rng) {
    Insert ins(db, "INSERT INTO sale (ocode, ccode, pcode, dealdate, qnt, price) VALUES (?,?,?,?,?,?)");
    for (int64_t n = 0; n < count; ++n) {
        char date[16];
        std::snprintf(date, sizeof date, "2024-%02d-%02d", static_cast<int>(rng() % 12 + 1), static_cast<int>(rng() % 28 + 1));
        ins.integer(rng() % 2 + 1).text(code6(static_cast<int64_t>(rng() % customers) + 1))
            .text(code6(static_cast<int64_t>(rng() % products) + 1)).text(date)
            .number(static_cast<double>(rng() % 50 + 1)).number(static_cast<double>((rng() % 200 + 1) * 100)).run();
    }
}

// Fills the three big tables up to `rows` rows each, in one transaction.
void fillRows(const fs::path& path, int rows) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    DbHandle db(raw);
    check(db.get(), rc);
    exec(db.get(), "PRAGMA foreign_keys=ON; BEGIN");
    std::mt19937 rng(5316);
    const int64_t customers = countRows(db.get(), "customer"), products = countRows(db.get(), "product_m");
    fillCustomers(db.get(), customers + 1, rows, rng);
    fillProducts(db.get(), products + 1, rows, rng);
    fillSales(db.get(), rows - countRows(db.get(), "sale"), std::max<int64_t>(rows, customers),
              std::max<int64_t>(rows, products), rng);
    exec(db.get(), "COMMIT");
}

// A new store at path with the product password, open for statements.
struct NewStore {
    explicit NewStore(const fs::path& path) {
        fs::remove(path);
        createStore(path.string(), kPassword);
        modDBsub::DBOpen(session, path.string(), kPassword);
    }
    std::unique_ptr<DbEngine> engine = makeJetStoreEngine();
    RecordingDialogs dialogs;
    DbSession session{*engine, dialogs};
};

}  // namespace

std::vector<std::string> ReadScript(const fs::path& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::vector<std::string> statements;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line.rfind("--", 0) == 0) continue;
        statements.push_back(line);
    }
    return statements;
}

fs::path VardoBaseScript() { return fs::path(DEX_SAMPLES_DIR) / "vardoII" / "base.sql"; }

void MakeVardoSample(const fs::path& path, int rows, int drift) {
    {
        NewStore store(path);
        DbSession& session = store.session;
        for (const auto& s : ReadScript(VardoBaseScript())) session.execute(s);
        if (drift == 1) {
            session.execute("ALTER TABLE customer ADD COLUMN memo2 VARCHAR(50) DEFAULT \"\" NOT NULL");
            session.execute("CREATE INDEX ix_sale_dealdate ON sale (dealdate)");
        } else if (drift == 2) {
            session.execute("ALTER TABLE product_m ADD COLUMN barcode VARCHAR(20) DEFAULT \"\" NOT NULL");
            session.execute("CREATE INDEX ix_customer_compname ON customer (compname)");
        } else if (drift == 3) {
            session.execute("CREATE TABLE memo_board (id LONG NOT NULL, body MEMO, PRIMARY KEY (id))");
            session.execute("CREATE INDEX ix_sale_pcode ON sale (pcode)");
        }
    }
    if (rows > 0) fillRows(path, rows);
}

void MakeWideStore(const fs::path& path, int tables, bool drifted) {
    static const char* const kTypes[] = {"VARCHAR(50)", "LONG", "DOUBLE", "DATETIME", "VARCHAR(20)", "SMALLINT"};
    NewStore store(path);
    DbSession& session = store.session;
    for (int t = 1; t <= tables; ++t) {
        char name[16];
        std::snprintf(name, sizeof name, "w%04d", t);
        std::vector<std::string> fields;
        for (int f = 1; f <= 29; ++f) {
            std::string field = "f" + std::to_string(f);
            if (drifted && t % 7 == 0 && f == 10) field = "g10";  // on this side only
            fields.push_back("`" + field + "` " + (f == 1 ? "LONG" : kTypes[(t + f) % 6]));
        }
        fields.push_back("`note` MEMO");
        if (drifted && t % 11 == 0) std::swap(fields[3], fields[4]);
        std::string sql = std::string("CREATE TABLE `") + name + "` (`id` LONG NOT NULL, ";
        for (const auto& f : fields) sql += f + ", ";
        sql += "PRIMARY KEY (`id`))";
        session.execute(sql);
        const int indexed = drifted && t % 5 == 0 ? 3 : 2;
        session.execute(std::string("CREATE INDEX `ix_") + name + "` ON `" + name + "` (`f" + std::to_string(indexed) + "`)");
        if (t > 1) {
            char parent[16];
            std::snprintf(parent, sizeof parent, "w%04d", t - 1);
            session.execute(std::string("ALTER TABLE `") + name + "` ADD CONSTRAINT `fk_" + name +
                            "` FOREIGN KEY (`f1`) REFERENCES `" + parent + "` (`id`)");
        }
    }
}

double Median(std::vector<double> samples) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

}  // namespace dex::bench
