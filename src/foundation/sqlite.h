#pragma once

#include "foundation/exception.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace bryndle {

// A failing SQLite call: SQLite's message and error code at the time of the failure.
class SQLiteException : public Exception {
public:
    SQLiteException(const std::string& message, int32_t code) : Exception(message), code_(code) {}
    virtual int32_t code() const { return code_; }

private:
    int32_t code_;
};

// SQLITE_BUSY (5): the file is locked by another connection.
class SQLiteBusyException : public SQLiteException {
public:
    using SQLiteException::SQLiteException;
};

// Explicit value kinds for SQLiteStatement::bind.
struct Utf16Text {
    std::u16string_view text;
};
struct Blob {
    const void* data;
    size_t size;
};

class SQLite;

// A prepared statement; belongs to the caller, who finalizes it.
class SQLiteStatement {
public:
    SQLiteStatement(SQLite& owner, sqlite3_stmt* handle) : owner_(owner), handle_(handle) {}
    virtual ~SQLiteStatement();
    SQLiteStatement(const SQLiteStatement&) = delete;
    SQLiteStatement& operator=(const SQLiteStatement&) = delete;

    // Binds the values, in order, to parameters first, first+1, ...
    template <class... Args> void bind(int first, const Args&... values) {
        int n = first;
        (bindOne(n++, values), ...);
    }
    virtual void step();
    virtual bool fetched() const { return fetched_; }
    virtual void reset();
    virtual int dataCount() const;
    virtual int columnCount() const;
    virtual void finalize();

    sqlite3_stmt* handle() const { return handle_; }
    // Column readers for the current row; SQL NULL reads as the empty text or 0.
    std::string columnText(int column) const;
    int32_t columnInt(int column) const;
    int64_t columnInt64(int column) const;

private:
    void bindOne(int n, int64_t v);
    void bindOne(int n, uint64_t v);
    void bindOne(int n, int32_t v);
    void bindOne(int n, uint32_t v);
    void bindOne(int n, int16_t v) { bindOne(n, static_cast<int32_t>(v)); }
    void bindOne(int n, int8_t v) { bindOne(n, static_cast<int32_t>(v)); }
    void bindOne(int n, uint16_t v) { bindOne(n, static_cast<int32_t>(v)); }
    void bindOne(int n, uint8_t v) { bindOne(n, static_cast<int32_t>(v)); }
    void bindOne(int n, long double v) { bindOne(n, static_cast<double>(v)); }
    void bindOne(int n, double v);
    void bindOne(int n, float v) { bindOne(n, static_cast<double>(v)); }
    void bindOne(int n, std::string_view utf8);
    void bindOne(int n, const std::string& utf8) { bindOne(n, std::string_view(utf8)); }
    void bindOne(int n, const char* utf8) { bindOne(n, std::string_view(utf8)); }
    void bindOne(int n, Utf16Text utf16);
    void bindOne(int n, std::u16string_view utf16) { bindOne(n, Utf16Text{utf16}); }
    void bindOne(int n, const std::u16string& utf16) { bindOne(n, Utf16Text{utf16}); }
    void bindOne(int n, Blob blob);
    void bindOne(int n, const std::vector<uint8_t>& bytes) {
        bindOne(n, Blob{bytes.data(), bytes.size()});
    }
    void bindOne(int n, std::nullptr_t);
    void bindOne(int n, std::optional<std::string_view> utf8) {
        utf8 ? bindOne(n, *utf8) : bindOne(n, nullptr);
    }
    void check(int rc);

    SQLite& owner_;
    sqlite3_stmt* handle_;
    bool fetched_ = false;
};

// One SQLite connection; every failing call raises SQLiteException.
class SQLite {
public:
    using RowCallback = int (*)(void* argument, int columns, char** texts, char** names);

    explicit SQLite(const std::string& path);
    virtual ~SQLite();
    SQLite(const SQLite&) = delete;
    SQLite& operator=(const SQLite&) = delete;

    [[noreturn]] virtual void raiseError();
    virtual void open(const std::string& path);
    virtual void close();
    virtual void begin() { exec("BEGIN"); }
    virtual void end() { exec("END"); }
    virtual void rollback() { exec("ROLLBACK"); }
    virtual void commit() { exec("COMMIT"); }
    virtual void exec(const std::string& sql);
    virtual void exec(const std::string& sql, RowCallback callback, void* argument);
    // Rows changed by the last insert, update or delete.
    virtual int changes() const;
    // Compiles the first statement of the text only.
    virtual std::unique_ptr<SQLiteStatement> prepare(const std::string& sql);

    sqlite3* handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

} // namespace bryndle
