#include "foundation/sqliteserializer.h"

#include "foundation/sqlite.h"

#include <sqlite3.h>

#include <cmath>
#include <limits>

namespace bryndle {

namespace {

bool isPlainIdentifier(const std::string& name) {
    if (name.empty())
        return false;
    for (unsigned char c : name) {
        bool ok =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

// A value as an SQL literal. The columns have no declared type, so every value keeps the
// storage class its literal gives: numbers are written as SQL numbers and everything else as a
// quoted text (single quotes doubled), which then loads as text, never as a number it resembles.
std::string literal(const Variant& value) {
    if (dynamic_cast<const VLong*>(&value))
        return value.toString();
    if (dynamic_cast<const VReal*>(&value)) {
        const long double real = value.toReal();
        // inf, nan and values beyond a double have no SQL number literal: they stay texts.
        if (std::isfinite(real) && std::fabs(real) <= std::numeric_limits<double>::max())
            return value.toString();
    }
    std::string text = value.toString();
    std::string out = "'";
    out.reserve(text.size() + 2);
    for (char c : text) {
        out.push_back(c);
        if (c == '\'')
            out.push_back('\'');
    }
    out.push_back('\'');
    return out;
}

// A column of the current row as the kind it was stored with; the empty text is the null value.
VariantPtr columnValue(const SQLiteStatement& statement, int column) {
    switch (sqlite3_column_type(statement.handle(), column)) {
    case SQLITE_INTEGER:
        return std::make_shared<VLong>(statement.columnInt64(column));
    case SQLITE_FLOAT:
        return std::make_shared<VReal>(sqlite3_column_double(statement.handle(), column));
    case SQLITE_NULL:
        return std::make_shared<VNull>();
    default:
        break;
    }
    std::string text = statement.columnText(column);
    if (text.empty())
        return std::make_shared<VNull>();
    return std::make_shared<VString>(std::move(text));
}

// The number of value columns of the record's table, or -1 when there is no such table.
int valueColumns(SQLite& db, const std::string& name) {
    std::unique_ptr<SQLiteStatement> statement;
    try {
        statement = db.prepare("select * from " + name);
    } catch (const SQLiteException&) {
        return -1;
    }
    const int columns = statement->columnCount() - 1;
    statement->finalize();
    return columns;
}

// Writes the record inside the caller's transaction. A table made for another number of values
// is made anew: kept, it could never hold this record (more values) or would load with stale
// columns that every caller refuses (fewer), so the record would never be saved again.
void writeRecord(SQLite& db, const std::string& name, size_t count, const std::string& create,
                 const std::string& insert, const std::string& update) {
    const int columns = valueColumns(db, name);
    if (columns >= 0 && static_cast<size_t>(columns) != count) {
        db.exec("drop table " + name);
    } else if (columns >= 0) {
        db.exec(update);
        if (db.changes() == 0) // the table is there without its row
            db.exec(insert);
        return;
    }
    db.exec(create);
    db.exec(insert);
}

void requireValues(size_t count) {
    if (count == 0)
        throw Exception("a record needs at least one value");
}

} // namespace

SQLiteSerializer::SQLiteSerializer(std::string databaseFile, std::string recordName)
    : databaseFile_(std::move(databaseFile)), recordName_(std::move(recordName)) {
    // The name goes into SQL unquoted; anything but a plain identifier could inject statements.
    if (!isPlainIdentifier(recordName_))
        throw Exception("invalid record name: " + recordName_);
}

std::string SQLiteSerializer::createTableSQL(size_t count) const {
    requireValues(count);
    std::string sql = "create table " + recordName_ + " (ID primary key,V0";
    for (size_t i = 1; i < count; ++i)
        sql += ", V" + std::to_string(i);
    return sql + ");";
}

std::string SQLiteSerializer::insertSQL(const VArray& values) const {
    requireValues(values.size());
    const auto list = values.values();
    std::string sql =
        "insert into " + recordName_ + " values('" + recordName_ + "'," + literal(*list[0]);
    for (size_t i = 1; i < list.size(); ++i)
        sql += ", " + literal(*list[i]);
    return sql + ")";
}

std::string SQLiteSerializer::updateSQL(const VArray& values) const {
    requireValues(values.size());
    const auto list = values.values();
    std::string sql = "update " + recordName_ + " set V0=" + literal(*list[0]);
    for (size_t i = 1; i < list.size(); ++i)
        sql += ", V" + std::to_string(i) + "= " + literal(*list[i]);
    return sql + " where ID= '" + recordName_ + "'";
}

std::string SQLiteSerializer::deleteSQL() const {
    return "delete from " + recordName_;
}

void SQLiteSerializer::save(const VArray& values) {
    const std::string create = createTableSQL(values.size());
    const std::string insert = insertSQL(values);
    const std::string update = updateSQL(values);
    SQLite db(databaseFile_);
    db.begin();
    try {
        writeRecord(db, recordName_, values.size(), create, insert, update);
        db.commit();
    } catch (...) {
        // A save that fails half-way leaves nothing behind, not a table without its row.
        try {
            db.rollback();
        } catch (const SQLiteException&) {
        }
        throw;
    }
    db.close();
}

VArrayPtr SQLiteSerializer::load() {
    SQLite db(databaseFile_);
    std::vector<VariantPtr> values;
    {
        auto statement = db.prepare("select * from " + recordName_);
        std::exception_ptr failure;
        try {
            statement->step();
            const int columns = statement->columnCount();
            for (int i = 1; i < columns; ++i) {
                values.push_back(statement->fetched() ? columnValue(*statement, i)
                                                      : std::make_shared<VNull>());
            }
        } catch (...) {
            failure = std::current_exception();
        }
        statement->finalize();
        if (failure)
            std::rethrow_exception(failure);
    }
    db.close();
    return std::make_shared<VArray>(std::move(values));
}

} // namespace bryndle
