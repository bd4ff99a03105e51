#include "kalu_ui/document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

namespace kalu_ui::doc {
namespace {

ActorId actor_of(std::uint8_t fill) {
  ActorId actor;
  actor.fill(fill);
  return actor;
}

TEST(Document, ScalarsRoundTripWithTheirKinds) {
  struct Case {
    const char* key;
    Scalar value;
    ValueKind kind;
  };
  const Case cases[] = {
      {"null", Null{}, ValueKind::Null},
      {"bool", true, ValueKind::Bool},
      {"int", std::int64_t{-7}, ValueKind::Int},
      {"int.min", std::numeric_limits<std::int64_t>::min(), ValueKind::Int},
      {"uint", std::numeric_limits<std::uint64_t>::max(), ValueKind::Uint},
      {"f64", 0.25, ValueKind::F64},
      {"str", std::string("Ünïcode ✓"), ValueKind::Str},
      {"empty", std::string(), ValueKind::Str},
  };
  Document doc;
  for (const auto& c : cases) ASSERT_TRUE(doc.put(kRoot, c.key, c.value)) << c.key;
  for (const auto& c : cases) {
    auto got = doc.get(kRoot, c.key);
    ASSERT_TRUE(got) << c.key;
    EXPECT_EQ(kind_of(*got), c.kind) << c.key;
    EXPECT_EQ(std::get<Scalar>(*got), c.value) << c.key;
  }
  EXPECT_FALSE(doc.get(kRoot, "missing"));
  EXPECT_EQ(doc.keys(kRoot).size(), std::size(cases));
}

TEST(Document, TypedReadersNeverConvertBetweenKinds) {
  Document doc;
  ASSERT_TRUE(doc.put(kRoot, "int", std::int64_t{1}));
  ASSERT_TRUE(doc.put(kRoot, "float", 1.0));
  ASSERT_TRUE(doc.put(kRoot, "string_true", "true"));
  ASSERT_TRUE(doc.put(kRoot, "flag", false));
  auto text = doc.put_object(kRoot, "field", ObjType::Text);
  ASSERT_TRUE(text);
  ASSERT_TRUE(doc.insert_text(*text, 0, "Office"));

  EXPECT_EQ(doc.read_f64(kRoot, "int"), std::nullopt);
  EXPECT_EQ(doc.read_f64(kRoot, "float"), 1.0);
  EXPECT_EQ(doc.read_i64(kRoot, "float"), std::nullopt);
  EXPECT_EQ(doc.read_i64(kRoot, "int"), 1);
  EXPECT_EQ(doc.read_u64(kRoot, "int"), std::nullopt);
  EXPECT_EQ(doc.read_bool(kRoot, "string_true"), std::nullopt);
  EXPECT_EQ(doc.read_bool(kRoot, "flag"), false);
  EXPECT_EQ(doc.read_text(kRoot, "field"), "Office");
  EXPECT_EQ(doc.read_str(kRoot, "field"), std::nullopt);
  EXPECT_EQ(doc.read_text(kRoot, "string_true"), "true");
  EXPECT_EQ(doc.read_str(kRoot, "string_true"), "true");
  EXPECT_EQ(doc.read_text(kRoot, "int"), std::nullopt);
  EXPECT_EQ(kind_of(*doc.get(kRoot, "field")), ValueKind::Text);
  // A lookup in an object that is not a map is simply nothing.
  EXPECT_EQ(doc.read_text(*text, "x"), std::nullopt);
}

TEST(Document, TextPositionsCountUnicodeScalarValues) {
  Document doc;
  auto id = doc.put_object(kRoot, "t", ObjType::Text);
  ASSERT_TRUE(id);
  ASSERT_TRUE(doc.insert_text(*id, 0, "añ🙂b"));
  EXPECT_EQ(doc.text_length(*id), 4u);
  ASSERT_TRUE(doc.insert_text(*id, 3, "X"));
  EXPECT_EQ(doc.text(*id), "añ🙂Xb");
  ASSERT_TRUE(doc.delete_text(*id, 1, 2));
  EXPECT_EQ(doc.text(*id), "aXb");
  ASSERT_TRUE(doc.splice_text(*id, 1, 1, "—é"));
  EXPECT_EQ(doc.text(*id), "a—éb");
  ASSERT_TRUE(doc.insert_text(*id, 4, "!"));
  EXPECT_EQ(doc.text(*id), "a—éb!");
}

TEST(Document, BadEditsFailAndChangeNothing) {
  Document doc;
  auto text = doc.put_object(kRoot, "t", ObjType::Text);
  auto map = doc.put_object(kRoot, "m", ObjType::Map);
  ASSERT_TRUE(text && map);
  ASSERT_TRUE(doc.insert_text(*text, 0, "abc"));
  const std::size_t pending = doc.pending_ops();

  EXPECT_EQ(doc.insert_text(*text, 4, "x").error(),
            "position 4 is past the end of the text (3 characters)");
  EXPECT_EQ(doc.delete_text(*text, 1, 3).error(),
            "cannot delete 3 characters at position 1: the text has 3");
  EXPECT_FALSE(doc.insert_text(*text, 0, "\xC3"));          // truncated sequence
  EXPECT_FALSE(doc.insert_text(*text, 0, "\xED\xA0\x80"));  // a surrogate
  EXPECT_FALSE(doc.insert_text(*text, 0, "\xC0\xAF"));      // overlong '/'
  EXPECT_FALSE(doc.put(kRoot, "s", Scalar(std::string("\xFF"))));
  EXPECT_FALSE(doc.insert_text(*map, 0, "x"));
  EXPECT_FALSE(doc.put(*text, "k", true));
  EXPECT_FALSE(doc.put(ObjId{999, doc.actor()}, "k", true));
  // An id made by another document names nothing here.
  EXPECT_FALSE(doc.put(ObjId{map->counter, actor_of(9)}, "k", true));

  EXPECT_EQ(doc.text(*text), "abc");
  EXPECT_EQ(doc.pending_ops(), pending);
  EXPECT_FALSE(doc.get(kRoot, "s"));
}

TEST(Document, ReplacingAnObjectDropsEverythingInIt) {
  Document doc;
  auto outer = doc.put_object(kRoot, "outer", ObjType::Map);
  ASSERT_TRUE(outer);
  auto inner = doc.put_object(*outer, "inner", ObjType::Text);
  ASSERT_TRUE(inner);
  ASSERT_TRUE(doc.insert_text(*inner, 0, "x"));
  EXPECT_EQ(to_string(*outer), std::to_string(outer->counter) + "@" + doc.actor_hex());

  ASSERT_TRUE(doc.put(kRoot, "outer", std::int64_t{3}));
  EXPECT_FALSE(doc.put(*outer, "k", true));
  EXPECT_FALSE(doc.text(*inner));

  auto again = doc.put_object(kRoot, "outer", ObjType::Map);
  ASSERT_TRUE(again);
  EXPECT_NE(*again, *outer);
  ASSERT_TRUE(doc.delete_key(kRoot, "outer"));
  EXPECT_FALSE(doc.get(kRoot, "outer"));
  EXPECT_FALSE(doc.put(*again, "k", true));
}

TEST(Document, PendingOperationsAndCommit) {
  Document doc;
  EXPECT_EQ(doc.pending_ops(), 0u);
  EXPECT_EQ(doc.commit(), std::nullopt);
  EXPECT_TRUE(doc.get_heads().empty());

  ASSERT_TRUE(doc.put(kRoot, "a", true));
  ASSERT_TRUE(doc.put(kRoot, "b", 0.5));
  ASSERT_TRUE(doc.put(kRoot, "c", "x"));
  EXPECT_EQ(doc.pending_ops(), 3u);

  // Writing back what a key already holds, and deleting an absent key, are
  // not edits; a changed value is.
  ASSERT_TRUE(doc.put(kRoot, "a", true));
  ASSERT_TRUE(doc.delete_key(kRoot, "nothing"));
  EXPECT_EQ(doc.pending_ops(), 3u);
  ASSERT_TRUE(doc.put(kRoot, "b", -0.5));
  EXPECT_EQ(doc.pending_ops(), 4u);

  auto first = doc.commit();
  ASSERT_TRUE(first);
  EXPECT_EQ(doc.pending_ops(), 0u);
  EXPECT_EQ(doc.get_heads(), std::vector<ChangeHash>{*first});
  EXPECT_EQ(first->to_hex().size(), 64u);
  EXPECT_EQ(first->to_hex().find_first_not_of("0123456789abcdef"), std::string::npos);

  // Every inserted or deleted character is one operation.
  auto text = doc.put_object(kRoot, "t", ObjType::Text);
  ASSERT_TRUE(text);
  ASSERT_TRUE(doc.splice_text(*text, 0, 0, "héllo"));
  ASSERT_TRUE(doc.splice_text(*text, 1, 2, ""));
  EXPECT_EQ(doc.pending_ops(), 1u + 5u + 2u);
  auto heads = doc.get_heads();
  EXPECT_EQ(doc.pending_ops(), 0u);
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_NE(heads[0], *first);
}

TEST(Document, CloneCommitsWithoutTouchingTheOriginal) {
  Document doc;
  ASSERT_TRUE(doc.put(kRoot, "seed", std::int64_t{1}));
  const auto before = doc.get_heads();
  ASSERT_TRUE(doc.put(kRoot, "a", true));
  ASSERT_TRUE(doc.put(kRoot, "b", 2.0));
  ASSERT_TRUE(doc.put(kRoot, "c", "three"));
  ASSERT_EQ(doc.pending_ops(), 3u);

  Document copy = doc.clone();
  EXPECT_EQ(copy.pending_ops(), 3u);
  EXPECT_EQ(copy.actor(), doc.actor());
  const auto effective = copy.get_heads();
  ASSERT_EQ(effective.size(), 1u);
  EXPECT_NE(effective, before);
  EXPECT_EQ(copy.pending_ops(), 0u);

  EXPECT_EQ(doc.pending_ops(), 3u);
  ASSERT_TRUE(copy.put(kRoot, "a", false));
  EXPECT_EQ(doc.read_bool(kRoot, "a"), true);
  // The clone carried the same transaction, so committing the original gives
  // the very change the clone made.
  EXPECT_EQ(doc.get_heads(), effective);
}

TEST(Document, HeadsDependOnActorAndEdits) {
  auto heads_after = [](const ActorId& actor, const char* value) {
    Document doc(actor);
    EXPECT_TRUE(doc.put(kRoot, "display.brightness", 0.5));
    EXPECT_TRUE(doc.put(kRoot, "network.name", value));
    return doc.get_heads();
  };
  EXPECT_EQ(heads_after(actor_of(1), "a"), heads_after(actor_of(1), "a"));
  EXPECT_NE(heads_after(actor_of(1), "a"), heads_after(actor_of(2), "a"));
  EXPECT_NE(heads_after(actor_of(1), "a"), heads_after(actor_of(1), "b"));

  // The same edits split over two commits are another history.
  Document split(actor_of(1));
  ASSERT_TRUE(split.put(kRoot, "display.brightness", 0.5));
  split.commit();
  ASSERT_TRUE(split.put(kRoot, "network.name", "a"));
  EXPECT_NE(split.get_heads(), heads_after(actor_of(1), "a"));
}

TEST(Document, ActorsAndIds) {
  Document a;
  Document b;
  EXPECT_NE(a.actor(), b.actor());
  EXPECT_EQ(a.actor_hex().size(), 32u);
  EXPECT_EQ(a.actor_hex().find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(to_string(kRoot), "Root");
}

TEST(Document, TakingADocumentLeavesAnEmptyOne) {
  Document pane_doc;
  ASSERT_TRUE(pane_doc.put(kRoot, "k", true));
  Document taken = std::exchange(pane_doc, Document());
  EXPECT_EQ(taken.read_bool(kRoot, "k"), true);
  EXPECT_TRUE(pane_doc.keys(kRoot).empty());
  EXPECT_EQ(pane_doc.pending_ops(), 0u);
  ASSERT_TRUE(pane_doc.put(kRoot, "k", false));
}

}  // namespace
}  // namespace kalu_ui::doc
