#pragma once

#include "foundation/conv.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

namespace bryndle {

class Variant;
class VArray;
using VariantPtr = std::shared_ptr<Variant>;
using VArrayPtr = std::shared_ptr<VArray>;

// A dynamically typed value; values are shared by reference (VariantPtr).
class Variant : public std::enable_shared_from_this<Variant> {
public:
    virtual ~Variant() = default;

    virtual std::string toString() const = 0;
    [[noreturn]] virtual void notImplemented(std::string_view operation) const;
    [[noreturn]] virtual void conversionError(std::string_view message) const;
    // 0 not numeric, 1 integer, 2 real
    virtual int numericKind() const { return 0; }
    bool isNumeric() const { return numericKind() != 0; }
    virtual std::string_view typeOf() const = 0;
    virtual VariantPtr toObject() const;
    virtual int64_t toLong() const;
    virtual long double toReal() const;
    virtual bool toBool() const;
    // At least one of the two must be given (non-null).
    bool toBool(const Variant* trueValue, const Variant* falseValue) const;
    virtual VariantPtr opIndex(const Variant& index);
    virtual VariantPtr opIndexAssign(const VariantPtr& value, const Variant& index);
    virtual VariantPtr opCall(const Variant& argument);
    virtual VariantPtr assign(const Variant& other);

    VariantPtr add(const Variant& b) const;
    VariantPtr sub(const Variant& b) const;
    VariantPtr mul(const Variant& b) const;
    VariantPtr div(const Variant& b) const;
    VariantPtr mod(const Variant& b) const;

    VariantPtr bitAnd(const Variant& b) const;
    VariantPtr bitOr(const Variant& b) const;
    VariantPtr bitXor(const Variant& b) const;
    VariantPtr shiftLeft(const Variant& b) const;
    VariantPtr shiftRight(const Variant& b) const;
    VariantPtr shiftRightUnsigned(const Variant& b) const;
    VariantPtr complement() const;

    VariantPtr increment();
    VariantPtr decrement();
    VariantPtr negate() const;
    VariantPtr plus() const;

    bool equals(const Variant& b) const;
    int compare(const Variant& b) const;
    int compareText(const Variant& b) const;
    VariantPtr concat(const Variant& b) const;

protected:
    Variant() = default;
    // The receiver as a shared value (null when it is not held by one).
    VariantPtr self() { return weak_from_this().lock(); }
};

class VNull : public Variant {
public:
    VNull() = default;
    std::string toString() const override { return {}; }
    std::string_view typeOf() const override { return "VNull"; }
    int64_t toLong() const override { return 0; }
    long double toReal() const override { return 0.0L; }
    bool toBool() const override { return false; }
};

class VLong : public Variant {
public:
    explicit VLong(int64_t value) : value_(value) {}
    std::string toString() const override;
    std::string_view typeOf() const override { return "VLong"; }
    int numericKind() const override { return 1; }
    int64_t toLong() const override { return value_; }
    long double toReal() const override { return static_cast<long double>(value_); }
    bool toBool() const override { return value_ != 0; }
    VariantPtr assign(const Variant& other) override;
    void setValue(int64_t value) { value_ = value; }

private:
    int64_t value_;
};

class VReal : public Variant {
public:
    explicit VReal(long double value) : value_(value) {}
    std::string toString() const override;
    std::string_view typeOf() const override { return "VReal"; }
    int numericKind() const override { return 2; }
    int64_t toLong() const override;
    long double toReal() const override { return value_; }
    bool toBool() const override { return value_ >= 1.0L; }
    VariantPtr assign(const Variant& other) override;
    void setValue(long double value) { value_ = value; }

private:
    long double value_;
};

class VString : public Variant {
public:
    explicit VString(std::string text) : text_(std::move(text)) {}
    std::string toString() const override { return text_; }
    std::string_view typeOf() const override { return "VString"; }
    int numericKind() const override;
    int64_t toLong() const override;
    long double toReal() const override;
    bool toBool() const override { return !text_.empty(); }
    VariantPtr opIndex(const Variant& index) override;
    VariantPtr opIndexAssign(const VariantPtr& value, const Variant& index) override;
    VariantPtr assign(const Variant& other) override;
    void setValue(std::string text) { text_ = std::move(text); }

private:
    std::string text_;
};

class VBool : public Variant {
public:
    explicit VBool(bool value) : value_(value) {}
    std::string toString() const override { return value_ ? "true" : "false"; }
    std::string_view typeOf() const override { return "VBool"; }
    int64_t toLong() const override { return value_ ? 1 : 0; }
    long double toReal() const override { return value_ ? 1.0L : 0.0L; }
    bool toBool() const override { return value_; }
    VariantPtr assign(const Variant& other) override;
    void setValue(bool value) { value_ = value; }

private:
    bool value_;
};

class VArray : public Variant {
public:
    VArray() = default;
    explicit VArray(std::vector<VariantPtr> values) : values_(std::move(values)) {}
    std::string toString() const override;
    std::string_view typeOf() const override { return "VArray"; }
    int numericKind() const override { return 1; }
    int64_t toLong() const override { return static_cast<int64_t>(values_.size()); }
    long double toReal() const override { return static_cast<long double>(values_.size()); }
    VariantPtr opIndex(const Variant& index) override;
    VariantPtr opIndexAssign(const VariantPtr& value, const Variant& index) override;
    VariantPtr assign(const Variant& other) override;
    void setValue(const VArray& other) { values_ = other.values_; }

    // Grows with the shared null value up to index i; a negative i is out of range.
    VariantPtr getAt(int64_t i);
    void setAt(const VariantPtr& value, int64_t i);
    VariantPtr append(const VArray& other);
    VariantPtr pop();
    VariantPtr push(const VariantPtr& value);
    VArrayPtr dup() const;
    std::vector<VariantPtr> values() const { return values_; }
    size_t size() const { return values_.size(); }

private:
    void growTo(int64_t i);
    std::vector<VariantPtr> values_;
};

// The one VNull that grown arrays are filled with; lives for the whole run.
const VariantPtr& sharedNull();

// The narrowest kind the text allows: VNull, VLong, VReal or VString.
VariantPtr fromString(std::string_view text);

// True when the text reads as a real number (see VString::toReal); the value in *out.
bool parseReal(std::string_view text, long double* out);

namespace detail {
[[noreturn]] void unsupportedMakeArrayType(const std::type_info& type);

inline VariantPtr toVariant(int64_t v) {
    return std::make_shared<VLong>(v);
}
inline VariantPtr toVariant(long double v) {
    return std::make_shared<VReal>(v);
}
inline VariantPtr toVariant(double v) {
    return std::make_shared<VReal>(v);
}
inline VariantPtr toVariant(bool v) {
    return std::make_shared<VBool>(v);
}
inline VariantPtr toVariant(const std::string& v) {
    return std::make_shared<VString>(v);
}
inline VariantPtr toVariant(std::string_view v) {
    return std::make_shared<VString>(std::string(v));
}
inline VariantPtr toVariant(const char* v) {
    return std::make_shared<VString>(v);
}
inline VariantPtr toVariant(const VariantPtr& v) {
    return v;
}
template <class T> VariantPtr toVariant(const std::shared_ptr<T>& v) {
    return v;
}
// Any other type: callers must widen integers to 64 bits first.
template <class T> VariantPtr toVariant(const T&) {
    unsupportedMakeArrayType(typeid(T));
}
} // namespace detail

// A VArray of native values: int64_t, real, text, bool or a Variant.
template <class... Args> VArrayPtr makeArray(const Args&... args) {
    return std::make_shared<VArray>(std::vector<VariantPtr>{detail::toVariant(args)...});
}

} // namespace bryndle
