#include "actions/doc_readers.h"

#include <utility>

namespace settings::actions {

namespace doc = kalu_ui::doc;

std::optional<doc::Value> get_doc_value(const doc::Document& document, const doc::ObjId& obj,
                                        std::string_view key) {
  return document.get(obj, key);
}

std::optional<std::string> read_doc_text(const doc::Document& document, const doc::ObjId& obj,
                                         std::string_view key) {
  return document.read_text(obj, key);
}

std::optional<std::string> read_doc_str(const doc::Document& document, const doc::ObjId& obj,
                                        std::string_view key) {
  return document.read_str(obj, key);
}

std::optional<double> read_doc_f64(const doc::Document& document, const doc::ObjId& obj,
                                   std::string_view key) {
  return document.read_f64(obj, key);
}

std::optional<bool> read_doc_bool(const doc::Document& document, const doc::ObjId& obj,
                                  std::string_view key) {
  return document.read_bool(obj, key);
}

doc::Document take_doc(doc::Document& pending) { return std::exchange(pending, doc::Document()); }

}  // namespace settings::actions
