#include "panes/bluetooth/page.h"

#include <fmt/format.h>

#include <utility>

#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"
#include "kalu_ui/widget/toggle.h"
#include "lib/flag_button.h"

namespace settings::panes::bluetooth {
namespace {

namespace w = kalu_ui::widget;
using ui_rows::caption;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;

constexpr float kButtonGap = 8.0f;
// Between one device's block and the next: twice the rows inside a block, so
// each device reads as one group.
constexpr float kDevicesGap = 2.0f * ui_rows::kRowsGap;

WidgetBox flag_button(std::string label, std::string id, std::string key, bool danger = false) {
  lib::FlagButton button(std::move(label), std::move(id), std::move(key));
  button.with_danger(danger);
  return w::boxed(std::move(button));
}

// The widgets in a row, 8 apart, ending in flexible space.
WidgetBox button_row(WidgetList buttons) {
  w::Row row;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (i > 0) row.push(ui_rows::gap(kButtonGap));
    row.push(std::move(buttons[i]));
  }
  row.push(w::boxed(w::Spacer()));
  return w::boxed(std::move(row));
}

WidgetBox power_toggle(std::optional<kalu_actions::ActionBinding> binding) {
  w::Toggle toggle("Bluetooth", std::string(kEnabledKey));
  toggle.with_id("bluetooth.toggle");
  toggle.on_action(std::move(binding));
  return w::boxed(std::move(toggle));
}

WidgetBox discovery_row(bool scanning) {
  WidgetList buttons;
  buttons.push_back(flag_button(scanning ? "Stop discovery" : "Find devices",
                                "settings.bluetooth.scan", std::string(kScanKey)));
  buttons.push_back(flag_button("Refresh", "settings.bluetooth.refresh", std::string(kRefreshKey)));
  return button_row(std::move(buttons));
}

void device_details(WidgetList& rows, const BluetoothDevice& device, const std::string& key,
                    const DeviceControlIds& ids, bool confirming_forget) {
  const auto id = [&](DeviceKey which) { return ids[static_cast<std::size_t>(which)]; };
  rows.push_back(ui_rows::info_row("Address", device.address));
  if (device.rssi) rows.push_back(ui_rows::info_row("Signal", fmt::format("{} dBm", *device.rssi)));
  if (device.paired) {
    const std::string trusted_id = fmt::format("settings.bluetooth.trusted.{}", key);
    w::Toggle trusted("Trust this device", id(DeviceKey::kTrusted));
    trusted.with_id(trusted_id);
    rows.push_back(
        ui_rows::described_row("Trust this device", kTrustCaption, w::boxed(std::move(trusted))));
    rows.push_back(w::boxed(w::TextInput(id(DeviceKey::kAlias))
                                .with_id(fmt::format("bluetooth.alias.{}", key))
                                .with_kind(w::TextInput::kKindName)
                                .with_label("Device name")
                                .with_placeholder(device.name)));
    WidgetList buttons;
    buttons.push_back(flag_button("Rename", fmt::format("settings.bluetooth.rename.{}", key),
                                  id(DeviceKey::kRename)));
    buttons.push_back(flag_button(confirming_forget ? "Confirm forget" : "Forget…",
                                  fmt::format("settings.bluetooth.forget.{}", key),
                                  id(DeviceKey::kForget), confirming_forget));
    rows.push_back(button_row(std::move(buttons)));
  }
  if (device.icon.starts_with("audio-")) rows.push_back(caption(kAudioCaption));
}

WidgetBox device_block(const PageState& state, const BluetoothDevice& device,
                       const std::string& key) {
  const DeviceControlIds ids = device_control_ids(key);
  const bool expanded = state.expanded_device == device.path;
  const PrimaryAction primary = primary_action(device, state.pairing_device == device.path);
  const std::string_view primary_name = primary_action_name(primary);

  WidgetList buttons;
  buttons.push_back(flag_button(std::string(primary_action_label(primary)),
                                fmt::format("settings.bluetooth.{}.{}", primary_name, key),
                                control_id_for_key(key, primary_name)));
  buttons.push_back(flag_button(expanded ? "Less" : "Details",
                                fmt::format("settings.bluetooth.details.{}", key),
                                ids[static_cast<std::size_t>(DeviceKey::kDetails)]));
  w::Row row;
  row.with_alignment(w::Alignment::Center)
      .push(w::boxed(w::Text(device.name).with_size(ui_rows::kLabelSize).with_wrap()))
      .push(w::boxed(w::Spacer()));
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (i > 0) row.push(ui_rows::gap(kButtonGap));
    row.push(std::move(buttons[i]));
  }

  // The name and its state as one line pair, the details below.
  WidgetList heading;
  heading.push_back(w::boxed(std::move(row)));
  heading.push_back(caption(device_state_text(device)));
  WidgetList rows;
  rows.push_back(ui_rows::column(std::move(heading), ui_rows::kDescriptionGap));
  if (expanded) {
    device_details(rows, device, key, ids, state.forget_confirmation == device.path);
  }
  return ui_rows::group_rows_column(device.name, std::move(rows));
}

}  // namespace

WidgetBox build_page(const PageState& state) {
  WidgetList rows;
  rows.push_back(discovery_row(state.scanning));
  if (state.status) rows.push_back(caption(*state.status));
  WidgetList devices;
  for (std::size_t i = 0; i < state.devices.size() && i < state.keys.size(); ++i) {
    devices.push_back(device_block(state, state.devices[i], state.keys[i]));
  }
  if (!devices.empty()) rows.push_back(ui_rows::column(std::move(devices), kDevicesGap));
  if (state.devices.empty())
    rows.push_back(caption(state.scanning ? kLookingText : kNoDevicesText));
  return ui_rows::section_card_with_control("Bluetooth", power_toggle(state.power_binding),
                                            ui_rows::rows_column(std::move(rows)));
}

}  // namespace settings::panes::bluetooth
