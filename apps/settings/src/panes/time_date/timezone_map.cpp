#include "panes/time_date/timezone_map.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "kalu_ui/layout.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/text.h"
#include "kalu_ui/theme.h"
#include "kalu_ui/widget/controls.h"

namespace settings::panes::time_date {
namespace {

namespace w = kalu_ui::widget;

constexpr std::string_view kAccessibleLabel = "Time-zone map";
constexpr std::string_view kAccessibleDescription =
    "Installed IANA time zones with published coordinates. Use arrow keys to move and Enter to "
    "apply; the searchable selector includes aliases without coordinates.";

constexpr double kMeridians[] = {-120.0, -60.0, 0.0, 60.0, 120.0};
constexpr double kParallels[] = {-45.0, 0.0, 45.0};
// How much a sideways offset weighs against distance ahead when the arrow
// keys look for the next zone.
constexpr double kSidewaysWeight = 2.5;
constexpr double kRingWidth = 2.0;
constexpr double kFocusOutlineWidth = 2.0;
// Where the label line and the empty text sit, relative to the card.
constexpr double kLabelRise = 23.0;
constexpr double kEmptyTextIndent = 8.0;
constexpr double kEmptyTextRise = 6.0;

double degrees(std::int32_t micro) { return micro / 1'000'000.0; }

// The projection of a point in degrees into `plot`.
kalu_ui::Point project(const kalu_ui::Rect& plot, double latitude, double longitude) {
  return {plot.x0 + plot.width() * (longitude + 180.0) / 360.0,
          plot.y0 + plot.height() * (90.0 - latitude) / 180.0};
}

kalu_ui::text::TextStyle text_style(kalu_ui::text::TextRenderer& renderer, kalu_ui::Color color) {
  return renderer.renderer_input_style(kalu_ui::text::TextStyle::sized(TimeZoneMap::kTextSize))
      .with_color(color);
}

// A zone within the hit radius of the point, with its distance.
struct HitCandidate {
  std::size_t index;
  double distance;
};

// The score of moving from `from` to `to` in the direction (dx, dy): the
// distance ahead plus the weighted sideways offset; none when `to` does not
// lie ahead at all.
std::optional<double> direction_score(const TimeZoneEntry& from, const TimeZoneEntry& to, double dx,
                                      double dy) {
  const double ddx = degrees(to.longitude) - degrees(from.longitude);
  const double ddy = degrees(from.latitude) - degrees(to.latitude);  // grows southward
  const double dot = ddx * dx + ddy * dy;
  if (!(dot > 0.0)) return std::nullopt;
  return dot + kSidewaysWeight * std::abs(ddx * dy - dx * ddy);
}

}  // namespace

// The land's fill: the card's surface tinted towards the muted text, the
// least that sets it apart from the card (kLandContrast), so the land stays
// quieter than the dots yet shows in every theme, high contrast's black card
// too.
kalu_ui::Color TimeZoneMap::land_color(const kalu_ui::Theme& theme) {
  const kalu_ui::Color tint = theme.secondary.mix(theme.success, 0.3);
  double amount = theme.is_dark ? 0.16 : 0.14;
  kalu_ui::Color land = theme.card.mix(tint, amount);
  while (kalu_ui::contrast_ratio(land, theme.card) < kLandContrast && amount < 1.0) {
    amount += 0.01;
    land = theme.card.mix(tint, amount);
  }
  return land;
}

TimeZoneMap::TimeZoneMap(std::shared_ptr<const ZoneCatalogue> catalogue, std::string current_zone,
                         std::optional<kalu_actions::ActionBinding> binding)
    : catalogue_(catalogue ? std::move(catalogue) : ZoneCatalogue::make({})),
      current_zone_(std::move(current_zone)) {
  if (binding) {
    emitter_.emplace(binding->resource_id, binding->action, binding->spec,
                     [arguments = binding->arguments](const kalu_actions::ControlValue& value) {
                       return arguments ? (*arguments)(value) : kalu_actions::ActionArgs();
                     });
    emitter_->set_recording(true);
  }
  focused_zone_ = current_index();
}

kalu_ui::layout::Style TimeZoneMap::leaf_style() const {
  kalu_ui::layout::Style style;
  style.width = kalu_ui::layout::Dimension::percent(100.0f);
  style.height = kalu_ui::layout::Dimension::points(kHeight);
  return style;
}

void TimeZoneMap::apply_layout(const kalu_ui::layout::LayoutTree& tree,
                               kalu_ui::layout::NodeId node, double origin_x, double origin_y) {
  Leaf::apply_layout(tree, node, origin_x, origin_y);
  if (!(plot_rect() == land_plot_)) project_land();
}

kalu_ui::Rect TimeZoneMap::plot_rect() const {
  return {rect_.x0 + kPlotInset, rect_.y0 + kPlotInset,
          std::max(rect_.x1 - kPlotInset, rect_.x0 + kPlotInset + 1.0),
          std::max(rect_.y1 - kLabelBand, rect_.y0 + kPlotInset + 1.0)};
}

kalu_ui::Point TimeZoneMap::zone_point(std::size_t index) const {
  if (index >= catalogue_->zones.size()) return {0.0, 0.0};
  const TimeZoneEntry& zone = catalogue_->zones[index];
  return project(plot_rect(), degrees(zone.latitude), degrees(zone.longitude));
}

std::optional<std::size_t> TimeZoneMap::hit_test(double x, double y) const {
  if (!rect_.contains({x, y})) return std::nullopt;
  std::optional<HitCandidate> best;
  for (std::size_t index = 0; index < catalogue_->zones.size(); ++index) {
    const kalu_ui::Point p = zone_point(index);
    const double distance = std::hypot(p.x - x, p.y - y);
    if (distance > kHitRadius) continue;
    // Strictly nearer only: of equally near zones the earlier one stays.
    if (!best || distance < best->distance) best = HitCandidate{index, distance};
  }
  if (!best) return std::nullopt;
  return best->index;
}

std::optional<std::size_t> TimeZoneMap::current_index() const {
  const auto& zones = catalogue_->zones;
  const auto found = std::find_if(zones.begin(), zones.end(),
                                  [&](const TimeZoneEntry& z) { return z.name == current_zone_; });
  if (found == zones.end()) return std::nullopt;
  return static_cast<std::size_t>(found - zones.begin());
}

void TimeZoneMap::move_focus(double dx, double dy) {
  const auto& zones = catalogue_->zones;
  if (zones.empty()) return;
  const std::size_t start = focused_zone_.value_or(current_index().value_or(0));
  if (start >= zones.size()) return;
  std::optional<std::size_t> best;
  double best_score = std::numeric_limits<double>::infinity();
  for (std::size_t index = 0; index < zones.size(); ++index) {
    if (index == start) continue;
    const auto score = direction_score(zones[start], zones[index], dx, dy);
    if (score && *score < best_score) {
      best = index;
      best_score = *score;
    }
  }
  if (!best) return;
  focused_zone_ = best;
  request_redraw();
}

void TimeZoneMap::select(std::size_t index) {
  if (index >= catalogue_->zones.size()) return;
  const std::string& name = catalogue_->zones[index].name;
  if (name == current_zone_) return;
  current_zone_ = name;
  focused_zone_ = index;
  request_redraw();
  // The bound action takes any text, so a refusal cannot happen with a
  // zone name; were it to, the map's own choice stands all the same.
  if (emitter_) (void)emitter_->emit(kalu_actions::ControlValue(name));
}

void TimeZoneMap::set_hovered(std::optional<std::size_t> hovered, kalu_ui::EventContext& context) {
  if (hovered == hovered_zone_) return;
  hovered_zone_ = hovered;
  request_redraw();
  context.set_handled();
}

void TimeZoneMap::handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) {
  // Positions arrive in logical pixels already (the frame loop divides by
  // the window's scale), so they are stored as they come.
  if (const auto* move = event.as<kalu_ui::PointerMove>()) {
    pointer_ = move->position;
    set_hovered(hit_test(pointer_.x, pointer_.y), context);
  } else if (event.is<kalu_ui::PointerLeave>()) {
    set_hovered(std::nullopt, context);
  } else if (const auto* down = event.as<kalu_ui::PointerDown>()) {
    if (down->button != kalu_ui::PointerButton::Primary) return;
    // The press carries its own position; a press without a move before it
    // (a touch, a synthetic click) must not hit where the pointer last was.
    pointer_ = down->position;
    const auto zone = hit_test(pointer_.x, pointer_.y);
    if (!zone) return;
    select(*zone);
    context.set_handled();
    context.request_focus(*this);
  } else if (const auto* key = event.as<kalu_ui::KeyDown>()) {
    handle_key(*key, context);
  }
}

void TimeZoneMap::handle_key(const kalu_ui::KeyDown& key, kalu_ui::EventContext& context) {
  if (!has_focus_ || key.modifiers.ctrl || key.modifiers.alt || key.modifiers.super) return;
  switch (key.key) {
    case kalu_ui::Key::Enter:
    case kalu_ui::Key::Space:
      // A held key repeats; choosing is one deliberate press.
      if (!key.repeat && valid(focused_zone_)) select(*focused_zone_);
      break;
    case kalu_ui::Key::Down:
      move_focus(0.0, 1.0);
      break;
    case kalu_ui::Key::Up:
      move_focus(0.0, -1.0);
      break;
    case kalu_ui::Key::Left:
      move_focus(-1.0, 0.0);
      break;
    case kalu_ui::Key::Right:
      move_focus(1.0, 0.0);
      break;
    default:
      return;
  }
  context.set_handled();
}

std::optional<kalu_ui::CursorKind> TimeZoneMap::cursor_icon_at(double x, double y) const {
  if (!hit_test(x, y)) return std::nullopt;
  return w::controls::kCursorPointer;
}

std::optional<std::string> TimeZoneMap::tooltip() const {
  if (!valid(hovered_zone_)) return std::nullopt;
  return catalogue_->zones[*hovered_zone_].name;
}

void TimeZoneMap::set_focus(bool focused) {
  if (focused && !has_focus_ && !focused_zone_ && !catalogue_->zones.empty()) {
    focused_zone_ = current_index().value_or(0);
  }
  has_focus_ = focused;
  request_redraw();
}

std::optional<kalu_ui::AccessibilityNode> TimeZoneMap::accessibility() const {
  std::string value = valid(focused_zone_) ? catalogue_->zones[*focused_zone_].name : current_zone_;
  auto node = kalu_ui::AccessibilityNode{}
                  .with_role(w::role::kImage)
                  .with_id(std::string(kId))
                  .with_label(std::string(kAccessibleLabel))
                  .with_description(std::string(kAccessibleDescription))
                  .with_value(std::move(value));
  node.focused = has_focus_;
  node.focusable = is_focusable();
  return node;
}

bool TimeZoneMap::perform_action(const kalu_ui::SemanticAction& action,
                                 const kalu_actions::ActionContext&) {
  const auto& zones = catalogue_->zones;
  switch (action.kind) {
    case kalu_ui::SemanticAction::Kind::SetValue: {
      if (!action.value) return false;
      const auto found = std::find_if(zones.begin(), zones.end(), [&](const TimeZoneEntry& z) {
        return z.name == *action.value;
      });
      if (found == zones.end()) return false;
      select(static_cast<std::size_t>(found - zones.begin()));
      return true;
    }
    case kalu_ui::SemanticAction::Kind::Activate: {
      const auto target = valid(focused_zone_) ? focused_zone_ : current_index();
      if (!valid(target)) return false;
      select(*target);
      return true;
    }
    default:
      return false;
  }
}

void TimeZoneMap::project_land() {
  land_plot_ = plot_rect();
  land_path_ = kalu_ui::BezPath();
  for (const auto& ring : catalogue_->land.rings) {
    land_path_.move_to(project(land_plot_, ring.front().latitude, ring.front().longitude));
    for (std::size_t i = 1; i < ring.size(); ++i) {
      land_path_.line_to(project(land_plot_, ring[i].latitude, ring[i].longitude));
    }
    land_path_.close_path();
  }
  request_redraw();
}

void TimeZoneMap::draw(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
                       kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
                       kalu_ui::DrawContext&) {
  kalu_ui::surface::card(scene, rect_, theme, transform);
  if (has_focus_) {
    // Inside the card's edge, so that a clipping parent keeps all of it.
    const double half = kFocusOutlineWidth / 2.0;
    scene.stroke(kalu_ui::RoundedRect{rect_.inset(half), std::max(theme.card_radius - half, 0.0)},
                 theme.focus, kalu_ui::StrokeStyle(kFocusOutlineWidth), transform);
  }
  const kalu_ui::Rect plot = plot_rect();
  if (!land_path_.empty()) {
    scene.fill(land_path_, land_color(theme), transform, kalu_ui::FillRule::EvenOdd);
  }
  draw_grid(scene, transform, theme);
  if (catalogue_->zones.empty()) {
    renderer.draw_text(scene, kEmptyText, text_style(renderer, theme.marker),
                       {plot.x0 + kEmptyTextIndent, plot.center().y - kEmptyTextRise},
                       std::max(plot.width() - 2.0 * kEmptyTextIndent, 1.0),
                       kalu_ui::text::LayoutOption::Ellipsize, transform);
    return;
  }
  draw_zones(scene, transform, theme);
  renderer.draw_text(scene, label_text(), text_style(renderer, theme.label),
                     {rect_.x0 + kPlotInset, rect_.y1 - kLabelRise},
                     std::max(rect_.width() - 2.0 * kPlotInset, 1.0),
                     kalu_ui::text::LayoutOption::Ellipsize, transform);
}

void TimeZoneMap::draw_grid(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
                            const kalu_ui::Theme& theme) const {
  const kalu_ui::Rect plot = plot_rect();
  const kalu_ui::Color edge = kalu_ui::surface::edge_on(theme);
  const kalu_ui::StrokeStyle line(1.0);
  for (double longitude : kMeridians) {
    const double x = project(plot, 0.0, longitude).x;
    scene.stroke(kalu_ui::Line{{x, plot.y0}, {x, plot.y1}}, edge, line, transform);
  }
  for (double latitude : kParallels) {
    const double y = project(plot, latitude, 0.0).y;
    scene.stroke(kalu_ui::Line{{plot.x0, y}, {plot.x1, y}}, edge, line, transform);
  }
}

void TimeZoneMap::draw_zones(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
                             const kalu_ui::Theme& theme) const {
  const kalu_ui::Color other = theme.marker.with_alpha_factor(2.0 / 3.0);
  const auto& zones = catalogue_->zones;
  for (std::size_t index = 0; index < zones.size(); ++index) {
    const bool current = zones[index].name == current_zone_;
    const double radius = current ? kCurrentDotRadius : kDotRadius;
    const kalu_ui::Point center = zone_point(index);
    scene.fill(kalu_ui::Circle{center, radius}, current ? theme.highlight : other, transform);
    const bool ringed = hovered_zone_ == index || (has_focus_ && focused_zone_ == index);
    if (ringed) {
      scene.stroke(kalu_ui::Circle{center, radius + kRingGap}, theme.focus,
                   kalu_ui::StrokeStyle(kRingWidth), transform);
    }
  }
}

std::string TimeZoneMap::label_text() const {
  std::optional<std::size_t> named = hovered_zone_;
  if (!named && has_focus_) named = focused_zone_;
  if (valid(named)) {
    const TimeZoneEntry& zone = catalogue_->zones[*named];
    return fmt::format("{} \u2014 {}", zone.place, zone.region);
  }
  return fmt::format("Selected: {}", current_zone_);
}

}  // namespace settings::panes::time_date
