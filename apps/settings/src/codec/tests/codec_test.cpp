#include "codec/codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "codec/tree.h"
#include "kalu_ui/result.h"

namespace fixture {

namespace codec = settings::codec;

enum class Fit { kGood, kTight };
constexpr auto describe(codec::Tag<Fit>) { return codec::names<Fit>("Fit", "good", "tight"); }

struct Endpoint {
  std::string url;
  std::optional<std::uint16_t> port;
  bool secure = true;
  friend bool operator==(const Endpoint&, const Endpoint&) = default;
};
constexpr auto describe(codec::Tag<Endpoint>) {
  return codec::record("Endpoint", codec::field("url", &Endpoint::url),
                       codec::field("port", &Endpoint::port),
                       codec::field_or_default("secure", &Endpoint::secure));
}

struct Strict {
  std::string id;
  std::optional<std::string> by;
  friend bool operator==(const Strict&, const Strict&) = default;
};
constexpr auto describe(codec::Tag<Strict>) {
  return codec::record("Strict", codec::field("id", &Strict::id),
                       codec::field_or_default("by", &Strict::by))
      .deny_unknown_fields();
}

struct ShapeCases {
  struct Dot {
    friend bool operator==(const Dot&, const Dot&) = default;
  };
  struct Line {
    double length = 0;
    Fit fit = Fit::kGood;
    friend bool operator==(const Line&, const Line&) = default;
  };
  struct Label {
    std::string text;
    friend bool operator==(const Label&, const Label&) = default;
  };
};
struct Shape : ShapeCases, std::variant<ShapeCases::Dot, ShapeCases::Line, ShapeCases::Label> {
  using variant::variant;
};
constexpr auto describe(codec::Tag<Shape::Dot>) { return codec::unit<Shape::Dot>("Dot"); }
constexpr auto describe(codec::Tag<Shape::Line>) {
  return codec::record("Line", codec::field("length", &Shape::Line::length),
                       codec::field("fit", &Shape::Line::fit));
}
constexpr auto describe(codec::Tag<Shape::Label>) {
  return codec::newtype("Label", &Shape::Label::text);
}
constexpr auto describe(codec::Tag<Shape>) { return codec::tagged_union("Shape"); }

struct PhaseCases {
  struct Idle {
    friend bool operator==(const Idle&, const Idle&) = default;
  };
  struct Busy {
    std::optional<std::uint8_t> percent;
    std::string message;
    friend bool operator==(const Busy&, const Busy&) = default;
  };
};
struct Phase : PhaseCases, std::variant<PhaseCases::Idle, PhaseCases::Busy> {
  using variant::variant;
};
constexpr auto describe(codec::Tag<Phase::Idle>) { return codec::unit<Phase::Idle>("idle"); }
constexpr auto describe(codec::Tag<Phase::Busy>) {
  return codec::record("busy", codec::field("percent", &Phase::Busy::percent),
                       codec::field("message", &Phase::Busy::message));
}
constexpr auto describe(codec::Tag<Phase>) { return codec::internally_tagged("Phase", "state"); }

struct Holder {
  std::vector<Shape> shapes;
  std::map<std::string, Phase> phases;
  std::array<std::uint8_t, 2> key{};
  float ratio = 0;
  std::int32_t delta = 0;
  friend bool operator==(const Holder&, const Holder&) = default;
};
constexpr auto describe(codec::Tag<Holder>) {
  return codec::record("Holder", codec::field_or_default("shapes", &Holder::shapes),
                       codec::field_or_default("phases", &Holder::phases),
                       codec::field_or_default("key", &Holder::key),
                       codec::field_or_default("ratio", &Holder::ratio),
                       codec::field_or_default("delta", &Holder::delta));
}

// A record whose JSON form its own code reads and writes as a tree.
struct Foreign {
  nlohmann::ordered_json tree;
  friend bool operator==(const Foreign&, const Foreign&) = default;
  static kalu_ui::Result<Foreign> from_json(const nlohmann::ordered_json& tree) {
    if (tree.is_string()) return kalu_ui::fail("strings are refused");
    return Foreign{tree};
  }
  nlohmann::ordered_json to_json() const { return tree; }
};
constexpr auto describe(codec::Tag<Foreign>) { return codec::via_tree<Foreign>(); }

struct Carrier {
  Foreign inner;
  std::uint8_t after = 0;
  friend bool operator==(const Carrier&, const Carrier&) = default;
};
constexpr auto describe(codec::Tag<Carrier>) {
  return codec::record("Carrier", codec::field("inner", &Carrier::inner),
                       codec::field_or_default("after", &Carrier::after));
}

}  // namespace fixture

namespace settings::codec {
namespace {

using fixture::Carrier;
using fixture::Endpoint;
using fixture::Holder;
using fixture::Phase;
using fixture::Shape;
using fixture::Strict;

template <typename T>
std::string refusal(std::string_view text) {
  auto r = from_json<T>(text);
  return r ? std::string("accepted: ") + to_json(*r) : r.error();
}

TEST(CodecFloat, ShortestLayout) {
  const std::pair<double, const char*> cases[] = {
      {1.0, "1.0"},
      {0.5, "0.5"},
      {-0.0, "-0.0"},
      {0.0, "0.0"},
      {1e15, "1000000000000000.0"},
      {1e16, "1e16"},
      {1e20, "1e20"},
      {123456789.125, "123456789.125"},
      {0.00001, "0.00001"},
      {0.000025, "0.000025"},
      {1e-6, "1e-6"},
      {1.5e-7, "1.5e-7"},
      {5e-324, "5e-324"},
      {1.2345678901234568e17, "1.2345678901234568e17"},
      {0.30000001192092896, "0.30000001192092896"},
      {-2.5, "-2.5"},
  };
  for (auto [value, text] : cases) {
    std::string out;
    append_float(out, value);
    EXPECT_EQ(out, text);
    // Every written form reads back to the same value.
    auto back = from_json<double>(out);
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(std::signbit(*back), std::signbit(value));
    EXPECT_EQ(*back, value);
  }
  EXPECT_EQ(to_json(std::numeric_limits<double>::quiet_NaN()), "null");
  EXPECT_EQ(to_json(-std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(to_json(0.3f), "0.30000001192092896");
}

TEST(CodecString, EscapesAndRoundTrip) {
  std::string text = "q\"b\\s/\b\f\n\r\t\x01\x7f\xc3\xa9";
  EXPECT_EQ(to_json(text), R"("q\"b\\s/\b\f\n\r\t\u0001)"
                           "\x7f\xc3\xa9\"");
  EXPECT_EQ(from_json<std::string>(to_json(text)).value(), text);
  EXPECT_EQ(from_json<std::string>(R"("\u0041\ud83d\ude00\/")").value(), "A\xF0\x9F\x98\x80/");
}

TEST(CodecSyntax, RefusalsCarryPositions) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "EOF while parsing a value at line 1 column 0"},
      {" ", "EOF while parsing a value at line 1 column 1"},
      {"\"ab", "EOF while parsing a string at line 1 column 3"},
      {"\"a\x01\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
      {"\"\\q\"", "invalid escape at line 1 column 3"},
      {"\"\\ud83d\"", "unexpected end of hex escape at line 1 column 8"},
      {"\"\\ude00\"", "lone leading surrogate in hex escape at line 1 column 7"},
      {"\"\\u12G4\"", "invalid escape at line 1 column 7"},
      {"\"\xff\"", "invalid unicode code point at line 1 column 3"},
      {"\"\xc0\xaf\"", "invalid unicode code point at line 1 column 4"},
      {"\"\xed\xa0\x80\"", "invalid unicode code point at line 1 column 5"},
      {"\"a\" x", "trailing characters at line 1 column 5"},
      {"\n\n  5", "invalid type: integer `5`, expected a string at line 3 column 3"},
      {"nul", "EOF while parsing a value at line 1 column 3"},
      {"nulx", "expected ident at line 1 column 4"},
  };
  for (auto [text, message] : cases) EXPECT_EQ(refusal<std::string>(text), message) << text;
}

TEST(CodecNumbers, TypesAndRanges) {
  EXPECT_EQ(refusal<std::uint8_t>("256"),
            "invalid value: integer `256`, expected u8 at line 1 column 3");
  EXPECT_EQ(refusal<std::uint16_t>("1.0"),
            "invalid type: floating point `1.0`, expected u16 at line 1 column 3");
  EXPECT_EQ(refusal<std::uint64_t>("-0"),
            "invalid type: floating point `-0.0`, expected u64 at line 1 column 2");
  EXPECT_EQ(
      refusal<std::uint64_t>("18446744073709551616"),
      "invalid type: floating point `1.8446744073709552e19`, expected u64 at line 1 column 20");
  EXPECT_EQ(
      refusal<std::int64_t>("-9223372036854775809"),
      "invalid type: floating point `-9.223372036854776e18`, expected i64 at line 1 column 20");
  EXPECT_EQ(refusal<std::int32_t>("-2147483649"),
            "invalid value: integer `-2147483649`, expected i32 at line 1 column 11");
  EXPECT_EQ(refusal<double>("1e400"), "number out of range at line 1 column 5");
  EXPECT_EQ(refusal<double>("01"), "invalid number at line 1 column 2");
  EXPECT_EQ(refusal<double>("1."), "EOF while parsing a value at line 1 column 2");
  EXPECT_EQ(refusal<double>("-x"), "invalid number at line 1 column 2");
  EXPECT_EQ(refusal<double>("true"),
            "invalid type: boolean `true`, expected f64 at line 1 column 4");
  EXPECT_EQ(from_json<float>("1e300").value(), std::numeric_limits<float>::infinity());
  // A 32-bit field names its own type, and rounds to nearest before it saturates.
  EXPECT_EQ(refusal<float>("\"x\""), "invalid type: string \"x\", expected f32 at line 1 column 3");
  EXPECT_EQ(from_json<float>("3.4028235e38").value(), std::numeric_limits<float>::max());
  EXPECT_EQ(from_json<float>("-3.4028235e38").value(), -std::numeric_limits<float>::max());
  EXPECT_EQ(from_json<float>("3.40282357e38").value(), std::numeric_limits<float>::infinity());
  EXPECT_EQ(from_json<double>("1e-400").value(), 0.0);
  EXPECT_TRUE(std::signbit(from_json<double>("-1e-400").value()));
  EXPECT_EQ(from_json<double>("-0").value(), 0.0);
  EXPECT_EQ(from_json<std::int64_t>("-9223372036854775808").value(),
            std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(from_json<std::uint64_t>("18446744073709551615").value(),
            std::numeric_limits<std::uint64_t>::max());
}

TEST(CodecRecord, OptionalDefaultedAndSkippedFields) {
  auto e = from_json<Endpoint>(R"({"x":[1e999,{"a":[]}],"url":"u","y":"\ud800"})");
  ASSERT_TRUE(e) << e.error();
  EXPECT_EQ(*e, (Endpoint{"u", std::nullopt, true}));
  EXPECT_EQ(to_json(*e), R"({"url":"u","port":null,"secure":true})");
  // Array form: a defaulted trailing field may be left off, an optional one may not.
  EXPECT_EQ(from_json<Endpoint>(R"(["u",8080])").value(), (Endpoint{"u", 8080, true}));
  EXPECT_EQ(refusal<Endpoint>(R"(["u"])"),
            "invalid length 1, expected struct Endpoint with 3 elements at line 1 column 5");
  EXPECT_EQ(refusal<Endpoint>(R"(["u",null,false,1])"), "trailing characters at line 1 column 17");
  // null only where the type allows it.
  EXPECT_EQ(refusal<Endpoint>(R"({"url":"u","secure":null})"),
            "invalid type: null, expected a boolean at line 1 column 24");
  EXPECT_EQ(refusal<Endpoint>(R"({"port":1})"), "missing field `url` at line 1 column 10");
  EXPECT_EQ(refusal<Endpoint>(R"({"url":"a","url":"b"})"),
            "duplicate field `url` at line 1 column 16");
  EXPECT_EQ(refusal<Endpoint>("5"),
            "invalid type: integer `5`, expected struct Endpoint at line 1 column 1");
  EXPECT_EQ(refusal<Strict>(R"({"id":"a","zz":1})"),
            "unknown field `zz`, expected `id` or `by` at line 1 column 14");
  EXPECT_EQ(from_json<Strict>(R"(["a"])").value(), (Strict{"a", std::nullopt}));
}

TEST(CodecUnion, ExternalForms) {
  EXPECT_EQ(from_json<Shape>(R"({"Dot":null})").value(), Shape(Shape::Dot{}));
  EXPECT_EQ(to_json(Shape(Shape::Dot{})), R"("Dot")");
  EXPECT_EQ(to_json(Shape(Shape::Line{2, fixture::Fit::kTight})),
            R"({"Line":{"length":2.0,"fit":"tight"}})");
  EXPECT_EQ(to_json(Shape(Shape::Label{"x"})), R"({"Label":"x"})");
  EXPECT_EQ(from_json<Shape>(R"({"Line":[1,{"tight":null}]})").value(),
            Shape(Shape::Line{1, fixture::Fit::kTight}));
  const std::pair<const char*, const char*> cases[] = {
      {R"("Line")", "invalid type: unit variant, expected struct variant"},
      {R"("Label")", "invalid type: unit variant, expected newtype variant"},
      {R"("Blob")",
       "unknown variant `Blob`, expected one of `Dot`, `Line`, `Label` at line 1 column 6"},
      {R"({"Line":{"length":1,"fit":"Good"}})",
       "unknown variant `Good`, expected `good` or `tight` at line 1 column 32"},
      {R"({"Line":{"length":1,"fit":5}})", "expected value at line 1 column 27"},
      {R"({"Dot":{}})", "invalid type: map, expected unit at line 1 column 7"},
      {R"({"Dot":null,"Line":1})", "expected value at line 1 column 11"},
      {R"({})", "expected value at line 1 column 2"},
      {R"([1])", "expected value at line 1 column 1"},
      {R"({1:2})", "invalid type: integer `1`, expected variant identifier at line 1 column 2"},
      {R"({"Label":5})", "invalid type: integer `5`, expected a string at line 1 column 10"},
  };
  for (auto [text, message] : cases) EXPECT_EQ(refusal<Shape>(text), message) << text;
}

TEST(CodecUnion, InternallyTagged) {
  EXPECT_EQ(from_json<Phase>(R"({"message":"m","x":[{}],"state":"busy"})").value(),
            Phase(Phase::Busy{std::nullopt, "m"}));
  EXPECT_EQ(from_json<Phase>(R"(["busy",7,"m"])").value(), Phase(Phase::Busy{7, "m"}));
  EXPECT_EQ(from_json<Phase>(R"({"state":"idle","other":1})").value(), Phase(Phase::Idle{}));
  EXPECT_EQ(to_json(Phase(Phase::Busy{3, "m"})), R"({"state":"busy","percent":3,"message":"m"})");
  EXPECT_EQ(refusal<Phase>(R"({"message":"m"})"), "missing field `state` at line 1 column 15");
  EXPECT_EQ(refusal<Phase>(R"({"state":"gone"})"),
            "unknown variant `gone`, expected `idle` or `busy` at line 1 column 15");
  EXPECT_EQ(refusal<Phase>(R"({"state":"busy","percent":300,"message":"m"})"),
            "invalid value: integer `300`, expected u8 at line 1 column 29");
}

TEST(CodecContainers, ReadWritePrettyAndTree) {
  Holder h;
  h.shapes = {Shape::Dot{}, Shape::Label{"a"}};
  h.phases["p"] = Phase::Idle{};
  h.key = {1, 255};
  h.ratio = 0.5f;
  h.delta = -3;
  const std::string compact = to_json(h);
  EXPECT_EQ(compact,
            R"({"shapes":["Dot",{"Label":"a"}],"phases":{"p":{"state":"idle"}},"key":[1,255],)"
            R"("ratio":0.5,"delta":-3})");
  EXPECT_EQ(from_json<Holder>(compact).value(), h);
  EXPECT_EQ(to_json_pretty(h),
            "{\n  \"shapes\": [\n    \"Dot\",\n    {\n      \"Label\": \"a\"\n    }\n  ],\n"
            "  \"phases\": {\n    \"p\": {\n      \"state\": \"idle\"\n    }\n  },\n"
            "  \"key\": [\n    1,\n    255\n  ],\n  \"ratio\": 0.5,\n  \"delta\": -3\n}");
  EXPECT_EQ(to_json_pretty(Holder{}).substr(0, 33), "{\n  \"shapes\": [],\n  \"phases\": {},");
  EXPECT_EQ(to_tree(h).dump(), compact);
  EXPECT_EQ(from_json<Holder>("{}").value(), Holder{});
  EXPECT_EQ(refusal<Holder>(R"({"key":[1]})"),
            "invalid length 1, expected an array of length 2 at line 1 column 10");
  EXPECT_EQ(refusal<Holder>(R"({"shapes":[ "Dot", ]})"), "trailing comma at line 1 column 20");
  EXPECT_EQ(refusal<Holder>(R"({"phases":[]})"),
            "invalid type: sequence, expected a map at line 1 column 10");
}

TEST(CodecViaTree, CarriesAForeignTreeAsItIs) {
  const std::string compact =
      R"({"inner":{"z":[1,-2,1.5,"x\n",null,true,{"b":{}}],"a":18446744073709551615},"after":3})";
  auto read = from_json<Carrier>(compact);
  ASSERT_TRUE(read.has_value()) << read.error();
  EXPECT_EQ(read->inner.tree["a"].get<std::uint64_t>(), 18446744073709551615u);
  EXPECT_EQ(to_json(*read), compact);
  EXPECT_EQ(to_tree(*read).dump(), compact);
  EXPECT_EQ(to_json_pretty(Carrier{}), "{\n  \"inner\": null,\n  \"after\": 0\n}");
  EXPECT_EQ(refusal<Carrier>(R"({"inner":{"a":{"b":1,"b":2}}})"),
            "duplicate field `b` at line 1 column 24");
  EXPECT_EQ(refusal<Carrier>(R"({"inner":"s"})"), "strings are refused at line 1 column 13");
  EXPECT_EQ(refusal<Carrier>(R"({"inner":[1,}})"), "expected value at line 1 column 13");
  const std::string deep = R"({"inner":)" + std::string(200, '[') + std::string(200, ']') + "}";
  EXPECT_EQ(refusal<Carrier>(deep), "recursion limit exceeded at line 1 column 136");
}

TEST(CodecDepth, DeeplyNestedUnknownMemberIsSkippedWithoutRecursion) {
  std::string deep =
      R"({"url":"u","x":)" + std::string(100000, '[') + std::string(100000, ']') + "}";
  EXPECT_TRUE(from_json<Endpoint>(deep));
  std::string open = R"({"url":"u","x":)" + std::string(100000, '[');
  EXPECT_EQ(refusal<Endpoint>(open), "EOF while parsing a value at line 1 column 100015");
}

}  // namespace
}  // namespace settings::codec
