#include "history/historyDb.h"

#include <sqlite3.h>

#include <limits>

namespace ups {

namespace {

constexpr int kBusyTimeoutMs = 2000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS events(id INTEGER PRIMARY KEY AUTOINCREMENT, at REAL NOT NULL, "
    "kind TEXT NOT NULL, details TEXT NOT NULL DEFAULT '');"
    "CREATE INDEX IF NOT EXISTS events_at ON events(at);";

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

std::string columnText(sqlite3_stmt* stmt, int column) {
    const auto* text = sqlite3_column_text(stmt, column);
    if (text == nullptr) return {};
    return {reinterpret_cast<const char*>(text),
            static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))};
}

}  // namespace

HistoryDb::~HistoryDb() {
    close();
}

void HistoryDb::close() {
    // Closing the last connection checkpoints the log into the file and removes it.
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool HistoryDb::fail(const char* what) {
    error_ = what;
    if (db_ != nullptr) {
        error_ += ": ";
        error_ += sqlite3_errmsg(db_);
    }
    close();
    return false;
}

bool HistoryDb::exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool HistoryDb::open(const std::string& path, Mode mode) {
    close();
    error_.clear();
    const int flags =
        mode == Mode::write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        return fail("no se pudo abrir");
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    if (mode == Mode::write) {
        // SQLite quietly opens a write-protected file for reading only.
        if (sqlite3_db_readonly(db_, "main") != 0) return fail("archivo de solo lectura");
        Statement wal(db_, "PRAGMA journal_mode=WAL");
        if (!wal || sqlite3_step(wal.get()) != SQLITE_ROW || columnText(wal.get(), 0) != "wal") {
            return fail("sin registro WAL");
        }
        // FULL syncs the log at every commit: a committed event survives a power cut too.
        if (!exec("PRAGMA synchronous=FULL") || !exec(kSchema)) return fail("sin tabla de eventos");
    }
    // The shape the readers rely on, whoever made the table.
    if (!Statement(db_, "SELECT id, at, kind, details FROM events LIMIT 0")) {
        return fail("tabla de eventos inválida");
    }
    return true;
}

bool HistoryDb::append(const HistoryEvent& event) {
    if (db_ == nullptr) return false;
    // In autocommit mode the insert is its own transaction, committed and synced when step ends.
    Statement insert(db_, "INSERT INTO events(at, kind, details) VALUES(?, ?, ?)");
    if (!insert) {
        error_ = std::string("no se pudo escribir: ") + sqlite3_errmsg(db_);
        return false;
    }
    const std::string_view key = historyEventKey(event.kind);
    sqlite3_bind_double(insert.get(), 1, event.at);
    sqlite3_bind_text(insert.get(), 2, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert.get(), 3, event.details.data(), static_cast<int>(event.details.size()),
                      SQLITE_STATIC);
    if (sqlite3_step(insert.get()) == SQLITE_DONE) return true;
    error_ = std::string("no se pudo escribir: ") + sqlite3_errmsg(db_);
    return false;
}

int HistoryDb::removeOlderThan(double now, int days) {
    if (db_ == nullptr) return -1;
    Statement remove(db_, "DELETE FROM events WHERE at < ?");
    if (!remove) return -1;
    sqlite3_bind_double(remove.get(), 1, now - days);
    if (sqlite3_step(remove.get()) != SQLITE_DONE) {
        error_ = std::string("no se pudo depurar: ") + sqlite3_errmsg(db_);
        return -1;
    }
    return sqlite3_changes(db_);
}

std::vector<HistoryEvent> HistoryDb::eventsSince(double fromOle) const {
    return eventsBetween(fromOle, std::numeric_limits<double>::max());
}

std::vector<HistoryEvent> HistoryDb::eventsBetween(double fromOle, double toOle) const {
    std::vector<HistoryEvent> events;
    if (db_ == nullptr) return events;
    Statement select(db_,
                     "SELECT at, kind, details FROM events WHERE at >= ? AND at < ? "
                     "ORDER BY at DESC, id DESC");
    // A file that is not a history (or a damaged one) fails already here: the window must say so
    // rather than show an empty period.
    if (!select) {
        error_ = std::string("no se pudo leer: ") + sqlite3_errmsg(db_);
        return events;
    }
    sqlite3_bind_double(select.get(), 1, fromOle);
    sqlite3_bind_double(select.get(), 2, toOle);
    int step;
    while ((step = sqlite3_step(select.get())) == SQLITE_ROW) {
        const auto kind = historyEventKindFromKey(columnText(select.get(), 1));
        if (!kind) continue;
        events.push_back(
            {sqlite3_column_double(select.get(), 0), *kind, columnText(select.get(), 2)});
    }
    if (step != SQLITE_DONE) error_ = std::string("no se pudo leer: ") + sqlite3_errmsg(db_);
    return events;
}

std::int64_t HistoryDb::count() const {
    if (db_ == nullptr) return -1;
    Statement select(db_, "SELECT count(*) FROM events");
    if (!select || sqlite3_step(select.get()) != SQLITE_ROW) return -1;
    return sqlite3_column_int64(select.get(), 0);
}

}  // namespace ups
