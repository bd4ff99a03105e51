#pragma once

// The Agent Models page in the headless harness over a configuration folder
// of the test's own, and snapshots to show: the readers of what a person
// sees and of everything a typed key could leak into.

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "kalu_ui/document.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/text.h"
#include "model_provider/config.h"
#include "panes/agent_models/page.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::panes::agent_models::testing {

namespace w = kalu_ui::widget;
namespace ph = stored::phase;

inline constexpr std::uint64_t kGib = 1ULL << 30;

inline stored::InstalledLocalModel installed(std::string id, std::string name,
                                             stored::LocalModelPhase phase) {
  stored::InstalledLocalModel m;
  m.package.id = std::move(id);
  m.package.name = std::move(name);
  m.package.license = "Apache-2.0";
  m.package.installed_bytes = 5 * kGib;
  m.phase = std::move(phase);
  return m;
}

inline stored::LocalModelPackage recommended() {
  stored::LocalModelPackage p;
  p.id = "lumen-8b-instruct";
  p.name = "Lumen 8B Instruct";
  p.description = "A general assistant model sized for this device.";
  p.source = "models.kalu.example/lumen";
  p.revision = "2025.03.2";
  p.license = "Apache-2.0";
  p.license_url = "https://models.kalu.example/lumen/LICENSE";
  p.download_bytes = 4 * kGib + kGib / 2;
  p.installed_bytes = 9 * kGib;
  return p;
}

// The normal page: accelerator available, a recommendation, models
// downloading, installing, running and in error.
inline stored::LocalModelSnapshot full_snapshot() {
  stored::LocalModelSnapshot s;
  s.hardware = {stored::HardwareFit::Good,
                16,
                "Integrated GPU",
                8,
                120,
                "16 GiB of memory runs 8B models comfortably."};
  s.recommendation = recommended();
  s.accelerator_setup =
      stored::AcceleratorSetup{"kalu-accel-igpu-2025.03", stored::accelerator::Available{}};
  s.models = {
      installed("lumen-8b-instruct", "Lumen 8B Instruct", ph::Downloading{3 * kGib, 4 * kGib}),
      installed("lumen-1b", "Lumen 1B", ph::Installing{std::nullopt, "Verifying the signature"}),
      installed("lumen-3b-instruct", "Lumen 3B Instruct",
                ph::Ready{true, stored::LocalModelEndpoint{"http://127.0.0.1:8470/v1",
                                                           "lumen-3b-instruct"}}),
      installed("org/model-7b", "Model 7B", ph::Error{"The download was interrupted."}),
  };
  return s;
}

// What the page shows of a pane, held so a PageView can point into it.
struct PaneState {
  stored::LocalModelSnapshot snapshot = full_snapshot();
  std::optional<std::string> notice;
  std::optional<std::string> pending_install;
  std::optional<std::string> pending_remove;
  bool service_available = true;
  bool reading = false;
  std::optional<std::string> notice_model;

  PageView view() const {
    return {snapshot,          notice,  pending_install, pending_remove,
            service_available, reading, notice_model};
  }
};

// A hosted provider saved in the configuration.
inline model_provider::ProviderProfile hosted(
    std::string id, std::string label, std::optional<std::string> model,
    model_provider::ProviderProtocol protocol = model_provider::ProviderProtocol::kAnthropic) {
  model_provider::ProviderProfile p = model_provider::ProviderProfile::hosted(protocol);
  p.id = std::move(id);
  p.label = std::move(label);
  p.endpoint = "https://api.example.com/v1";
  p.model = std::move(model);
  if (p.model) p.models.push_back({*p.model, *p.model, 0, true});
  return p;
}

// A configuration folder of the test's own.
struct ConfigHome {
  void save(std::vector<model_provider::ProviderProfile> providers,
            std::optional<std::string> default_provider = std::nullopt) {
    auto config = model_provider::ProviderConfig::load();
    config.providers = std::move(providers);
    config.default_provider = std::move(default_provider);
    // A test (or benchmark) cannot go on without it; gtest reports the throw.
    if (auto saved = config.save(); !saved) throw std::runtime_error(saved.error());
  }
  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config{device.dir() / "config"};
};

inline std::vector<std::string> page_texts(kalu_ui::Widget& root) {
  std::vector<std::string> out;
  for (auto* widget : kalu_ui::frame::collect(root, [](const kalu_ui::Widget&) { return true; })) {
    if (const auto* text = dynamic_cast<const w::Text*>(widget)) out.push_back(text->text());
    if (const auto* card = dynamic_cast<const w::Card*>(widget)) {
      if (!card->title().empty()) out.push_back(card->title());
      if (card->description()) out.push_back(*card->description());
    }
    if (const auto* button = dynamic_cast<const w::Button*>(widget)) {
      out.push_back(button->label());
    }
  }
  return out;
}

inline bool has_text(kalu_ui::Widget& root, std::string_view text) {
  for (const auto& t : page_texts(root)) {
    if (t == text) return true;
  }
  return false;
}

inline std::vector<std::string> card_titles(kalu_ui::Widget& root) {
  std::vector<std::string> out;
  for (auto* widget : kalu_ui::frame::collect(root, [](const kalu_ui::Widget& w) {
         return dynamic_cast<const w::Card*>(&w) != nullptr;
       })) {
    out.push_back(static_cast<w::Card*>(widget)->title());
  }
  return out;
}

// What the widgets tell accessibility, text review and state readers, the
// resource tree, and every value of the document.
inline std::string outward_texts(kalu_ui::Widget& root, const kalu_ui::doc::Document& document) {
  std::string out;
  for (auto* widget : kalu_ui::frame::collect(root, [](const kalu_ui::Widget&) { return true; })) {
    if (auto node = widget->accessibility()) {
      out += node->label + " " + node->value + " " + node->description + "\n";
    }
    if (auto review = widget->text_review()) out += review->text + "\n";
    if (auto state = widget->get_state()) out += *state + "\n";
  }
  for (const auto& resource : root.resources(document)) {
    out += resource.id + " " + resource.label + "\n";
  }
  for (const auto& key : document.keys(kalu_ui::doc::kRoot)) {
    out += key + "=";
    if (auto text = document.read_text(kalu_ui::doc::kRoot, key)) out += *text;
    out += "\n";
  }
  return out;
}

}  // namespace settings::panes::agent_models::testing
