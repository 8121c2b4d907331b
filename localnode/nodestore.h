#pragma once

#include "foundation/sqlite.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace bryndle {

// One stored record: its stamp, its id (MD5 of its text) and its text "key:value<>...".
struct NodeRecord {
    int64_t stamp = 0;
    std::string id;
    std::string text;

    // The wire line "stamp<>id<>text".
    std::string line() const;
    // The wire line of a head answer "stamp<>id".
    std::string headLine() const;
};

// One thread: its title, the stamp of its last update, its record count and size in bytes.
struct NodeThread {
    std::string title;
    int64_t stamp = 0;
    int64_t records = 0;
    int64_t size = 0;
};

// The node's threads and records in one SQLite file; every operation holds the store's lock
// and is one transaction, so the file is consistent whenever the process ends.
class NodeStore {
public:
    explicit NodeStore(const std::string& path);
    virtual ~NodeStore();
    NodeStore(const NodeStore&) = delete;
    NodeStore& operator=(const NodeStore&) = delete;

    // Takes up a thread; false when it was already held.
    virtual bool registerThread(const std::string& title, int64_t stamp);
    // Stores a record (registering its thread); false when the same record was already held.
    virtual bool addRecord(const std::string& title, const NodeRecord& record);
    // Stores many records of many threads in one transaction.
    virtual void addRecords(const std::vector<std::pair<std::string, NodeRecord>>& records);
    // Removes a thread with its records; false when it was not held.
    virtual bool deleteThread(const std::string& title);

    virtual std::optional<NodeThread> thread(const std::string& title);
    // Every thread, the latest update first.
    virtual std::vector<NodeThread> threads();
    // Records with stamps in [from, to], oldest first.
    virtual std::vector<NodeRecord> records(const std::string& title, int64_t from, int64_t to);
    // Records with that stamp and id (id compared without regard to case).
    virtual std::vector<NodeRecord> record(const std::string& title, int64_t stamp,
                                           const std::string& id);
    virtual int64_t threadCount();
    virtual int64_t recordCount();

    // Closes the file; later calls raise.
    virtual void close();

    // A record made from its text, with its id computed.
    static NodeRecord makeRecord(int64_t stamp, std::string text);

private:
    bool insertRecord(const std::string& title, const NodeRecord& record);
    bool insertThread(const std::string& title, int64_t stamp);
    std::vector<NodeRecord> readRecords(SQLiteStatement& statement);
    SQLite& db();

    std::mutex mutex_;
    std::unique_ptr<SQLite> db_;
};

} // namespace bryndle
