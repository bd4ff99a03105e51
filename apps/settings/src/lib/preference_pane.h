#pragma once

// A pane that shows preferences kept elsewhere: it reads them from where they
// are stored and shows each setting's value in the state document, under the
// setting's key and, for a control that edits a key of its own, under
// "<key>.edit" as well. It never saves: a change (a control bound to its
// setting's action, through the control replay; an automation client; any
// other pane) is a set-setting action, which keeps the preference where it
// is stored before it writes the key (actions/setting_store.h).
//
// So at its first sync the pane reads the stored preferences again (a change
// may have been made since it was built) and writes them over whatever an
// earlier visit left in the document. Afterwards, each sync compares the
// document with what it showed: a key that holds another value was set, so
// the preferences are read again and shown; an edit key that alone holds
// another value is an edit no set-setting took (its save failed), and goes
// back to the stored value. A change of the store noted since the last read
// (lib/stored_notices.h: a save of this process, or another writer of the
// settings document) is read again the same way, so a pane follows a value
// it shows whoever changed it. When the preferences read differ from those
// the page was built with, the page is built anew.
//
// A set-setting refused while the pane is shown (a value the preference
// cannot hold, a save that fails; lib::note_refused_edit) is taken at the
// next sync: the pane reads and shows the stored value again (so the control
// that made the edit shows what is stored, not the edit) and builds the page
// anew with the notice above it, until a change is stored. Everything else
// is PagePane's.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/document.h"
#include "lib/page_pane.h"

namespace settings::lib {

// One setting as the pane shows it: a bool, a text, or null for a setting
// that has no value (the document then holds none, or null).
struct ShownSetting {
  std::string key;
  kalu_ui::doc::Scalar value;
};

// "<key>.edit": what a control that edits a key of its own writes.
std::string edit_key(std::string_view key);

class PreferencePane : public PagePane {
 public:
  // Reads the preferences again when they drifted, shows them, and asks for
  // a new page when they differ from those the page was built with.
  void sync(kalu_ui::doc::Document& document) override;

  // What a sync finds in the document against what it shows.
  enum class Drift : std::uint8_t {
    kNone,
    kEdit,     // only an edit key differs: an edit no set-setting took
    kSetting,  // a key differs: a set-setting changed the stored preference
  };
  static Drift drift(const kalu_ui::doc::Document& document, const std::vector<ShownSetting>& shown,
                     bool with_edit_keys);
  // Writes every value under its key (and edit key) where the document
  // holds another; a failed write is logged.
  static void show(kalu_ui::doc::Document& document, const std::vector<ShownSetting>& shown,
                   bool with_edit_keys);

 protected:
  // `with_edit_keys`: the page's controls edit "<key>.edit" (a switch whose
  // action flips the setting cannot write the key itself).
  explicit PreferencePane(bool with_edit_keys) : with_edit_keys_(with_edit_keys) {}

  // Reads the stored preferences into the model; true when they differ from
  // what it held.
  virtual bool reload() = 0;
  // The model's settings, as the document shows them.
  virtual std::vector<ShownSetting> shown() const = 0;
  // Edits no set-setting took, seen before they go back to the stored
  // values: a page that says why one was refused reads them here.
  virtual void edits_refused(const kalu_ui::doc::Document& /*document*/) {}

  // PagePane's, with the notice of the last refused edit above the page
  // while there is one.
  kalu_ui::layout::NodeId lay_out_page(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry,
                                       kalu_ui::WidgetBox page);
  using PagePane::lay_out_page;

 public:
  // The notice shown, empty when none.
  const std::string& refused_notice() const { return notice_; }

 private:
  std::vector<ShownSetting> shown_;
  std::string notice_;
  bool with_edit_keys_;
  bool first_sync_ = true;
  // lib::stored_generation() at the last read.
  std::uint64_t generation_ = 0;
  // The refused edits counted at the last sync.
  std::uint64_t refusals_ = 0;
};

}  // namespace settings::lib
