// The conversion of one file, headless: the worker's body and the dispatch on the
// document's version word. The caller installs the worker's pacer on its thread.
#pragma once

#include "model/ConversionState.h"

#include <functional>

namespace qmk {

// Converts the current file: reads it with the reader of its edition and writes
// the Pro document, or refuses it with a French text in errorMsg.
void conversion(ConversionState& s);

// The worker body. Does nothing unless `converted` is set; clears it, calls
// startTimer (the interface timer goes on), converts, and sets `converted`
// again. A failure on the way becomes a French message in errorMsg.
void convertThread_Run(ConversionState& s, const std::function<void()>& startTimer);

} // namespace qmk
