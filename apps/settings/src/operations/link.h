#pragma once

// A pane's link to the device-local executor: the request cell it takes its
// operations from, the completion cell it completes them in, and the
// document it works on. The contract it keeps for the pane is the one of
// mailbox.h: a pane takes only the records of its own type (another pane's
// request stays in the cell), and completes only the operation that is
// pending, exactly once; a message for anything else is dropped.
//
// A pane built alone (a test, a bench) has cells of its own. The page frame
// hands it the application's: the request cell makes the pane hosted, and a
// hosted pane works on a document of its own, since the toolkit's may be
// replicated and the application's road reaches the pane through the cell;
// the completion cell makes it reporting, so an edit the pane would apply
// waits for its operation to be pending. UI thread only.
//
// A pane carries its link with WithOperationLink, which also gives it the
// two builder steps the page frame calls:
//
//   class PowerPane : public lib::PagePane,
//                     public operations::WithOperationLink<PowerPane, PowerOperation> {...};
//   auto pane = PowerPane().with_operation_requests(cells.device_local_request)
//                   .with_operation_completion(cells.operation_completion);
//   if (std::optional<PowerOperation> operation = link_.take()) ...
//   link_.complete(*operation, std::string("Balanced is already active."));

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "kalu_ui/document.h"
#include "kalu_ui/result.h"
#include "operations/keys.h"
#include "operations/mailbox.h"
#include "operations/mailbox_cells.h"
#include "operations/table.h"

namespace settings::operations {

// What completes an operation: the success message, or the failure's.
using Outcome = kalu_ui::Result<std::string>;

// The part of a link that does not depend on the record: the cells, the
// flags, the document and completion by key.
class LinkCells {
 public:
  explicit LinkCells(std::string_view action_id);

  // The application's request cell; the pane is hosted from then on.
  void take_requests_from(std::shared_ptr<DeviceLocalRequestCell> cell);
  // The application's completion cell; the pane reports from then on.
  void report_to(std::shared_ptr<OperationCompletionCell> cell);

  bool hosted() const { return hosted_; }
  bool reporting() const { return reporting_; }
  const std::shared_ptr<DeviceLocalRequestCell>& request_cell() const { return requests_; }
  const std::shared_ptr<OperationCompletionCell>& completion_cell() const { return completion_; }
  // The document a hosted pane works on.
  kalu_ui::doc::Document& own_document() { return own_document_; }
  // Where the pane works: its own document while hosted, else the toolkit's.
  kalu_ui::doc::Document& working(kalu_ui::doc::Document& toolkit) {
    return hosted_ ? own_document_ : toolkit;
  }

  // The key of the pending operation when it is one of this link's action.
  std::optional<std::string> pending_key() const;
  // Completes the operation pending under exactly `key`; answers whether it
  // did. No key (a change the page made on its own) completes nothing.
  bool complete(const std::optional<std::string>& key, const Outcome& outcome);
  // Completes whichever operation of this link's action is pending, under
  // its own key (a pane that carries out what the client sent, whatever the
  // key's spelling); answers whether one was.
  bool complete(const Outcome& outcome);

 protected:
  std::string_view action_id_;
  std::shared_ptr<DeviceLocalRequestCell> requests_;
  std::shared_ptr<OperationCompletionCell> completion_;
  kalu_ui::doc::Document own_document_;
  bool hosted_ = false;
  bool reporting_ = false;
};

template <DeviceLocalRecord Record>
class OperationLink : public LinkCells {
 public:
  OperationLink() : LinkCells(kOperationActionId<Record>) {}

  // Takes the record waiting in the request cell for this pane out of it;
  // none while the cell is empty or holds another pane's request.
  std::optional<Record> take() {
    const DeviceLocalRequest request = requests_->get();
    const Record* record = std::get_if<Record>(&request);
    if (record == nullptr) return std::nullopt;
    (void)requests_->publish(DeviceLocalRequest{});
    return *record;
  }
  // Puts a taken record back for a later sync, while the pane cannot carry
  // it out yet; it stays pending meanwhile.
  void give_back(Record record) {
    (void)requests_->publish(DeviceLocalRequest(std::in_place_type<Record>, std::move(record)));
  }
  // Whether a record for this pane waits in the request cell.
  bool waiting() const { return std::holds_alternative<Record>(requests_->get()); }

  // The pending operation of this action, read off its key; none when none
  // is pending or its key does not read.
  std::optional<Record> pending_record() const {
    const std::optional<std::string> key = pending_key();
    if (!key) return std::nullopt;
    auto record = read_record<Record>(std::string_view(*key).substr(action_id_.size() + 1));
    if (!record) return std::nullopt;
    return std::move(*record);
  }
  // Whether `operation` is the pending one.
  bool pending(const Record& operation) const { return pending_key() == operation_key(operation); }
  // Whether an edit that asks for `operation` may be applied now: always
  // while the pane does not report, else only while it is pending.
  bool may_apply(const Record& operation) const { return !reporting_ || pending(operation); }

  using LinkCells::complete;
  // Completes `operation` while it is the pending one; answers whether it did.
  bool complete(const Record& operation, const Outcome& outcome) {
    // The key is not even written out for a message nobody waits for.
    if (!pending_key()) return false;
    return LinkCells::complete(operation_key(operation), outcome);
  }
};

// Gives a pane (Pane derives from it) its link and the builder steps that
// hand it the application's cells.
template <typename Pane, DeviceLocalRecord Record>
class WithOperationLink {
 public:
  // Takes operations from the application's request cell and works on a
  // document of its own from then on.
  Pane&& with_operation_requests(const std::shared_ptr<DeviceLocalRequestCell>& cell) && {
    link_.take_requests_from(cell);
    return static_cast<Pane&&>(*this);
  }
  // Completes operations in the application's completion cell.
  Pane&& with_operation_completion(const std::shared_ptr<OperationCompletionCell>& cell) && {
    link_.report_to(cell);
    return static_cast<Pane&&>(*this);
  }

  const OperationLink<Record>& link() const { return link_; }
  OperationLink<Record>& link() { return link_; }

 protected:
  OperationLink<Record> link_;
};

}  // namespace settings::operations
