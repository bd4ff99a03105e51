#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "kalu_ui/result.h"

// The state document: the values of every control, under control ids, that
// the toolkit hands to each `sync`. A root map holds scalars, nested maps and
// text objects; edits gather in an open transaction that commit turns into a
// change identified by its SHA-256 hash; heads are the changes nothing builds
// on yet. Single-threaded: it lives on the UI thread.
namespace kalu_ui::doc {

using ActorId = std::array<std::uint8_t, 16>;

// Lower-case hexadecimal text of bytes.
std::string to_hex(const std::uint8_t* bytes, std::size_t size);

// An object's id: the operation that made it (counter and actor). The root map
// has counter 0 and an all-zero actor.
struct ObjId {
  std::uint64_t counter = 0;
  ActorId actor{};

  bool is_root() const { return counter == 0 && actor == ActorId{}; }
  friend auto operator<=>(const ObjId&, const ObjId&) = default;
  friend bool operator==(const ObjId&, const ObjId&) = default;
};

inline constexpr ObjId kRoot{};

// "Root" for the root map, else "<counter>@<actor in hex>".
std::string to_string(const ObjId& id);

struct ChangeHash {
  std::array<std::uint8_t, 32> bytes{};

  std::string to_hex() const { return doc::to_hex(bytes.data(), bytes.size()); }
  friend auto operator<=>(const ChangeHash&, const ChangeHash&) = default;
  friend bool operator==(const ChangeHash&, const ChangeHash&) = default;
};

struct Null {
  friend bool operator==(Null, Null) { return true; }
};

// Integers, unsigned integers and floats are distinct kinds: 1, 1u and 1.0
// are three different values and no reader converts between them.
using Scalar = std::variant<Null, bool, std::int64_t, std::uint64_t, double, std::string>;

enum class ObjType : std::uint8_t { Map, Text };

struct ObjectRef {
  ObjType type = ObjType::Map;
  ObjId id;
  friend bool operator==(const ObjectRef&, const ObjectRef&) = default;
};

// What a key holds: a scalar, or a nested object named by its id.
using Value = std::variant<Scalar, ObjectRef>;

enum class ValueKind : std::uint8_t { Null, Bool, Int, Uint, F64, Str, Map, Text };

ValueKind kind_of(const Value& value);

class Document {
 public:
  // An empty document with a random actor id.
  Document();
  // An empty document with the given actor id.
  explicit Document(const ActorId& actor);

  Document(Document&&) noexcept;
  Document& operator=(Document&&) noexcept;
  ~Document();

  // A deep copy, open transaction included: committing the copy leaves this
  // document and its transaction as they are.
  Document clone() const;

  const ActorId& actor() const { return actor_; }
  std::string actor_hex() const { return to_hex(actor_.data(), actor_.size()); }

  // ---- Reading (current state, pending edits included) ----

  // The value under `key` of map `obj`; none when the key is absent or `obj`
  // is not a map of this document.
  std::optional<Value> get(const ObjId& obj, std::string_view key) const;
  // The keys of map `obj` in byte order; empty when `obj` is not a map.
  std::vector<std::string> keys(const ObjId& obj) const;
  // The whole text of text object `obj`.
  Result<std::string> text(const ObjId& obj) const;
  // The length of text object `obj` in Unicode scalar values.
  Result<std::size_t> text_length(const ObjId& obj) const;

  // Typed readers: a value of exactly that kind under the key, else none.
  std::optional<bool> read_bool(const ObjId& obj, std::string_view key) const;
  std::optional<std::int64_t> read_i64(const ObjId& obj, std::string_view key) const;
  std::optional<std::uint64_t> read_u64(const ObjId& obj, std::string_view key) const;
  std::optional<double> read_f64(const ObjId& obj, std::string_view key) const;
  // Only a string scalar (a text object gives none).
  std::optional<std::string> read_str(const ObjId& obj, std::string_view key) const;
  // A text object's whole text, or a string scalar.
  std::optional<std::string> read_text(const ObjId& obj, std::string_view key) const;

  // ---- Editing (each edit joins the open transaction, opening one) ----

  // Stores a scalar under the key, replacing what was there (a nested object
  // replaced this way is gone with everything in it). Storing the very value
  // the key already holds is no edit at all: it records no operation, so
  // pushing unchanged model values each frame leaves the heads alone.
  Status put(const ObjId& obj, std::string_view key, Scalar value);
  Status put(const ObjId& obj, std::string_view key, const char* text) {
    return put(obj, key, Scalar(std::string(text)));
  }
  // Makes a new empty map or text object under the key (replacing what was
  // there) and answers its id.
  Result<ObjId> put_object(const ObjId& obj, std::string_view key, ObjType type);
  // Removes the key; removing an absent key is no edit.
  Status delete_key(const ObjId& obj, std::string_view key);

  // Text objects; positions and counts are in Unicode scalar values and the
  // inserted text must be valid UTF-8.
  Status insert_text(const ObjId& obj, std::size_t pos, std::string_view text);
  Status delete_text(const ObjId& obj, std::size_t pos, std::size_t count);
  Status splice_text(const ObjId& obj, std::size_t pos, std::size_t del, std::string_view text);

  // ---- Transactions and history ----

  // Operations in the open transaction; 0 when none is open. Every inserted
  // or deleted character counts as one operation.
  std::size_t pending_ops() const { return pending_ops_; }
  // Turns the open transaction into a change and answers its hash; none when
  // nothing is pending.
  std::optional<ChangeHash> commit();
  // Commits pending edits, then answers the hashes of the changes without
  // successors, in byte order.
  std::vector<ChangeHash> get_heads();

 private:
  class Hasher;
  struct Object {
    ObjType type = ObjType::Map;
    std::map<std::string, Value, std::less<>> map;
    std::string text;  // UTF-8
  };

  Document(const Document&);
  Document& operator=(const Document&) = delete;

  Result<Object*> find(const ObjId& obj, ObjType type);
  const Object* find(const ObjId& obj, ObjType type) const;
  const Value* lookup(const ObjId& obj, std::string_view key) const;
  Hasher& begin_op(std::size_t count);
  void replace_value(Object& map, std::string_view key, Value value);
  void drop_object(const ObjectRef& ref);

  ActorId actor_{};
  std::unordered_map<std::uint64_t, Object> objects_;
  std::uint64_t max_op_ = 0;
  std::uint64_t seq_ = 0;
  std::vector<ChangeHash> heads_;
  std::size_t pending_ops_ = 0;
  std::unique_ptr<Hasher> tx_;  // the open transaction's running hash
};

}  // namespace kalu_ui::doc
