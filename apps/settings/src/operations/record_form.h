#pragma once

// How a record's form is made into its reader and writer (read_record,
// write_record of records.h), for the file that describes the form: its
// describe() overloads first, then SETTINGS_OPERATIONS_RECORD(Record) once.
// records.cpp describes the records there are; a new record may live in a
// file pair of its own (operations/<name>.{h,cpp}) that does the same.

#include <string>
#include <string_view>

#include "codec/codec.h"
#include "kalu_ui/result.h"

namespace settings::operations {

template <typename R>
kalu_ui::Result<R> read_record(std::string_view text) {
  return codec::from_json<R>(text);
}

template <typename R>
std::string write_record(const R& record) {
  return codec::to_json(record);
}

}  // namespace settings::operations

// The reader and writer of `R`, made where its form is described. Write it
// inside `namespace settings::operations`, beside the describe() overloads, as
// records.cpp does: `R` is looked up where the macro stands, so a record named
// there without its namespace is found only inside it.
#define SETTINGS_OPERATIONS_RECORD(R)                                                      \
  template kalu_ui::Result<R> settings::operations::read_record<R>(std::string_view text); \
  template std::string settings::operations::write_record<R>(const R& record);
