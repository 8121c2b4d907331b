#pragma once

#include <QMetaType>

#include <cstdint>

namespace bryndle {

// A boxed integer, carried in menu entries to tell them apart.
class WrapperObject {
public:
    explicit WrapperObject(int32_t value = 0) : value_(value) {}
    int32_t value() const { return value_; }

private:
    int32_t value_;
};

} // namespace bryndle

Q_DECLARE_METATYPE(bryndle::WrapperObject)
