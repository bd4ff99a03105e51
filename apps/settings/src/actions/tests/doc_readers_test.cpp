#include "actions/doc_readers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace settings::actions {
namespace {

namespace doc = kalu_ui::doc;

// What each reader answers for one key.
struct Reads {
  std::optional<std::string> text = std::nullopt;
  std::optional<std::string> str = std::nullopt;
  std::optional<double> f64 = std::nullopt;
  std::optional<bool> flag = std::nullopt;
  friend bool operator==(const Reads&, const Reads&) = default;
};

Reads read_all(const doc::Document& document, std::string_view key) {
  return {read_doc_text(document, doc::kRoot, key), read_doc_str(document, doc::kRoot, key),
          read_doc_f64(document, doc::kRoot, key), read_doc_bool(document, doc::kRoot, key)};
}

TEST(DocReaders, EachReaderAnswersOnlyItsOwnKind) {
  doc::Document document;
  ASSERT_TRUE(document.put(doc::kRoot, "int", doc::Scalar(std::int64_t{1})));
  ASSERT_TRUE(document.put(doc::kRoot, "unsigned", doc::Scalar(std::uint64_t{1})));
  ASSERT_TRUE(document.put(doc::kRoot, "float", doc::Scalar(1.0)));
  ASSERT_TRUE(document.put(doc::kRoot, "true_text", "true"));
  ASSERT_TRUE(document.put(doc::kRoot, "flag", doc::Scalar(true)));
  ASSERT_TRUE(document.put(doc::kRoot, "null", doc::Scalar(doc::Null{})));
  auto text = document.put_object(doc::kRoot, "text", doc::ObjType::Text);
  ASSERT_TRUE(text);
  ASSERT_TRUE(document.insert_text(*text, 0, "Héllo"));
  auto map = document.put_object(doc::kRoot, "map", doc::ObjType::Map);
  ASSERT_TRUE(map);
  ASSERT_TRUE(document.put(*map, "inner", doc::Scalar(true)));

  const struct {
    const char* key;
    Reads expected;
  } cases[] = {
      {"int", {}},
      {"unsigned", {}},
      {"float", {.f64 = 1.0}},
      {"true_text", {.text = "true", .str = "true"}},
      {"flag", {.flag = true}},
      {"null", {}},
      {"text", {.text = "Héllo"}},
      {"map", {}},
      {"missing", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_all(document, c.key), c.expected) << c.key;
  }
  // Another object than the root, and an object that is not a map.
  EXPECT_EQ(read_doc_bool(document, *map, "inner"), true);
  EXPECT_FALSE(read_doc_bool(document, *text, "inner"));
  EXPECT_FALSE(get_doc_value(document, doc::ObjId{99, {}}, "inner"));

  // The raw value names an object by its id.
  auto value = get_doc_value(document, doc::kRoot, "text");
  ASSERT_TRUE(value);
  EXPECT_EQ(std::get<doc::ObjectRef>(*value), (doc::ObjectRef{doc::ObjType::Text, *text}));
  EXPECT_EQ(get_doc_value(document, doc::kRoot, "float"), doc::Value(doc::Scalar(1.0)));
}

TEST(DocReaders, TakeDocGivesThePanesDocumentThenAnEmptyOne) {
  doc::Document pending;
  ASSERT_TRUE(pending.put(doc::kRoot, "display.brightness", doc::Scalar(0.5)));
  const doc::ActorId actor = pending.actor();

  doc::Document first = take_doc(pending);
  EXPECT_EQ(first.actor(), actor);
  EXPECT_EQ(read_doc_f64(first, doc::kRoot, "display.brightness"), 0.5);

  doc::Document second = take_doc(pending);
  EXPECT_TRUE(second.keys(doc::kRoot).empty());
  EXPECT_TRUE(second.get_heads().empty());
  EXPECT_NE(second.actor(), actor);
}

}  // namespace
}  // namespace settings::actions
