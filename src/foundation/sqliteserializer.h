#pragma once

#include "foundation/variant.h"

#include <string>

namespace bryndle {

// Keeps one named record (a VArray of values) as the single row of a table of that name.
class SQLiteSerializer {
public:
    // The name must be a plain identifier (letters, digits, underscore): it is written into SQL.
    SQLiteSerializer(std::string databaseFile, std::string recordName);
    virtual ~SQLiteSerializer() = default;

    virtual std::string createTableSQL(size_t count) const;
    virtual std::string insertSQL(const VArray& values) const;
    virtual std::string updateSQL(const VArray& values) const;
    virtual std::string deleteSQL() const;
    virtual void save(const VArray& values);
    virtual VArrayPtr load();

    const std::string& databaseFile() const { return databaseFile_; }
    const std::string& recordName() const { return recordName_; }

private:
    std::string databaseFile_;
    std::string recordName_;
};

} // namespace bryndle
