#include "foundation/sqliteserializer.h"

#include "foundation/sqlite.h"

#include <sqlite3.h>

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

// A value's text as an SQL string literal body: single quotes doubled.
std::string escaped(const Variant& value) {
    std::string text = value.toString();
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out.push_back(c);
        if (c == '\'')
            out.push_back('\'');
    }
    return out;
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
        "insert into " + recordName_ + " values('" + recordName_ + "','" + escaped(*list[0]) + "'";
    for (size_t i = 1; i < list.size(); ++i)
        sql += ", '" + escaped(*list[i]) + "'";
    return sql + ")";
}

std::string SQLiteSerializer::updateSQL(const VArray& values) const {
    requireValues(values.size());
    const auto list = values.values();
    std::string sql = "update " + recordName_ + " set V0='" + escaped(*list[0]) + "'";
    for (size_t i = 1; i < list.size(); ++i)
        sql += ", V" + std::to_string(i) + "= '" + escaped(*list[i]) + "'";
    return sql + " where ID= '" + recordName_ + "'";
}

std::string SQLiteSerializer::deleteSQL() const {
    return "delete from " + recordName_;
}

void SQLiteSerializer::save(const VArray& values) {
    SQLite db(databaseFile_);
    db.begin();
    const std::string create = createTableSQL(values.size());
    const std::string insert = insertSQL(values);
    const std::string update = updateSQL(values);
    std::exception_ptr failure;
    try {
        try {
            db.exec(update);
        } catch (const SQLiteException&) {
            // No table yet: create it with its one row.
            db.exec(create);
            db.exec(insert);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        db.commit();
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    db.close();
    if (failure)
        std::rethrow_exception(failure);
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
                std::string text = statement->fetched() ? statement->columnText(i) : std::string();
                values.push_back(fromString(text));
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
