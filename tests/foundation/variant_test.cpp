#include "foundation/variant.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace bryndle;

namespace {

VariantPtr S(const std::string& s) {
    return std::make_shared<VString>(s);
}
VariantPtr L(int64_t v) {
    return std::make_shared<VLong>(v);
}
VariantPtr R(long double v) {
    return std::make_shared<VReal>(v);
}
VariantPtr B(bool v) {
    return std::make_shared<VBool>(v);
}

template <class F> std::string errorOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(VariantFromString, GivesTheNarrowestKind) {
    struct Case {
        const char* text;
        const char* kind;
        const char* printed;
    } cases[] = {
        {"", "VNull", ""},         {"12", "VLong", "12"},     {"010", "VLong", "8"},
        {"0x1F", "VLong", "31"},   {"+", "VLong", "0"},       {"-0x10", "VLong", "-16"},
        {"08", "VReal", "8"},      {" 12", "VReal", "12"},    {"1e5", "VReal", "100000"},
        {"2.5", "VReal", "2.5"},   {"12 ", "VString", "12 "}, {"0x", "VString", "0x"},
        {"abc", "VString", "abc"}, {"1e", "VString", "1e"},   {"true", "VString", "true"},
        {"1Fh", "VReal", "31"},    {".", "VReal", "0"},       {"e5", "VReal", "0"},
    };
    for (const auto& c : cases) {
        auto v = fromString(c.text);
        EXPECT_EQ(v->typeOf(), c.kind) << "text '" << c.text << "'";
        EXPECT_EQ(v->toString(), c.printed) << "text '" << c.text << "'";
    }
}

TEST(VariantNumericKind, TextsThatHoldNumbersCountAsReal) {
    EXPECT_EQ(S("")->numericKind(), 1);
    EXPECT_EQ(S("12")->numericKind(), 2);
    EXPECT_EQ(S("0x1F")->numericKind(), 2);
    EXPECT_EQ(S("abc")->numericKind(), 0);
    EXPECT_EQ(std::make_shared<VNull>()->numericKind(), 0);
    EXPECT_EQ(B(true)->numericKind(), 0);
    EXPECT_EQ(std::make_shared<VArray>()->numericKind(), 1);
    // A text that holds a number makes the sum real.
    auto sum = S("12")->add(*L(1));
    EXPECT_EQ(sum->typeOf(), "VReal");
    EXPECT_EQ(sum->toString(), "13");
}

TEST(VariantConversions, EmptyTextIsZeroAsIntegerButNotAReal) {
    EXPECT_EQ(S("")->toLong(), 0);
    EXPECT_EQ(errorOf([] { S("")->toReal(); }), "Error: conversion .toReal");
    EXPECT_EQ(errorOf([] { S("x1")->toLong(); }), "Error: conversion x1.toLong");
    // Overflow inside a text is reported as a conversion of that text.
    EXPECT_EQ(errorOf([] { S("9223372036854775808")->toLong(); }),
              "Error: conversion 9223372036854775808.toLong");
}

TEST(VariantConversions, TruthValues) {
    EXPECT_FALSE(R(0.5)->toBool());
    EXPECT_TRUE(R(1.0)->toBool());
    EXPECT_FALSE(R(-2.0)->toBool());
    EXPECT_FALSE(R(NAN)->toBool());
    EXPECT_TRUE(S("false")->toBool());
    EXPECT_FALSE(S("")->toBool());
    EXPECT_FALSE(std::make_shared<VNull>()->toBool());
    EXPECT_TRUE(L(-1)->toBool());
    EXPECT_EQ(std::make_shared<VNull>()->toString(), "");
    EXPECT_EQ(errorOf([] { std::make_shared<VArray>()->toBool(); }),
              "`VArray' does not implement a Function `toBool'");
}

TEST(VariantConversions, RealsTruncateAndPrintWithSixDigits) {
    EXPECT_EQ(R(2.5)->toLong(), 2);
    EXPECT_EQ(R(-2.5)->toLong(), -2);
    EXPECT_EQ(R(1234567.0)->toString(), "1.23457e+06");
    EXPECT_EQ(R(0.0001)->toString(), "0.0001");
    EXPECT_EQ(R(2.0)->toString(), "2");
    // Out of range and NaN saturate instead of being undefined.
    EXPECT_EQ(R(1e30L)->toLong(), INT64_MAX);
    EXPECT_EQ(R(-1e30L)->toLong(), INT64_MIN);
    EXPECT_EQ(R(NAN)->toLong(), 0);
}

TEST(VariantConversions, TruthAgainstGivenValues) {
    auto yes = S("yes");
    auto no = S("no");
    EXPECT_TRUE(S("yes")->toBool(yes.get(), no.get()));
    EXPECT_FALSE(S("no")->toBool(yes.get(), no.get()));
    EXPECT_EQ(errorOf([&] { S("maybe")->toBool(yes.get(), no.get()); }),
              "Error: conversion `maybe' was not able to be converted to type bool(true = yes, "
              "false = no)");
    EXPECT_TRUE(S("maybe")->toBool(nullptr, no.get()));
    EXPECT_FALSE(S("no")->toBool(nullptr, no.get()));
    EXPECT_FALSE(S("maybe")->toBool(yes.get(), nullptr));
    EXPECT_TRUE(L(1)->toBool(S("1").get(), nullptr));
}

TEST(VariantCompare, ConvertsBeforeComparing) {
    EXPECT_TRUE(L(5)->equals(*S("5.0")));
    EXPECT_EQ(L(5)->compare(*L(7)), -1);
    EXPECT_EQ(R(2.5)->compare(*L(2)), 1);
    EXPECT_EQ(R(NAN)->compare(*L(2)), 0);
    EXPECT_EQ(errorOf([] { S("a")->compare(*S("b")); }), "Error: conversion a.toLong");
    EXPECT_LT(S("a")->compareText(*S("b")), 0);
    EXPECT_GT(S("\xe3\x81\x82")->compareText(*S("z")), 0); // bytes compare unsigned
    EXPECT_EQ(S("ab")->concat(*L(3))->toString(), "ab3");
}

TEST(VariantArithmetic, IntegersWrapAndTruncate) {
    EXPECT_EQ(L(INT64_MAX)->add(*L(1))->toLong(), INT64_MIN);
    EXPECT_EQ(L(-7)->div(*L(2))->toLong(), -3);
    EXPECT_EQ(L(-7)->mod(*L(2))->toLong(), -1);
    EXPECT_EQ(L(INT64_MIN)->div(*L(-1))->toLong(), INT64_MIN);
    EXPECT_EQ(L(INT64_MIN)->mod(*L(-1))->toLong(), 0);
    auto realMod = R(-7.5)->mod(*L(2));
    EXPECT_EQ(realMod->typeOf(), "VReal");
    EXPECT_EQ(realMod->toString(), "-1.5");
    EXPECT_EQ(B(true)->add(*B(true))->toLong(), 2);
}

TEST(VariantArithmetic, IntegerDivisionByZeroIsAConversionError) {
    EXPECT_EQ(errorOf([] { L(5)->div(*L(0)); }), "Error: conversion 5 / 0: division by zero");
    EXPECT_EQ(errorOf([] { L(5)->mod(*S("")); }), "Error: conversion 5 % : division by zero");
    EXPECT_TRUE(std::isinf(static_cast<double>(R(1.0)->div(*L(0))->toReal())));
}

TEST(VariantArithmetic, BitsAndShifts) {
    EXPECT_EQ(L(0b1100)->bitAnd(*L(0b1010))->toLong(), 0b1000);
    EXPECT_EQ(L(0b1100)->bitOr(*L(0b1010))->toLong(), 0b1110);
    EXPECT_EQ(L(0b1100)->bitXor(*L(0b1010))->toLong(), 0b0110);
    EXPECT_EQ(L(1)->shiftLeft(*L(65))->toLong(), 2); // count modulo 64
    EXPECT_EQ(L(-16)->shiftRight(*L(2))->toLong(), -4);
    EXPECT_EQ(L(-1)->shiftRightUnsigned(*L(60))->toLong(), 15);
    EXPECT_EQ(L(0)->complement()->toLong(), -1);
    EXPECT_EQ(R(2.9)->bitOr(*L(0))->typeOf(), "VLong");
}

TEST(VariantArithmetic, UnaryOperationsKeepTheReceiversKind) {
    auto r = R(1.5);
    EXPECT_EQ(r->increment(), r);
    EXPECT_EQ(r->typeOf(), "VReal");
    EXPECT_EQ(r->toString(), "2");
    auto s = S("5");
    s->increment();
    EXPECT_EQ(s->typeOf(), "VString");
    EXPECT_EQ(s->toString(), "6");
    auto l = L(INT64_MIN);
    l->decrement();
    EXPECT_EQ(l->toLong(), INT64_MAX);
    EXPECT_EQ(errorOf([] { std::make_shared<VNull>()->increment(); }),
              "`VNull' does not implement a Function `assign'");
    EXPECT_EQ(S("2.5")->negate()->toString(), "-2.5");
    EXPECT_EQ(L(3)->negate()->typeOf(), "VLong");
    EXPECT_EQ(S("7")->plus()->typeOf(), "VReal");
}

TEST(VariantAssign, ConvertsToTheReceiversKind) {
    auto l = L(1);
    l->assign(*R(2.9));
    EXPECT_EQ(l->toLong(), 2);
    auto b = B(false);
    b->assign(*S("x"));
    EXPECT_TRUE(b->toBool());
    auto a = std::make_shared<VArray>();
    EXPECT_EQ(errorOf([&] { a->assign(*L(1)); }), "Error: conversion VLong.toVArray");
    a->assign(*makeArray(int64_t{1}, int64_t{2}));
    EXPECT_EQ(a->size(), 2u);
}

TEST(VariantIndexing, TextIndexSkipsPositionZero) {
    auto s = S("abc");
    EXPECT_EQ(s->opIndex(*L(0))->typeOf(), "VNull");
    EXPECT_EQ(s->opIndex(*L(1))->toString(), "b");
    EXPECT_EQ(s->opIndex(*L(3))->typeOf(), "VNull");
    s->opIndexAssign(S("XY"), *L(2));
    s->opIndexAssign(S("Q"), *L(0));
    EXPECT_EQ(s->toString(), "abX");
    EXPECT_EQ(errorOf([] { L(1)->opIndex(*L(0)); }),
              "`VLong' does not implement a Function `opIndex'");
    EXPECT_EQ(errorOf([] { L(1)->opCall(*L(0)); }),
              "`VLong' does not implement a Function `opCall'");
    EXPECT_EQ(errorOf([] { L(1)->toObject(); }),
              "`VLong' does not implement a Function `toObject'");
    EXPECT_EQ(errorOf([] { std::make_shared<VNull>()->opIndexAssign(L(1), *L(0)); }),
              "`VNull' does not implement a Function `opIndexAssign'");
}

TEST(VariantArray, GrowsWithTheSharedNull) {
    auto a = makeArray(std::string("a"), int64_t{1});
    auto got = a->getAt(5);
    EXPECT_EQ(a->size(), 6u);
    EXPECT_EQ(got, sharedNull());
    for (int i = 2; i < 6; ++i)
        EXPECT_EQ(a->values()[i], sharedNull());
    EXPECT_THROW(a->getAt(-1), std::out_of_range);
    EXPECT_THROW(a->setAt(L(1), -1), std::out_of_range);
    a->opIndexAssign(L(9), *L(7));
    EXPECT_EQ(a->size(), 8u);
    EXPECT_EQ(a->opIndex(*S("7"))->toLong(), 9);
}

TEST(VariantArray, PrintsJoinedAndCountsAsItsLength) {
    auto a = makeArray(std::string("a"), int64_t{1}, true);
    EXPECT_EQ(a->toString(), "a1true");
    EXPECT_EQ(a->toLong(), 3);
    EXPECT_EQ(a->toReal(), 3.0L);
}

TEST(VariantArray, ListOperationsShareElements) {
    auto element = L(1);
    auto a = makeArray(element);
    auto copy = a->dup();
    copy->push(L(2));
    EXPECT_EQ(a->size(), 1u);
    EXPECT_EQ(copy->values()[0], element); // the list is copied, not the elements
    a->append(*copy);
    EXPECT_EQ(a->size(), 3u);
    EXPECT_EQ(a->pop()->toLong(), 2);
    EXPECT_EQ(a->size(), 2u);
    EXPECT_THROW(std::make_shared<VArray>()->pop(), std::out_of_range);
}

TEST(VariantMakeArray, ConvertsNativeValuesAndRefusesOthers) {
    auto a = makeArray(int64_t{7}, 2.5, std::string("t"), "c", false, L(3));
    ASSERT_EQ(a->size(), 6u);
    const char* kinds[] = {"VLong", "VReal", "VString", "VString", "VBool", "VLong"};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(a->values()[i]->typeOf(), kinds[i]);
    EXPECT_EQ(errorOf([] { makeArray(int{1}); }),
              "`int' does not implement a Function `convert(int)'");
}
