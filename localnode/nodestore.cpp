#include "nodestore.h"

#include "foundation/asciitext.h"
#include "foundation/digest.h"

#include <sqlite3.h>

#include <type_traits>

namespace bryndle {

namespace {

// Runs a piece of work as one transaction: committed when it returns, rolled back when it
// raises.
template <class Work> auto transaction(SQLite& db, Work work) {
    db.exec("BEGIN IMMEDIATE");
    try {
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            db.commit();
        } else {
            auto result = work();
            db.commit();
            return result;
        }
    } catch (...) {
        try {
            db.rollback();
        } catch (const SQLiteException&) {
            // The failed statement may already have ended the transaction.
        }
        throw;
    }
}

bool changes(SQLite& db) {
    return sqlite3_changes(db.handle()) > 0;
}

} // namespace

std::string NodeRecord::line() const {
    return std::to_string(stamp) + "<>" + id + "<>" + text;
}

std::string NodeRecord::headLine() const {
    return std::to_string(stamp) + "<>" + id;
}

NodeRecord NodeStore::makeRecord(int64_t stamp, std::string text) {
    NodeRecord record;
    record.stamp = stamp;
    record.id = Digest::md5Hex(text);
    record.text = std::move(text);
    return record;
}

NodeStore::NodeStore(const std::string& path) : db_(std::make_unique<SQLite>(path)) {
    SQLite& db = *db_;
    db.exec("PRAGMA journal_mode=WAL");
    db.exec("PRAGMA synchronous=FULL");
    db.exec("CREATE TABLE IF NOT EXISTS threads ("
            "title TEXT PRIMARY KEY, stamp INTEGER NOT NULL, registered INTEGER NOT NULL)");
    db.exec("CREATE TABLE IF NOT EXISTS records ("
            "title TEXT NOT NULL, stamp INTEGER NOT NULL, id TEXT NOT NULL, "
            "body TEXT NOT NULL, size INTEGER NOT NULL, UNIQUE(title, stamp, id))");
}

NodeStore::~NodeStore() = default;

SQLite& NodeStore::db() {
    if (!db_) {
        throw Exception("node store closed");
    }
    return *db_;
}

bool NodeStore::insertThread(const std::string& title, int64_t stamp) {
    auto insert =
        db().prepare("INSERT OR IGNORE INTO threads (title, stamp, registered) VALUES (?, ?, ?)");
    insert->bind(1, title, stamp, stamp);
    insert->step();
    bool added = changes(db());
    insert->finalize();
    return added;
}

bool NodeStore::insertRecord(const std::string& title, const NodeRecord& record) {
    insertThread(title, record.stamp);
    auto insert = db().prepare(
        "INSERT OR IGNORE INTO records (title, stamp, id, body, size) VALUES (?, ?, ?, ?, ?)");
    insert->bind(1, title, record.stamp, record.id, record.text,
                 static_cast<int64_t>(record.line().size() + 1));
    insert->step();
    bool added = changes(db());
    insert->finalize();
    if (added) {
        auto update = db().prepare("UPDATE threads SET stamp = MAX(stamp, ?) WHERE title = ?");
        update->bind(1, record.stamp, title);
        update->step();
        update->finalize();
    }
    return added;
}

bool NodeStore::registerThread(const std::string& title, int64_t stamp) {
    std::lock_guard lock(mutex_);
    return transaction(db(), [&] { return insertThread(title, stamp); });
}

bool NodeStore::addRecord(const std::string& title, const NodeRecord& record) {
    std::lock_guard lock(mutex_);
    return transaction(db(), [&] { return insertRecord(title, record); });
}

void NodeStore::addRecords(const std::vector<std::pair<std::string, NodeRecord>>& records) {
    std::lock_guard lock(mutex_);
    transaction(db(), [&] {
        for (const auto& [title, record] : records) {
            insertRecord(title, record);
        }
    });
}

bool NodeStore::deleteThread(const std::string& title) {
    std::lock_guard lock(mutex_);
    return transaction(db(), [&] {
        auto records = db().prepare("DELETE FROM records WHERE title = ?");
        records->bind(1, title);
        records->step();
        records->finalize();
        auto thread = db().prepare("DELETE FROM threads WHERE title = ?");
        thread->bind(1, title);
        thread->step();
        bool removed = changes(db());
        thread->finalize();
        return removed;
    });
}

namespace {

constexpr const char* kThreadQuery =
    "SELECT t.title, t.stamp, COUNT(r.id), COALESCE(SUM(r.size), 0) "
    "FROM threads t LEFT JOIN records r ON r.title = t.title ";

NodeThread readThread(const SQLiteStatement& statement) {
    NodeThread thread;
    thread.title = statement.columnText(0);
    thread.stamp = statement.columnInt64(1);
    thread.records = statement.columnInt64(2);
    thread.size = statement.columnInt64(3);
    return thread;
}

} // namespace

std::optional<NodeThread> NodeStore::thread(const std::string& title) {
    std::lock_guard lock(mutex_);
    auto query = db().prepare(std::string(kThreadQuery) + "WHERE t.title = ? GROUP BY t.title");
    query->bind(1, title);
    query->step();
    std::optional<NodeThread> found;
    if (query->fetched()) {
        found = readThread(*query);
    }
    query->finalize();
    return found;
}

std::vector<NodeThread> NodeStore::threads() {
    std::lock_guard lock(mutex_);
    auto query =
        db().prepare(std::string(kThreadQuery) + "GROUP BY t.title ORDER BY t.stamp DESC, t.title");
    std::vector<NodeThread> found;
    for (query->step(); query->fetched(); query->step()) {
        found.push_back(readThread(*query));
    }
    query->finalize();
    return found;
}

std::vector<NodeRecord> NodeStore::readRecords(SQLiteStatement& statement) {
    std::vector<NodeRecord> found;
    for (statement.step(); statement.fetched(); statement.step()) {
        NodeRecord record;
        record.stamp = statement.columnInt64(0);
        record.id = statement.columnText(1);
        record.text = statement.columnText(2);
        found.push_back(std::move(record));
    }
    statement.finalize();
    return found;
}

std::vector<NodeRecord> NodeStore::records(const std::string& title, int64_t from, int64_t to) {
    std::lock_guard lock(mutex_);
    auto query = db().prepare("SELECT stamp, id, body FROM records "
                              "WHERE title = ? AND stamp >= ? AND stamp <= ? ORDER BY stamp, id");
    query->bind(1, title, from, to);
    return readRecords(*query);
}

std::vector<NodeRecord> NodeStore::record(const std::string& title, int64_t stamp,
                                          const std::string& id) {
    std::lock_guard lock(mutex_);
    auto query = db().prepare("SELECT stamp, id, body FROM records "
                              "WHERE title = ? AND stamp = ? AND id = ? ORDER BY id");
    query->bind(1, title, stamp, lowerAscii(id));
    return readRecords(*query);
}

int64_t NodeStore::threadCount() {
    std::lock_guard lock(mutex_);
    auto query = db().prepare("SELECT COUNT(*) FROM threads");
    query->step();
    int64_t count = query->columnInt64(0);
    query->finalize();
    return count;
}

int64_t NodeStore::recordCount() {
    std::lock_guard lock(mutex_);
    auto query = db().prepare("SELECT COUNT(*) FROM records");
    query->step();
    int64_t count = query->columnInt64(0);
    query->finalize();
    return count;
}

void NodeStore::close() {
    std::lock_guard lock(mutex_);
    if (db_) {
        db_->close();
        db_.reset();
    }
}

} // namespace bryndle
