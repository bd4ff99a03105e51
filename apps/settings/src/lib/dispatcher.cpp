#include "lib/dispatcher.h"

#include <utility>

namespace settings::lib {

std::shared_ptr<system_ops::Dispatcher> dispatcher_or_default(
    std::shared_ptr<system_ops::Dispatcher> dispatcher) {
  if (dispatcher) return dispatcher;
  return std::make_shared<system_ops::RealDispatcher>();
}

}  // namespace settings::lib
