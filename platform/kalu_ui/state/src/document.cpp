#include "kalu_ui/document.h"

#include <fmt/format.h>
// The plain SHA-256 functions: they need none of the library's provider and
// random-generator set-up, which would otherwise run at every start and keep
// megabytes of it resident in a window that only hashes its own changes.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>
#include <sys/random.h>

#include <bit>
#include <new>
#include <random>
#include <type_traits>
#include <utility>

namespace kalu_ui::doc {

namespace {

constexpr ActorId kRootActor{};

// Answers the number of Unicode scalar values in `text`, or none when it is
// not well-formed UTF-8 (overlong forms, surrogates and values past U+10FFFF
// included).
std::optional<std::size_t> count_scalars(std::string_view text) {
  std::size_t count = 0;
  std::size_t i = 0;
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  while (i < text.size()) {
    unsigned char lead = byte(i);
    std::size_t extra;
    char32_t min;
    char32_t cp;
    if (lead < 0x80) {
      ++i;
      ++count;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, min = 0x80, cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, min = 0x800, cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, min = 0x10000, cp = lead & 0x07;
    } else {
      return std::nullopt;
    }
    if (text.size() - i <= extra) return std::nullopt;
    for (std::size_t k = 1; k <= extra; ++k) {
      unsigned char next = byte(i + k);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    i += extra + 1;
    ++count;
  }
  return count;
}

// Byte offset of scalar `pos` in well-formed UTF-8 `text` (pos <= length).
std::size_t byte_offset(std::string_view text, std::size_t pos) {
  std::size_t i = 0;
  for (; i < text.size() && pos > 0; --pos) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return i;
}

bool same_scalar(const Scalar& a, const Scalar& b) {
  if (a.index() != b.index()) return false;
  if (const double* x = std::get_if<double>(&a)) {
    // Bit patterns, so that -0.0 replaces 0.0 and NaN is comparable.
    return std::bit_cast<std::uint64_t>(*x) == std::bit_cast<std::uint64_t>(std::get<double>(b));
  }
  return a == b;
}

ActorId random_actor() {
  ActorId actor{};
  if (::getrandom(actor.data(), actor.size(), 0) != static_cast<ssize_t>(actor.size())) {
    std::random_device device;
    for (auto& b : actor) b = static_cast<std::uint8_t>(device());
  }
  return actor;
}

const char* type_name(ObjType type) { return type == ObjType::Map ? "a map" : "a text object"; }

}  // namespace

std::string to_hex(const std::uint8_t* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return out;
}

std::string to_string(const ObjId& id) {
  if (id.is_root()) return "Root";
  return fmt::format("{}@{}", id.counter, to_hex(id.actor.data(), id.actor.size()));
}

ValueKind kind_of(const Value& value) {
  if (const auto* ref = std::get_if<ObjectRef>(&value)) {
    return ref->type == ObjType::Map ? ValueKind::Map : ValueKind::Text;
  }
  return std::visit(
      [](const auto& v) {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, Null>) return ValueKind::Null;
        if constexpr (std::is_same_v<V, bool>) return ValueKind::Bool;
        if constexpr (std::is_same_v<V, std::int64_t>) return ValueKind::Int;
        if constexpr (std::is_same_v<V, std::uint64_t>) return ValueKind::Uint;
        if constexpr (std::is_same_v<V, double>) return ValueKind::F64;
        if constexpr (std::is_same_v<V, std::string>) return ValueKind::Str;
      },
      std::get<Scalar>(value));
}

// The running SHA-256 of the open transaction. A change's canonical encoding
// is fed as it grows: a format tag, the actor, the sequence number, the
// dependencies (the heads when the transaction opened), each operation
// length-prefixed field by field, and finally the operation count. Only
// this running state is kept, so a long transaction costs no memory.
class Document::Hasher {
 public:
  Hasher() { SHA256_Init(&ctx_); }
  Hasher(const Hasher& other) = default;
  Hasher& operator=(const Hasher&) = delete;

  Hasher& raw(const void* data, std::size_t size) {
    SHA256_Update(&ctx_, data, size);
    return *this;
  }
  Hasher& u8(std::uint8_t v) { return raw(&v, 1); }
  Hasher& u64(std::uint64_t v) {
    std::uint8_t be[8];
    for (int i = 7; i >= 0; --i, v >>= 8) be[i] = static_cast<std::uint8_t>(v & 0xFF);
    return raw(be, sizeof be);
  }
  Hasher& str(std::string_view s) { return u64(s.size()).raw(s.data(), s.size()); }
  Hasher& obj(const ObjId& id) { return u64(id.counter).raw(id.actor.data(), id.actor.size()); }
  Hasher& scalar(const Scalar& value) {
    u8(static_cast<std::uint8_t>(value.index()));
    std::visit(
        [this](const auto& v) {
          using V = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<V, bool>) u8(v ? 1 : 0);
          if constexpr (std::is_same_v<V, std::int64_t>) u64(static_cast<std::uint64_t>(v));
          if constexpr (std::is_same_v<V, std::uint64_t>) u64(v);
          if constexpr (std::is_same_v<V, double>) u64(std::bit_cast<std::uint64_t>(v));
          if constexpr (std::is_same_v<V, std::string>) str(v);
        },
        value);
    return *this;
  }

  ChangeHash finish() {
    ChangeHash hash;
    SHA256_Final(hash.bytes.data(), &ctx_);
    return hash;
  }

 private:
  SHA256_CTX ctx_;
};

namespace {
enum OpTag : std::uint8_t { kPut = 1, kMake = 2, kDelete = 3, kSplice = 4 };
}

Document::Document() : Document(random_actor()) {}

Document::Document(const ActorId& actor) : actor_(actor) { objects_.emplace(0, Object{}); }

Document::Document(const Document& other)
    : actor_(other.actor_),
      objects_(other.objects_),
      max_op_(other.max_op_),
      seq_(other.seq_),
      heads_(other.heads_),
      pending_ops_(other.pending_ops_),
      tx_(other.tx_ ? std::make_unique<Hasher>(*other.tx_) : nullptr) {}

Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;
Document::~Document() = default;

Document Document::clone() const { return Document(*this); }

const Document::Object* Document::find(const ObjId& obj, ObjType type) const {
  if (obj.actor != (obj.counter == 0 ? kRootActor : actor_)) return nullptr;
  auto it = objects_.find(obj.counter);
  if (it == objects_.end() || it->second.type != type) return nullptr;
  return &it->second;
}

Result<Document::Object*> Document::find(const ObjId& obj, ObjType type) {
  auto it = objects_.find(obj.counter);
  if (obj.actor != (obj.counter == 0 ? kRootActor : actor_) || it == objects_.end()) {
    return fail("no object {} in the state document", to_string(obj));
  }
  if (it->second.type != type) {
    return fail("object {} is not {}", to_string(obj), type_name(type));
  }
  return &it->second;
}

const Value* Document::lookup(const ObjId& obj, std::string_view key) const {
  const Object* map = find(obj, ObjType::Map);
  if (!map) return nullptr;
  auto it = map->map.find(key);
  return it == map->map.end() ? nullptr : &it->second;
}

std::optional<Value> Document::get(const ObjId& obj, std::string_view key) const {
  if (const Value* value = lookup(obj, key)) return *value;
  return std::nullopt;
}

std::vector<std::string> Document::keys(const ObjId& obj) const {
  std::vector<std::string> out;
  if (const Object* map = find(obj, ObjType::Map)) {
    out.reserve(map->map.size());
    for (const auto& entry : map->map) out.push_back(entry.first);
  }
  return out;
}

Result<std::string> Document::text(const ObjId& obj) const {
  const Object* text = find(obj, ObjType::Text);
  if (!text) return fail("no text object {} in the state document", to_string(obj));
  return text->text;
}

Result<std::size_t> Document::text_length(const ObjId& obj) const {
  auto whole = text(obj);
  if (!whole) return fail(whole.error());
  return count_scalars(*whole).value_or(0);
}

namespace {
template <typename T>
std::optional<T> scalar_as(const Value* value) {
  if (!value) return std::nullopt;
  const Scalar* scalar = std::get_if<Scalar>(value);
  if (!scalar) return std::nullopt;
  const T* typed = std::get_if<T>(scalar);
  return typed ? std::optional<T>(*typed) : std::nullopt;
}
}  // namespace

std::optional<bool> Document::read_bool(const ObjId& obj, std::string_view key) const {
  return scalar_as<bool>(lookup(obj, key));
}
std::optional<std::int64_t> Document::read_i64(const ObjId& obj, std::string_view key) const {
  return scalar_as<std::int64_t>(lookup(obj, key));
}
std::optional<std::uint64_t> Document::read_u64(const ObjId& obj, std::string_view key) const {
  return scalar_as<std::uint64_t>(lookup(obj, key));
}
std::optional<double> Document::read_f64(const ObjId& obj, std::string_view key) const {
  return scalar_as<double>(lookup(obj, key));
}
std::optional<std::string> Document::read_str(const ObjId& obj, std::string_view key) const {
  return scalar_as<std::string>(lookup(obj, key));
}
std::optional<std::string> Document::read_text(const ObjId& obj, std::string_view key) const {
  const Value* value = lookup(obj, key);
  if (!value) return std::nullopt;
  if (const auto* ref = std::get_if<ObjectRef>(value)) {
    if (ref->type != ObjType::Text) return std::nullopt;
    auto whole = text(ref->id);
    return whole ? std::optional<std::string>(std::move(*whole)) : std::nullopt;
  }
  return scalar_as<std::string>(value);
}

Document::Hasher& Document::begin_op(std::size_t count) {
  if (!tx_) {
    tx_ = std::make_unique<Hasher>();
    tx_->str("kalu-doc-change-1").raw(actor_.data(), actor_.size()).u64(seq_ + 1);
    tx_->u64(heads_.size());
    for (const auto& head : heads_) tx_->raw(head.bytes.data(), head.bytes.size());
  }
  pending_ops_ += count;
  max_op_ += count;
  return *tx_;
}

void Document::drop_object(const ObjectRef& ref) {
  std::vector<std::uint64_t> doomed{ref.id.counter};
  while (!doomed.empty()) {
    auto it = objects_.find(doomed.back());
    doomed.pop_back();
    if (it == objects_.end()) continue;
    for (const auto& entry : it->second.map) {
      if (const auto* child = std::get_if<ObjectRef>(&entry.second)) {
        doomed.push_back(child->id.counter);
      }
    }
    objects_.erase(it);
  }
}

void Document::replace_value(Object& map, std::string_view key, Value value) {
  auto it = map.map.find(key);
  if (it == map.map.end()) {
    map.map.emplace(std::string(key), std::move(value));
    return;
  }
  Value old = std::exchange(it->second, std::move(value));
  if (const auto* ref = std::get_if<ObjectRef>(&old)) drop_object(*ref);
}

Status Document::put(const ObjId& obj, std::string_view key, Scalar value) {
  auto map = find(obj, ObjType::Map);
  if (!map) return fail(map.error());
  if (const auto* text = std::get_if<std::string>(&value); text && !count_scalars(*text)) {
    return fail("the text for key {} is not valid UTF-8", key);
  }
  auto it = (*map)->map.find(key);
  if (it != (*map)->map.end()) {
    const auto* old = std::get_if<Scalar>(&it->second);
    if (old && same_scalar(*old, value)) return {};
  }
  begin_op(1).u8(kPut).obj(obj).str(key).scalar(value);
  replace_value(**map, key, Value(std::move(value)));
  return {};
}

Result<ObjId> Document::put_object(const ObjId& obj, std::string_view key, ObjType type) {
  auto map = find(obj, ObjType::Map);
  if (!map) return fail(map.error());
  begin_op(1).u8(kMake).obj(obj).str(key).u8(static_cast<std::uint8_t>(type));
  ObjId id{max_op_, actor_};
  Object made;
  made.type = type;
  objects_.emplace(id.counter, std::move(made));
  replace_value(**map, key, Value(ObjectRef{type, id}));
  return id;
}

Status Document::delete_key(const ObjId& obj, std::string_view key) {
  auto map = find(obj, ObjType::Map);
  if (!map) return fail(map.error());
  auto it = (*map)->map.find(key);
  if (it == (*map)->map.end()) return {};
  begin_op(1).u8(kDelete).obj(obj).str(key);
  Value old = std::move(it->second);
  (*map)->map.erase(it);
  if (const auto* ref = std::get_if<ObjectRef>(&old)) drop_object(*ref);
  return {};
}

Status Document::insert_text(const ObjId& obj, std::size_t pos, std::string_view text) {
  return splice_text(obj, pos, 0, text);
}

Status Document::delete_text(const ObjId& obj, std::size_t pos, std::size_t count) {
  return splice_text(obj, pos, count, {});
}

Status Document::splice_text(const ObjId& obj, std::size_t pos, std::size_t del,
                             std::string_view text) {
  auto target = find(obj, ObjType::Text);
  if (!target) return fail(target.error());
  auto inserted = count_scalars(text);
  if (!inserted) return fail("the inserted text is not valid UTF-8");
  std::string& current = (*target)->text;
  std::size_t length = count_scalars(current).value_or(0);
  if (pos > length) {
    return fail("position {} is past the end of the text ({} characters)", pos, length);
  }
  if (del > length - pos) {
    return fail("cannot delete {} characters at position {}: the text has {}", del, pos, length);
  }
  if (del == 0 && *inserted == 0) return {};
  begin_op(del + *inserted).u8(kSplice).obj(obj).u64(pos).u64(del).str(text);
  std::size_t from = byte_offset(current, pos);
  std::size_t to = from + byte_offset(std::string_view(current).substr(from), del);
  current.replace(from, to - from, text);
  return {};
}

std::optional<ChangeHash> Document::commit() {
  if (!tx_) return std::nullopt;
  ChangeHash hash = tx_->u64(pending_ops_).finish();
  tx_.reset();
  pending_ops_ = 0;
  ++seq_;
  // Changes are made one after another on one document, so the new change
  // builds on every previous head and is the only head left.
  heads_.assign(1, hash);
  return hash;
}

std::vector<ChangeHash> Document::get_heads() {
  commit();
  return heads_;
}

}  // namespace kalu_ui::doc
