#include "store/threadcache.h"

#include <sqlite3.h>

#include <exception>

namespace bryndle {

namespace {

const char* const CreateCacheTable =
    "CREATE TABLE THREAD_CACHE (\n\tTITLE\t\t \t\tTEXT,\n\tMTIME \t\t\t\tINT,\n\tMD5 "
    "\t\t\t\tTEXT,\n"
    "\tMAIL\t\t\t\tTEXT,\n\tNAME \t\t\t\tTEXT,\n\tMESSAGE \t\t\tTEXT,\n\tTRIP \t\t\t\tTEXT,\n"
    "\tREMOVE_ID\t\t\tTEXT,\n\tREMOVE_STAMP\t\tTEXT,\n\tPUBKEY \t\t\t\tTEXT,\n\tSIGN "
    "\t\t\t\tTEXT,\n"
    "\tATTACH \t\t\t\tTEXT,\n\tEXT \t\t\t\tTEXT,\n\tFLAGS\t\t\t\tINT\n);";
const char* const CreateIndexTable =
    "CREATE TABLE THREAD_INDEX (\n\tTITLE\t\t\t\tTEXT,\n\tPTIME\t\t\t\tINT,\n\tPHASH\t\t\t\tTEXT,\n"
    "\tATIME\t\t\t\tINT,\n\tCOUNT\t\t\t\tINT,\n\tFLAG\t\t\t\tINT\n);";

const char* const SchemaStatements[] = {
    CreateCacheTable,
    CreateIndexTable,
    "CREATE INDEX PINDEX ON THREAD_CACHE(TITLE);",
    "CREATE INDEX PINDEX2 ON THREAD_CACHE(TITLE, MTIME);",
    "CREATE INDEX FINDEX ON THREAD_CACHE(TITLE, FLAGS);",
    "CREATE UNIQUE INDEX LINDEX ON THREAD_INDEX(TITLE)",
    "CREATE UNIQUE INDEX UINDEX ON THREAD_CACHE(TITLE,MTIME,MD5);",
};

const char* const UpdateIndexSQL =
    "UPDATE THREAD_INDEX \n\tSET \n"
    "\t\tPTIME = (SELECT MTIME FROM THREAD_CACHE WHERE TITLE=? ORDER BY MTIME DESC LIMIT 1),\n"
    "\t\tPHASH = (SELECT MD5 FROM THREAD_CACHE WHERE TITLE=? ORDER BY MTIME DESC LIMIT 1),\n"
    "\t\tATIME = ?,\n"
    "\t\tCOUNT = (SELECT COUNT(*) FROM THREAD_CACHE WHERE TITLE=?),\n"
    "\t\tFLAG  = FLAG|1\n"
    "\tWHERE TITLE=?;";

const char* const InsertIndexSQL =
    "INSERT INTO THREAD_INDEX (TITLE,PTIME,PHASH,ATIME,COUNT,FLAG)\n\tVALUES(\n\t\t?, \n"
    "\t\t(SELECT MTIME FROM THREAD_CACHE WHERE TITLE=? ORDER BY MTIME DESC LIMIT 1),\n"
    "\t\t(SELECT MD5 FROM THREAD_CACHE WHERE TITLE=? ORDER BY MTIME DESC LIMIT 1),\n"
    "\t\t?,\n"
    "\t\t(SELECT COUNT(*) FROM THREAD_CACHE WHERE TITLE=?),\n"
    "\t\t1\n\t);";

const char* const InsertMessageSQL =
    "INSERT INTO THREAD_CACHE "
    "(TITLE,MTIME,MD5,MAIL,NAME,MESSAGE,TRIP,REMOVE_ID,REMOVE_STAMP,PUBKEY,SIGN,ATTACH,EXT,FLAGS)\n"
    "\tVALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?);";

// A field the record lacks is stored as SQL NULL.
std::optional<std::string_view> orNull(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    return std::string_view(text);
}

std::unique_ptr<ThreadCache>& instanceSlot() {
    static std::unique_ptr<ThreadCache> instance;
    return instance;
}

// Finalizes a statement when its scope ends, also on the way out of an exception.
struct Finalizer {
    std::unique_ptr<SQLiteStatement>& statement;
    ~Finalizer() {
        if (statement && statement->handle()) {
            try {
                statement->finalize();
            } catch (const std::exception&) {
            }
        }
    }
};

} // namespace

ThreadCache::ThreadCache(const std::string& databaseFile)
    : db_(databaseFile), clock_([] { return std::time(nullptr); }) {
    std::lock_guard<std::mutex> guard(lock_);
    bool first = true;
    try {
        for (const char* statement : SchemaStatements) {
            db_.exec(statement);
            first = false;
        }
    } catch (const SQLiteException&) {
        // Only "the schema exists already" (the first statement fails on an existing table) ends
        // the creation quietly; a file that is no database, a busy or read-only file, or a
        // failure half-way must not leave a cache that silently stores nothing.
        if (!first || !hasCacheTable())
            throw;
    }
}

bool ThreadCache::hasCacheTable() {
    try {
        auto s = db_.prepare(
            "SELECT count(*) FROM sqlite_master WHERE type='table' AND name='THREAD_CACHE';");
        Finalizer f{s};
        s->step();
        return s->fetched() && s->columnInt(0) > 0;
    } catch (const SQLiteException&) {
        return false;
    }
}

ThreadCache& ThreadCache::instance() {
    if (!instanceSlot())
        throw std::logic_error("the thread cache has not been made yet");
    return *instanceSlot();
}

void ThreadCache::setInstance(std::unique_ptr<ThreadCache> cache) {
    instanceSlot() = std::move(cache);
}

bool ThreadCache::hasInstance() {
    return instanceSlot() != nullptr;
}

template <class F> auto ThreadCache::transaction(Close close, F&& body) {
    std::lock_guard<std::mutex> guard(lock_);
    db_.begin();
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            close == Close::End ? db_.end() : db_.commit();
        } else {
            auto result = body();
            close == Close::End ? db_.end() : db_.commit();
            return result;
        }
    } catch (...) {
        try {
            close == Close::End ? db_.end() : db_.commit();
        } catch (const std::exception&) {
            // Closing a transaction that SQLite already rolled back can fail; the first error wins.
            try {
                db_.rollback();
            } catch (const std::exception&) {
            }
        }
        throw;
    }
}

ThreadMessage ThreadCache::rowToMessage(const SQLiteStatement& s) const {
    ThreadMessage m;
    m.title = s.columnText(0);
    m.mtime = s.columnInt(1);
    m.md5 = s.columnText(2);
    m.mail = s.columnText(3);
    m.name = s.columnText(4);
    m.message = s.columnText(5);
    m.trip = s.columnText(6);
    m.remove_id = s.columnText(7);
    m.remove_stamp = s.columnText(8);
    m.attach = s.columnText(11);
    m.ext = s.columnText(12);
    m.flags = static_cast<uint32_t>(s.columnInt64(13));
    return m;
}

ThreadMessageSummary ThreadCache::rowToSummary(const SQLiteStatement& s) const {
    ThreadMessageSummary summary;
    summary.mtime = s.columnInt(0);
    summary.md5 = s.columnText(1);
    return summary;
}

ThreadIndex ThreadCache::rowToIndex(const SQLiteStatement& s) const {
    ThreadIndex index;
    index.title = s.columnText(0);
    index.ptime = s.columnInt(1);
    index.phash = s.columnText(2);
    index.atime = s.columnInt(3);
    index.count = s.columnInt(4);
    index.flag = s.columnInt(5);
    return index;
}

int64_t ThreadCache::now() const {
    return static_cast<int64_t>(clock_()) - 57600;
}

std::optional<ThreadIndex> ThreadCache::index(const std::string& title) {
    return transaction(Close::End, [&]() -> std::optional<ThreadIndex> {
        auto s = db_.prepare("SELECT * FROM THREAD_INDEX WHERE TITLE=?;");
        Finalizer f{s};
        s->bind(1, title);
        s->step();
        if (!s->fetched())
            return std::nullopt;
        return rowToIndex(*s);
    });
}

std::vector<ThreadIndex> ThreadCache::indexes() {
    return transaction(Close::End, [&] {
        std::vector<ThreadIndex> rows;
        auto s = db_.prepare("SELECT * FROM THREAD_INDEX ORDER BY PTIME DESC;");
        Finalizer f{s};
        for (s->step(); s->fetched(); s->step())
            rows.push_back(rowToIndex(*s));
        return rows;
    });
}

std::vector<ThreadIndex> ThreadCache::indexesSince(int32_t stamp) {
    return transaction(Close::End, [&] {
        std::vector<ThreadIndex> rows;
        auto s = db_.prepare("SELECT * FROM THREAD_INDEX WHERE PTIME >= ? ORDER BY PTIME DESC;");
        Finalizer f{s};
        s->bind(1, stamp);
        for (s->step(); s->fetched(); s->step())
            rows.push_back(rowToIndex(*s));
        return rows;
    });
}

std::vector<ThreadMessageSummary> ThreadCache::summariesSince(const std::string& title,
                                                              int32_t stamp) {
    return transaction(Close::End, [&] {
        std::vector<ThreadMessageSummary> rows;
        auto s = db_.prepare("SELECT MTIME,MD5 FROM THREAD_CACHE WHERE TITLE=? AND MTIME >= ?;");
        Finalizer f{s};
        s->bind(1, title, stamp);
        for (s->step(); s->fetched(); s->step())
            rows.push_back(rowToSummary(*s));
        return rows;
    });
}

int32_t ThreadCache::count(const std::string& title) {
    return transaction(Close::End, [&] {
        auto s = db_.prepare("SELECT count(*) FROM THREAD_CACHE WHERE TITLE=?;");
        Finalizer f{s};
        s->bind(1, title);
        s->step();
        return s->fetched() ? s->columnInt(0) : 0;
    });
}

std::optional<ThreadMessage> ThreadCache::messageByHashPrefix(const std::string& title,
                                                              const std::string& prefix) {
    return transaction(Close::End, [&]() -> std::optional<ThreadMessage> {
        auto s = db_.prepare("SELECT * FROM THREAD_CACHE WHERE TITLE=? AND MD5 LIKE(? || '%');");
        Finalizer f{s};
        s->bind(1, title, prefix);
        s->step();
        if (!s->fetched())
            return std::nullopt;
        return rowToMessage(*s);
    });
}

std::vector<ThreadMessage> ThreadCache::messages(const std::string& title, uint32_t skip,
                                                 uint32_t limit) {
    if (limit == 0)
        return {};
    return transaction(Close::End, [&] {
        std::vector<ThreadMessage> rows;
        auto s = db_.prepare("SELECT * FROM THREAD_CACHE WHERE TITLE=? ORDER BY MTIME;");
        Finalizer f{s};
        s->bind(1, title);
        uint64_t row = 0;
        for (s->step(); s->fetched() && rows.size() < limit; s->step(), ++row) {
            if (row >= skip)
                rows.push_back(rowToMessage(*s));
        }
        return rows;
    });
}

void ThreadCache::updateIndex(const std::string& title) {
    transaction(Close::Commit, [&] {
        int32_t rows = 0;
        {
            auto s = db_.prepare("SELECT COUNT(*) FROM THREAD_INDEX WHERE TITLE=?;");
            Finalizer f{s};
            s->bind(1, title);
            s->step();
            rows = s->fetched() ? s->columnInt(0) : 0;
        }
        const int64_t atime = now();
        if (rows != 0) {
            auto s = db_.prepare(UpdateIndexSQL);
            Finalizer f{s};
            s->bind(1, title, title, atime, title, title);
            s->step();
        } else {
            auto s = db_.prepare(InsertIndexSQL);
            Finalizer f{s};
            s->bind(1, title, title, title, atime, title);
            s->step();
        }
    });
}

void ThreadCache::clearFlag(const std::string& title) {
    transaction(Close::Commit, [&] {
        auto s = db_.prepare("UPDATE THREAD_INDEX SET FLAG=FLAG&~1 WHERE TITLE=?");
        Finalizer f{s};
        s->bind(1, title);
        s->step();
    });
}

void ThreadCache::insert(const ThreadMessage& message) {
    insertAll({message});
}

size_t ThreadCache::insertAll(const std::vector<ThreadMessage>& messages) {
    return transaction(Close::Commit, [&] {
        auto s = db_.prepare(InsertMessageSQL);
        Finalizer f{s};
        size_t stored = 0;
        for (const auto& m : messages) {
            try {
                s->bind(1, m.title, m.mtime, m.md5, orNull(m.mail), orNull(m.name),
                        orNull(m.message), orNull(m.trip), orNull(m.remove_id),
                        orNull(m.remove_stamp), orNull(m.pubkey), orNull(m.sign), orNull(m.attach),
                        orNull(m.ext), m.flags);
                s->step();
                ++stored;
            } catch (const SQLiteException& e) {
                s->reset();
                // A record stored already (UINDEX) is refused and the others still go in; any
                // other failure (a busy or full database) reaches the caller.
                if (e.code() != SQLITE_CONSTRAINT)
                    throw;
                continue;
            }
            s->reset();
        }
        return stored;
    });
}

} // namespace bryndle
