#pragma once
// The history file: an SQLite database with one table of events,
//   events(id INTEGER PRIMARY KEY AUTOINCREMENT, at REAL NOT NULL, kind TEXT NOT NULL,
//          details TEXT NOT NULL DEFAULT '')
// indexed on `at`, the local date-time as an OLE date; `kind` is historyEventKey(); the details
// are UTF-8. It is written in WAL mode with a full sync at every commit, one transaction per
// event, so an event whose append returned true survives a crash or a power cut. One writer and
// any number of readers may have the file open at once, each through its own HistoryDb, each
// HistoryDb used by one thread at a time.
#include <cstdint>
#include <string>
#include <vector>

#include "base/historyRecorder.h"

struct sqlite3;

namespace ups {

class HistoryDb {
public:
    enum class Mode {
        write,  // creates the file and the table when missing
        read    // the file must exist; nothing is ever written
    };

    HistoryDb() = default;
    ~HistoryDb();
    HistoryDb(const HistoryDb&) = delete;
    HistoryDb& operator=(const HistoryDb&) = delete;

    // False when the file cannot be opened, is not a database, is read-only for Mode::write or
    // holds an events table of another shape; error() says why. The folder must exist.
    bool open(const std::string& path, Mode mode = Mode::write);
    bool isOpen() const { return db_ != nullptr; }
    void close();

    // One event in a transaction of its own; true once it is committed to the disk.
    bool append(const HistoryEvent& event);
    // Removes the events older than `days` days before `now`; the number removed, or -1.
    int removeOlderThan(double now, int days);

    // Events at or after fromOle, newest first (the same time: the later written first). Rows
    // whose kind this version does not know are left out.
    std::vector<HistoryEvent> eventsSince(double fromOle) const;
    // Events with fromOle <= at < toOle, newest first.
    std::vector<HistoryEvent> eventsBetween(double fromOle, double toOle) const;
    // Every row in the table; -1 when it cannot be read.
    std::int64_t count() const;

    // The last failure in a few words with SQLite's own message.
    const std::string& error() const { return error_; }

private:
    bool exec(const char* sql);
    bool fail(const char* what);

    sqlite3* db_ = nullptr;
    mutable std::string error_;
};

}  // namespace ups
