#pragma once

#include "foundation/sqliteserializer.h"

#include <string>

namespace bryndle {

// Base of every window and control that keeps its state as one record in "environ.db",
// named after its own class.
class ControlBase {
public:
    virtual ~ControlBase() = default;

    // Raises the store's error when nothing has been stored for the class yet.
    virtual VArrayPtr load() { return store_.load(); }
    virtual void save(const VArray& record) { store_.save(record); }

protected:
    explicit ControlBase(const std::string& className,
                         const std::string& databaseFile = "environ.db")
        : store_(databaseFile, className) {}
    SQLiteSerializer& store() { return store_; }

private:
    SQLiteSerializer store_;
};

} // namespace bryndle
