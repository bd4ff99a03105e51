#pragma once

#include <cstdint>
#include <functional>

#include "sim_device/clock.h"
#include "sim_device/shape.h"

// The simulated compositor's display safety test. A display transaction in
// state 1 (testing) holds the layout it replaced ("previous") and a deadline;
// the device restores that layout at the deadline unless the test was kept
// or reverted first. The restore belongs to the device, not to whoever asked
// for the change: every read and every change of the state (state.h) ends an
// overdue test first, under the state's lock, so any reader (the Settings
// application whichever pane it shows, simdev, an application started
// later) sees the previous layout back, restored exactly once.
//
// prefs_store's display side starts, keeps and reverts transactions; the
// state's reads and updates call expire_overdue_test. Process-wide; any
// thread.
namespace sim_device::display {

// States of a display transaction.
inline constexpr std::uint8_t kTesting = 1;
inline constexpr std::uint8_t kReverted = 5;

// How long a safety test lasts when the device's "delays" name no
// "display.safety_test".
inline constexpr std::int64_t kSafetyTestMillis = 15000;

// What an overdue test says once the device has restored the layout.
inline constexpr const char* kExpiredMessage =
    "The new layout was not kept in time, so the previous one is back.";

// The safety tests run on the device's clock (sim_device/clock.h).
using sim_device::clock_unix_ms;
using sim_device::ScopedClock;

// How long a safety test started on `state` lasts: its "delays" entry
// "display.safety_test" (milliseconds, a test's way to shorten it), else
// kSafetyTestMillis.
std::int64_t safety_test_millis(const Json& state);

// Makes `config` (the "config" map of the display section) the device's
// layout: the outputs it enables with a mode show that mode.
void apply_config(Json& display, const Json& config);

// True while `state` holds a test (state 1), overdue or not.
bool test_running(const Json& state);

// True when `state` holds a test whose deadline is at or before `now`.
bool test_overdue(const Json& state, std::int64_t now);

// Ends an overdue test of `state`: the previous layout is back and the
// transaction is reverted with kExpiredMessage. Answers whether it did.
bool expire_overdue_test(Json& state, std::int64_t now);

}  // namespace sim_device::display
