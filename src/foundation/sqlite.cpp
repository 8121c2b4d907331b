#include "foundation/sqlite.h"

#include <sqlite3.h>

namespace bryndle {

// ---- SQLiteStatement ----

SQLiteStatement::~SQLiteStatement() {
    if (handle_)
        sqlite3_finalize(handle_);
}

void SQLiteStatement::check(int rc) {
    if (rc != SQLITE_OK)
        owner_.raiseError();
}

void SQLiteStatement::bindOne(int n, int64_t v) {
    check(sqlite3_bind_int64(handle_, n, v));
}
void SQLiteStatement::bindOne(int n, uint64_t v) {
    check(sqlite3_bind_int64(handle_, n, static_cast<sqlite3_int64>(v)));
}
void SQLiteStatement::bindOne(int n, int32_t v) {
    check(sqlite3_bind_int(handle_, n, v));
}
// Widened so that values above 2^31 keep their value instead of turning negative.
void SQLiteStatement::bindOne(int n, uint32_t v) {
    check(sqlite3_bind_int64(handle_, n, v));
}
void SQLiteStatement::bindOne(int n, double v) {
    check(sqlite3_bind_double(handle_, n, v));
}
void SQLiteStatement::bindOne(int n, std::string_view utf8) {
    check(sqlite3_bind_text64(handle_, n, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}
void SQLiteStatement::bindOne(int n, Utf16Text utf16) {
    check(sqlite3_bind_text16(handle_, n, utf16.text.data(),
                              static_cast<int>(utf16.text.size() * sizeof(char16_t)),
                              SQLITE_TRANSIENT));
}
void SQLiteStatement::bindOne(int n, Blob blob) {
    check(sqlite3_bind_blob64(handle_, n, blob.data, blob.size, SQLITE_TRANSIENT));
}
void SQLiteStatement::bindOne(int n, std::nullptr_t) {
    check(sqlite3_bind_null(handle_, n));
}

void SQLiteStatement::step() {
    fetched_ = false;
    int rc = sqlite3_step(handle_);
    if (rc == SQLITE_ROW)
        fetched_ = true;
    else if (rc != SQLITE_DONE)
        owner_.raiseError();
}

void SQLiteStatement::reset() {
    sqlite3_reset(handle_);
}
int SQLiteStatement::dataCount() const {
    return sqlite3_data_count(handle_);
}
int SQLiteStatement::columnCount() const {
    return sqlite3_column_count(handle_);
}

void SQLiteStatement::finalize() {
    sqlite3_stmt* handle = handle_;
    handle_ = nullptr;
    if (sqlite3_finalize(handle) != SQLITE_OK)
        owner_.raiseError();
}

std::string SQLiteStatement::columnText(int column) const {
    int bytes = sqlite3_column_bytes(handle_, column);
    const unsigned char* text = sqlite3_column_text(handle_, column);
    if (!text)
        return {};
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
}

int32_t SQLiteStatement::columnInt(int column) const {
    return sqlite3_column_int(handle_, column);
}

int64_t SQLiteStatement::columnInt64(int column) const {
    return sqlite3_column_int64(handle_, column);
}

// ---- SQLite ----

SQLite::SQLite(const std::string& path) {
    open(path);
}

SQLite::~SQLite() {
    if (db_)
        sqlite3_close(db_);
}

void SQLite::raiseError() {
    int code = sqlite3_errcode(db_);
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    if (code == SQLITE_BUSY)
        throw SQLiteBusyException(message, code);
    throw SQLiteException(message, code);
}

void SQLite::open(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db_) == SQLITE_OK)
        return;
    // A failed open still hands out a handle (it carries the error): release it after reading.
    try {
        raiseError();
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

void SQLite::close() {
    if (sqlite3_close(db_) != SQLITE_OK)
        raiseError();
    db_ = nullptr;
}

int SQLite::changes() const {
    return sqlite3_changes(db_);
}

void SQLite::exec(const std::string& sql) {
    exec(sql, nullptr, nullptr);
}

void SQLite::exec(const std::string& sql, RowCallback callback, void* argument) {
    if (sqlite3_exec(db_, sql.c_str(), callback, argument, nullptr) != SQLITE_OK)
        raiseError();
}

std::unique_ptr<SQLiteStatement> SQLite::prepare(const std::string& sql) {
    sqlite3_stmt* handle = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &handle, nullptr) !=
        SQLITE_OK)
        raiseError();
    return std::make_unique<SQLiteStatement>(*this, handle);
}

} // namespace bryndle
