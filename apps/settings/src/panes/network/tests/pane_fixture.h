#pragma once

// The Network pane in the headless harness on scripted services, and
// readers of everything a secret could leak into: the document, the widgets'
// accessibility, review and state texts, and the resource tree.

#include <memory>
#include <string>
#include <vector>

#include "fakes.h"
#include "kalu_ui/document.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/support.h"
#include "kalu_ui/widget/text.h"

namespace settings::panes::network::testing {

// Tall enough that every card is laid out inside the window.
inline kalu_ui::harness::Options tall() {
  return kalu_ui::harness::Options::sized({1280.0, 4000.0});
}

struct PaneFixture {
  explicit PaneFixture(Fakes fakes_in = {}, bool hosted = false)
      : fakes(std::move(fakes_in)), harness(make(hosted), tall()) {}

  kalu_ui::WidgetBox make(bool hosted) {
    // Made in one expression: assigning the setters' answer back to the pane
    // they were called on would move it into itself and lose its lists.
    NetworkPane built =
        hosted
            ? fakes.pane().with_operation_requests(requests).with_operation_completion(completion)
            : fakes.pane();
    auto box = kalu_ui::widget::boxed(std::move(built));
    pane = static_cast<NetworkPane*>(box.get());
    return box;
  }

  kalu_ui::doc::Document& document() {
    return pane->link().hosted() ? pane->link().own_document() : harness.document();
  }

  Fakes fakes;
  std::shared_ptr<operations::DeviceLocalRequestCell> requests =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion =
      operations::OperationCompletionCell::create({});
  NetworkPane* pane = nullptr;
  kalu_ui::harness::Harness harness;
};

// Every text of the page, in tree order.
inline std::vector<std::string> page_texts(kalu_ui::Widget& root) {
  std::vector<std::string> out;
  for (auto* w : kalu_ui::frame::collect(root, [](const kalu_ui::Widget& w) {
         return dynamic_cast<const kalu_ui::widget::Text*>(&w) != nullptr;
       })) {
    out.push_back(static_cast<kalu_ui::widget::Text*>(w)->text());
  }
  return out;
}

inline bool has_text(kalu_ui::Widget& root, std::string_view text) {
  for (const auto& t : page_texts(root)) {
    if (t == text) return true;
  }
  return false;
}

// The titles of the page's cards, in order (a card with a control in its
// header carries its title as the first text of its content).
inline std::vector<std::string> card_titles(kalu_ui::Widget& root) {
  std::vector<std::string> out;
  for (auto* w : kalu_ui::frame::collect(root, [](const kalu_ui::Widget& w) {
         return dynamic_cast<const kalu_ui::widget::Card*>(&w) != nullptr;
       })) {
    const auto* card = static_cast<kalu_ui::widget::Card*>(w);
    if (!card->title().empty()) {
      out.push_back(card->title());
    } else {
      auto texts = page_texts(*w);
      out.push_back(texts.empty() ? std::string() : texts.front());
    }
  }
  return out;
}

// Every key of the document's root with its value as text.
inline std::string document_dump(const kalu_ui::doc::Document& document) {
  std::string out;
  for (const auto& key : document.keys(kalu_ui::doc::kRoot)) {
    out += key + "=";
    if (auto text = document.read_text(kalu_ui::doc::kRoot, key)) out += *text;
    if (auto b = document.read_bool(kalu_ui::doc::kRoot, key)) out += *b ? "true" : "false";
    out += "\n";
  }
  return out;
}

inline void append_resource(std::string& out, const kalu_actions::Resource& resource) {
  out += resource.id + " " + resource.kind + " " + resource.label + "\n";
  for (const auto& action : resource.actions) {
    out += action.name + " " + action.label + " " + action.description + "\n";
    if (action.fixed_input) {
      out.append(action.fixed_input->payload.begin(), action.fixed_input->payload.end());
    }
  }
  for (const auto& child : resource.children) append_resource(out, child);
}

// What the widgets tell accessibility, text review, state readers and the
// resource tree.
inline std::string outward_texts(kalu_ui::Widget& root, const kalu_ui::doc::Document& document) {
  std::string out;
  for (auto* w : kalu_ui::frame::collect(root, [](const kalu_ui::Widget&) { return true; })) {
    if (auto node = w->accessibility()) {
      out += node->label + " " + node->value + " " + node->description + "\n";
    }
    if (auto review = w->text_review()) out += review->text + "\n";
    if (auto state = w->get_state()) out += *state + "\n";
  }
  for (const auto& resource : root.resources(document)) append_resource(out, resource);
  return out;
}

}  // namespace settings::panes::network::testing
