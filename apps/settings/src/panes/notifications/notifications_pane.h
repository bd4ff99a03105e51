#pragma once

// The Notifications pane (pane 13): the "notifications" section of the
// settings document. It changes nothing on the system: the compositor's
// notification layer reads the saved section.
//
// Global settings take the edit-mirror road: a control writes its key's
// mirror ("notifications.show_banners.edit"), sync turns the edit into a
// set-setting action of the "settings.action" namespace, which writes the key
// itself; a value that appears under the key (that action, or an automation
// client's) is adopted and mirrored back. Per-application controls edit
// their keys ("notifications.app.<id>.banners") directly; sync compares them
// with what it published. Any change saves the whole section once, merged
// into the settings document (the other sections stay as they are).
//
// The application list (panes/notification_apps.h) is read once, when the
// pane is built; the clock is injectable for the mute labels.

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/host.h"
#include "lib/page_pane.h"
#include "media_kit/notification_sound.h"
#include "operations/records.h"
#include "panes/notification_apps.h"
#include "stored/sections.h"

namespace settings::panes::notifications {

class NotificationsPane final : public lib::PagePane {
 public:
  static constexpr std::string_view kTypeName =
      "settings::panes::notifications::NotificationsPane";

  // Seconds since the epoch.
  using Clock = std::function<std::int64_t()>;
  static Clock system_clock();

  // What reading one control found: the value to adopt and whether it is a
  // change.
  template <typename T>
  struct ControlRead {
    T value;
    bool changed = false;
  };

  NotificationsPane(stored::NotificationPrefs prefs, std::vector<NotificationApp> apps,
                    Clock clock = system_clock(),
                    media_kit::notification_sound::SoundBackend sound =
                        media_kit::notification_sound::SoundBackend::Unavailable);
  // Loads the settings document, lists the applications and asks for the
  // notification sound backend, as the page frame does.
  static kalu_ui::WidgetBox boxed();

  const stored::NotificationPrefs& prefs() const { return prefs_; }
  const std::vector<NotificationApp>& apps() const { return apps_; }

  // Dispatches `action` in the "settings.action" namespace with the
  // application's context; a refusal is logged by the host.
  static void dispatch_setting(kalu_ui::host::ActionHost& host, kalu_ui::doc::Document& document,
                               const operations::SettingsAction& action);
  // Writes the value under `key` and under its edit key.
  static void publish_bool(kalu_ui::doc::Document& document, std::string_view key, bool value);
  static void publish_text(kalu_ui::doc::Document& document, std::string_view key,
                           std::string_view text);
  // A new value under the key is mirrored into the edit key and adopted; a
  // new value under the edit key is dispatched and adopted.
  ControlRead<bool> read_bool_control(kalu_ui::doc::Document& document, std::string_view key,
                                      bool current);
  // The same for a focus schedule text; `labels` are the texts the control
  // offers. A text under either key that is none of them is put back to
  // `current` under both and is no change.
  ControlRead<std::string> read_text_control(kalu_ui::doc::Document& document,
                                             std::string_view key, std::string_view current,
                                             std::span<const std::string_view> labels);

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  // Also true after a change of the model: the delivery badge and the
  // applications' captions follow it.
  bool take_structure_dirty() override;

 private:
  // The first sync: every control's value under its key (and mirror).
  void publish(kalu_ui::doc::Document& document);
  void publish_apps(kalu_ui::doc::Document& document);
  // The per-application controls read back; true on a change of a rule.
  bool read_apps(kalu_ui::doc::Document& document, std::int64_t now);
  bool read_app(kalu_ui::doc::Document& document, const NotificationApp& app, std::int64_t now);
  // The schedule's three texts; true on a change.
  bool read_days(kalu_ui::doc::Document& document);
  bool read_times(kalu_ui::doc::Document& document);
  void save() const;

  stored::NotificationPrefs prefs_;
  std::vector<NotificationApp> apps_;
  Clock clock_;
  media_kit::notification_sound::SoundBackend sound_;
  // Application id -> the mute label last shown or applied.
  std::map<std::string, std::string, std::less<>> mute_labels_;
  // Per-application control id -> the value last published or read.
  std::map<std::string, bool, std::less<>> published_;
  kalu_ui::host::ActionHost host_{nullptr};
  bool needs_publish_ = true;
  bool rebuild_ = false;
};

}  // namespace settings::panes::notifications
