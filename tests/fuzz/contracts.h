// What each command promises whatever it is given: a documented error, or outputs of the
// documented sizes. checkOutcome returns an empty string when the outcome keeps the promise,
// otherwise what is wrong with it.
#pragma once

#include <string>
#include <vector>

#include "loader.h"

namespace fuzz {

std::string checkOutcome(const std::string& command, int nlhs,
                         const std::vector<const mxArray*>& inputs, const testhost::Result& result);

}  // namespace fuzz
