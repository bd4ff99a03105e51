// The diagnostic snapshot: a JSON object of twenty keys in fixed order, for
// tools that inspect the running application.

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "kalu_ui/document.h"
#include "settings_app/settings_app.h"

namespace settings::settings_app {
namespace {

using nlohmann::ordered_json;

constexpr std::string_view kSidebarRowShortName = "SidebarRow";
constexpr std::string_view kWitnessKind = "effective_heads_on_disposable_clone";

ordered_json rect_json(const kalu_ui::Rect& rect) {
  return ordered_json::array({rect.x0, rect.y0, rect.x1, rect.y1});
}

bool is_laid_out(const kalu_ui::Rect& rect) {
  return std::isfinite(rect.x0) && std::isfinite(rect.y0) && std::isfinite(rect.x1) &&
         std::isfinite(rect.y1) && rect.x1 > rect.x0 && rect.y1 > rect.y0;
}

ordered_json search_field_json(const SettingsApp::SearchFieldRecord& field) {
  ordered_json record = ordered_json::object();
  record["rect"] = rect_json(field.rect);
  record["focused"] = field.focused;
  record["caret_byte"] = field.caret_byte ? ordered_json(*field.caret_byte) : ordered_json();
  record["text"] = field.text ? ordered_json(*field.text) : ordered_json();
  return record;
}

// The heads of a copy of the document once the copy committed its pending
// edits; the live document keeps its open transaction.
ordered_json effective_heads(const kalu_ui::doc::Document& document) {
  kalu_ui::doc::Document copy = document.clone();
  ordered_json heads = ordered_json::array();
  for (const auto& head : copy.get_heads()) heads.push_back(head.to_hex());
  return heads;
}

}  // namespace

void SettingsApp::record_widget_state(const kalu_ui::Widget& widget,
                                      std::optional<SearchFieldRecord>& search,
                                      std::vector<std::string>& ids) {
  const std::optional<std::string> id = widget.id();
  if (id == kSearchFieldId) {
    SearchFieldRecord field;
    field.rect = widget.get_rect();
    field.focused = widget.is_focused();
    if (auto review = widget.text_review()) {
      field.caret_byte = review->caret_byte;
      field.text = std::move(review->text);
    }
    search = std::move(field);
  }
  if (widget.short_type_name() == kSidebarRowShortName && id) {
    // A row's id is its pane's title.
    for (const panes::Pane pane : panes::SIDEBAR_ORDER) {
      if (panes::pane_title(pane) == *id) {
        ids.emplace_back(panes::pane_id(pane));
        break;
      }
    }
  }
  widget.for_each_child(
      [&](const kalu_ui::Widget& child) { record_widget_state(child, search, ids); });
}

std::optional<kalu_ui::DebugSnapshot> SettingsApp::debug_snapshot(
    const kalu_ui::doc::Document& document, std::string_view root_object) const {
  std::optional<SearchFieldRecord> search;
  std::vector<std::string> ids;
  record_widget_state(*this, search, ids);

  const bool ready = search && is_laid_out(search->rect) && is_laid_out(rect_);
  const ordered_json field = search ? search_field_json(*search) : ordered_json();
  const auto field_key = [&](const char* key) { return search ? field.at(key) : ordered_json(); };
  bool sidebar_open = false;
  if (shell_) sidebar_open = shell_->sidebar_open();

  ordered_json snapshot = ordered_json::object();
  snapshot["app"] = std::string(kAppId);
  snapshot["search_id"] = std::string(kSearchFieldId);
  snapshot["ready"] = ready;
  snapshot["local_search_text"] = local_search_text_->get();
  snapshot["synchronized_search_query"] = synchronized_search_query_;
  snapshot["search_widget_text"] = field_key("text");
  snapshot["search_caret_byte"] = field_key("caret_byte");
  snapshot["search_focused"] = field_key("focused");
  snapshot["search_rect"] = field_key("rect");
  snapshot["root_rect"] = rect_json(rect_);
  snapshot["selected_category"] = std::string(panes::pane_id(selected_category_));
  snapshot["rendered_result_count"] = ids.size();
  snapshot["rendered_category_ids"] = ids;
  snapshot["narrow"] = is_narrow();
  snapshot["sidebar_open"] = sidebar_open;
  snapshot["document_root"] = std::string(root_object);
  snapshot["document_actor"] = document.actor_hex();
  snapshot["document_witness_kind"] = std::string(kWitnessKind);
  snapshot["effective_document_heads"] = effective_heads(document);
  snapshot["original_pending_ops"] = document.pending_ops();
  // Texts typed by a person or published by a client may hold invalid UTF-8.
  return kalu_ui::DebugSnapshot{
      snapshot.dump(-1, ' ', false, ordered_json::error_handler_t::replace)};
}

}  // namespace settings::settings_app
