#include "lib/text_object.h"

#include <gtest/gtest.h>

namespace settings::lib {
namespace {

namespace doc = kalu_ui::doc;

TEST(SeedTextObject, PlainTextBecomesATextObjectOnce) {
  doc::Document document;
  ASSERT_TRUE(document.put(doc::kRoot, "accounts.form.name", "Office"));
  auto first = seed_text_object(document, doc::kRoot, "accounts.form.name");
  ASSERT_TRUE(first);
  EXPECT_EQ(doc::kind_of(*document.get(doc::kRoot, "accounts.form.name")), doc::ValueKind::Text);
  EXPECT_EQ(document.text(*first), "Office");

  // A second call keeps the object and whatever was typed into it.
  ASSERT_TRUE(document.insert_text(*first, 6, " 2"));
  auto second = seed_text_object(document, doc::kRoot, "accounts.form.name");
  EXPECT_EQ(second, first);
  EXPECT_EQ(document.read_text(doc::kRoot, "accounts.form.name"), "Office 2");
}

TEST(SeedTextObject, AnythingButPlainTextStartsEmpty) {
  doc::Document document;
  ASSERT_TRUE(document.put(doc::kRoot, "number", std::int64_t{42}));
  ASSERT_TRUE(document.put(doc::kRoot, "empty", ""));
  ASSERT_TRUE(document.put_object(doc::kRoot, "map", doc::ObjType::Map));
  for (const char* key : {"number", "empty", "map", "absent"}) {
    auto id = seed_text_object(document, doc::kRoot, key);
    ASSERT_TRUE(id) << key;
    EXPECT_EQ(document.text(*id), "") << key;
    EXPECT_EQ(doc::kind_of(*document.get(doc::kRoot, key)), doc::ValueKind::Text) << key;
  }
}

TEST(SeedTextObject, ParentThatIsNotAMapIsAnError) {
  doc::Document document;
  auto text = document.put_object(doc::kRoot, "t", doc::ObjType::Text);
  ASSERT_TRUE(text);
  auto seeded = seed_text_object(document, *text, "k");
  ASSERT_FALSE(seeded);
  EXPECT_TRUE(seeded.error().starts_with("seed a Text object for an editable field: "));
}

}  // namespace
}  // namespace settings::lib
