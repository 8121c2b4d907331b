#include "foundation/variant.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cxxabi.h>
#include <limits>
#include <locale.h>
#include <stdexcept>

namespace bryndle {

namespace {

// Number texts are always read in the C locale, whatever the interface has set.
locale_t cLocale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

size_t skipWhile(std::string_view s, size_t i, bool (*pred)(char)) {
    while (i < s.size() && pred(s[i]))
        ++i;
    return i;
}

// digits* ['.' digits*] [(e|E) [sign] digits+], covering the whole text.
bool scanDecimal(std::string_view s, bool* hasDigits) {
    size_t i = skipWhile(s, 0, isDigit);
    *hasDigits = i > 0;
    if (i < s.size() && s[i] == '.') {
        size_t j = skipWhile(s, i + 1, isDigit);
        *hasDigits = *hasDigits || j > i + 1;
        i = j;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        size_t j = skipWhile(s, i, isDigit);
        if (j == i)
            return false;
        i = j;
    }
    return i == s.size() && !s.empty();
}

// "0x" hexdigits ['.' hexdigits] [(p|P) [sign] digits+], covering the whole text.
bool scanHexPrefixed(std::string_view s) {
    if (s.size() < 3 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X'))
        return false;
    size_t i = skipWhile(s, 2, isHexDigit);
    bool digits = i > 2;
    if (i < s.size() && s[i] == '.') {
        size_t j = skipWhile(s, i + 1, isHexDigit);
        digits = digits || j > i + 1;
        i = j;
    }
    if (!digits)
        return false;
    if (i < s.size() && (s[i] == 'p' || s[i] == 'P')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        size_t j = skipWhile(s, i, isDigit);
        if (j == i)
            return false;
        i = j;
    }
    return i == s.size();
}

long double strtoldC(const std::string& s) {
    return strtold_l(s.c_str(), nullptr, cLocale());
}

struct DivisionByZero {};

int64_t wrapAdd(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
int64_t wrapSub(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}
int64_t wrapMul(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b));
}

int64_t wrapDiv(int64_t a, int64_t b) {
    if (b == 0)
        throw DivisionByZero{};
    if (b == -1)
        return wrapSub(0, a);
    return a / b;
}

int64_t wrapMod(int64_t a, int64_t b) {
    if (b == 0)
        throw DivisionByZero{};
    if (b == -1)
        return 0;
    return a % b;
}

template <class IntOp, class RealOp>
VariantPtr arithmetic(const Variant& a, const Variant& b, const char* symbol, IntOp intOp,
                      RealOp realOp) {
    if (a.numericKind() == 2 || b.numericKind() == 2) {
        long double x = a.toReal();
        return std::make_shared<VReal>(realOp(x, b.toReal()));
    }
    int64_t x = a.toLong();
    int64_t y = b.toLong();
    try {
        return std::make_shared<VLong>(intOp(x, y));
    } catch (const DivisionByZero&) {
        throw ConvError(a.toString() + " " + symbol + " " + b.toString() + ": division by zero");
    }
}

} // namespace

bool parseReal(std::string_view text, long double* out) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string_view rest = text.substr(i);
    long double value;
    bool hasDigits = false;
    if (scanHexPrefixed(rest)) {
        value = strtoldC(std::string(rest));
    } else if (scanDecimal(rest, &hasDigits)) {
        value = hasDigits ? strtoldC(std::string(rest)) : 0.0L;
    } else if (rest.size() >= 2 && rest.back() == 'h' &&
               skipWhile(rest, 0, isHexDigit) == rest.size() - 1) {
        value = 0.0L;
        for (char c : rest.substr(0, rest.size() - 1)) {
            int d = isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
            value = value * 16 + d;
        }
    } else {
        return false;
    }
    if (out)
        *out = negative ? -value : value;
    return true;
}

// ---- Variant base ----

void Variant::notImplemented(std::string_view operation) const {
    throw NotImplemented(typeOf(), operation);
}

void Variant::conversionError(std::string_view message) const {
    throw ConvError(message);
}

VariantPtr Variant::toObject() const {
    throw NotImplemented(typeOf(), "toObject");
}
int64_t Variant::toLong() const {
    throw NotImplemented(typeOf(), "(toLong|toReal)");
}
long double Variant::toReal() const {
    return static_cast<long double>(toLong());
}
bool Variant::toBool() const {
    throw NotImplemented(typeOf(), "toBool");
}

bool Variant::toBool(const Variant* trueValue, const Variant* falseValue) const {
    if (!trueValue && !falseValue)
        throw std::invalid_argument("toBool needs a true value or a false value");
    const std::string text = toString();
    if (!trueValue)
        return text != falseValue->toString();
    if (!falseValue)
        return text == trueValue->toString();
    const std::string t = trueValue->toString();
    const std::string f = falseValue->toString();
    if (text == t)
        return true;
    if (text == f)
        return false;
    throw ConvError("`" + text + "' was not able to be converted to type bool(true = " + t +
                    ", false = " + f + ")");
}

VariantPtr Variant::opIndex(const Variant&) {
    throw NotImplemented(typeOf(), "opIndex");
}
VariantPtr Variant::opIndexAssign(const VariantPtr&, const Variant&) {
    throw NotImplemented(typeOf(), "opIndexAssign");
}
VariantPtr Variant::opCall(const Variant&) {
    throw NotImplemented(typeOf(), "opCall");
}
VariantPtr Variant::assign(const Variant&) {
    throw NotImplemented(typeOf(), "assign");
}

VariantPtr Variant::add(const Variant& b) const {
    return arithmetic(*this, b, "+", wrapAdd, [](long double x, long double y) { return x + y; });
}
VariantPtr Variant::sub(const Variant& b) const {
    return arithmetic(*this, b, "-", wrapSub, [](long double x, long double y) { return x - y; });
}
VariantPtr Variant::mul(const Variant& b) const {
    return arithmetic(*this, b, "*", wrapMul, [](long double x, long double y) { return x * y; });
}
VariantPtr Variant::div(const Variant& b) const {
    return arithmetic(*this, b, "/", wrapDiv, [](long double x, long double y) { return x / y; });
}
VariantPtr Variant::mod(const Variant& b) const {
    return arithmetic(*this, b, "%", wrapMod,
                      [](long double x, long double y) { return fmodl(x, y); });
}

VariantPtr Variant::bitAnd(const Variant& b) const {
    int64_t x = toLong();
    return std::make_shared<VLong>(x & b.toLong());
}
VariantPtr Variant::bitOr(const Variant& b) const {
    int64_t x = toLong();
    return std::make_shared<VLong>(x | b.toLong());
}
VariantPtr Variant::bitXor(const Variant& b) const {
    int64_t x = toLong();
    return std::make_shared<VLong>(x ^ b.toLong());
}
VariantPtr Variant::shiftLeft(const Variant& b) const {
    uint64_t x = static_cast<uint64_t>(toLong());
    return std::make_shared<VLong>(static_cast<int64_t>(x << (b.toLong() & 63)));
}
VariantPtr Variant::shiftRight(const Variant& b) const {
    int64_t x = toLong();
    return std::make_shared<VLong>(x >> (b.toLong() & 63));
}
VariantPtr Variant::shiftRightUnsigned(const Variant& b) const {
    uint64_t x = static_cast<uint64_t>(toLong());
    return std::make_shared<VLong>(static_cast<int64_t>(x >> (b.toLong() & 63)));
}
VariantPtr Variant::complement() const {
    return std::make_shared<VLong>(~toLong());
}

VariantPtr Variant::increment() {
    assign(VLong(wrapAdd(toLong(), 1)));
    return self();
}
VariantPtr Variant::decrement() {
    assign(VLong(wrapSub(toLong(), 1)));
    return self();
}
VariantPtr Variant::negate() const {
    if (numericKind() == 2)
        return std::make_shared<VReal>(-toReal());
    return std::make_shared<VLong>(wrapSub(0, toLong()));
}
VariantPtr Variant::plus() const {
    if (numericKind() == 2)
        return std::make_shared<VReal>(toReal());
    return std::make_shared<VLong>(toLong());
}

bool Variant::equals(const Variant& b) const {
    return compare(b) == 0;
}

int Variant::compare(const Variant& b) const {
    if (numericKind() == 2 || b.numericKind() == 2) {
        long double x = toReal();
        long double y = b.toReal();
        if (std::isnan(x) || std::isnan(y))
            return 0;
        return x > y ? 1 : (x < y ? -1 : 0);
    }
    int64_t x = toLong();
    int64_t y = b.toLong();
    return x > y ? 1 : (x < y ? -1 : 0);
}

int Variant::compareText(const Variant& b) const {
    int c = toString().compare(b.toString());
    return c > 0 ? 1 : (c < 0 ? -1 : 0);
}

VariantPtr Variant::concat(const Variant& b) const {
    return std::make_shared<VString>(toString() + b.toString());
}

// ---- kinds ----

std::string VLong::toString() const {
    return std::to_string(value_);
}

VariantPtr VLong::assign(const Variant& other) {
    value_ = other.toLong();
    return self();
}

std::string VReal::toString() const {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value_, std::chars_format::general, 6);
    return std::string(buffer, result.ptr);
}

int64_t VReal::toLong() const {
    // Truncation toward zero; NaN and values beyond the range saturate instead of being undefined.
    if (std::isnan(value_))
        return 0;
    if (value_ >= 9223372036854775807.0L)
        return std::numeric_limits<int64_t>::max();
    if (value_ <= -9223372036854775808.0L)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value_);
}

VariantPtr VReal::assign(const Variant& other) {
    value_ = other.toReal();
    return self();
}

int VString::numericKind() const {
    if (parseReal(text_, nullptr))
        return 2;
    if (text_.empty())
        return 1;
    try {
        parseLong(text_);
        return 1;
    } catch (const std::exception&) {
        return 0;
    }
}

int64_t VString::toLong() const {
    try {
        return parseLong(text_);
    } catch (const std::exception&) {
        throw ConvError(text_ + ".toLong");
    }
}

long double VString::toReal() const {
    long double value;
    if (!parseReal(text_, &value))
        throw ConvError(text_ + ".toReal");
    return value;
}

VariantPtr VString::opIndex(const Variant& index) {
    int64_t i = index.toLong();
    if (i >= 1 && i < static_cast<int64_t>(text_.size()))
        return std::make_shared<VString>(std::string(1, text_[static_cast<size_t>(i)]));
    return std::make_shared<VNull>();
}

VariantPtr VString::opIndexAssign(const VariantPtr& value, const Variant& index) {
    int64_t i = index.toLong();
    if (i >= 1 && i < static_cast<int64_t>(text_.size())) {
        std::string replacement = value->toString();
        if (!replacement.empty())
            text_[static_cast<size_t>(i)] = replacement.front();
    }
    return self();
}

VariantPtr VString::assign(const Variant& other) {
    text_ = other.toString();
    return self();
}

VariantPtr VBool::assign(const Variant& other) {
    value_ = other.toBool();
    return self();
}

std::string VArray::toString() const {
    std::string out;
    for (const auto& v : values_)
        out += v->toString();
    return out;
}

VariantPtr VArray::opIndex(const Variant& index) {
    return getAt(static_cast<int32_t>(index.toLong()));
}

VariantPtr VArray::opIndexAssign(const VariantPtr& value, const Variant& index) {
    setAt(value, static_cast<int32_t>(index.toLong()));
    return self();
}

VariantPtr VArray::assign(const Variant& other) {
    const auto* array = dynamic_cast<const VArray*>(&other);
    if (!array)
        throw ConvError(std::string(other.typeOf()) + ".toVArray");
    values_ = array->values_;
    return self();
}

void VArray::growTo(int64_t i) {
    if (i < 0)
        throw std::out_of_range("VArray index " + std::to_string(i) + " out of range");
    while (static_cast<int64_t>(values_.size()) <= i)
        values_.push_back(sharedNull());
}

VariantPtr VArray::getAt(int64_t i) {
    growTo(i);
    return values_[static_cast<size_t>(i)];
}

void VArray::setAt(const VariantPtr& value, int64_t i) {
    growTo(i);
    values_[static_cast<size_t>(i)] = value;
}

VariantPtr VArray::append(const VArray& other) {
    std::vector<VariantPtr> added = other.values_;
    values_.insert(values_.end(), added.begin(), added.end());
    return self();
}

VariantPtr VArray::pop() {
    if (values_.empty())
        throw std::out_of_range("pop of an empty VArray");
    VariantPtr last = values_.back();
    values_.pop_back();
    return last;
}

VariantPtr VArray::push(const VariantPtr& value) {
    values_.push_back(value);
    return value;
}

VArrayPtr VArray::dup() const {
    return std::make_shared<VArray>(values_);
}

// ---- free functions ----

const VariantPtr& sharedNull() {
    static const VariantPtr null = std::make_shared<VNull>();
    return null;
}

VariantPtr fromString(std::string_view text) {
    if (text.empty())
        return std::make_shared<VNull>();
    try {
        return std::make_shared<VLong>(parseLong(text));
    } catch (const std::exception&) {
    }
    long double real;
    if (parseReal(text, &real))
        return std::make_shared<VReal>(real);
    return std::make_shared<VString>(std::string(text));
}

void detail::unsupportedMakeArrayType(const std::type_info& type) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : type.name();
    std::free(demangled);
    throw NotImplemented(name, "convert(" + name + ")");
}

} // namespace bryndle
