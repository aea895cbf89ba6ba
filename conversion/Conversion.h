// The conversion of one file, headless: the worker's body and the dispatch on the
// document's version word. The caller installs the worker's pacer on its thread.
#pragma once

#include "model/ConversionDocument.h"
#include "model/ConversionHandoff.h"

#include <functional>

namespace qmk {

// Converts the document's file: reads it with the reader of its edition and
// writes the Pro document, or refuses it with a French text in errorMsg.
void conversion(ConversionDocument& d, ConversionHandoff& h);

// What a worker body does with its document; `conversion` unless a test says otherwise.
using ConversionStep = std::function<void(ConversionDocument&, ConversionHandoff&)>;

// The worker body. Does nothing unless `converted` is set; clears it, calls
// startTimer (the interface timer goes on), converts the current file as it is
// now on a document of its own, and sets `converted` again. A failure on the
// way becomes a French message in errorMsg; a stop for quitting leaves
// `converted` false and files nothing. The file is read and the document
// written through `fs`.
void convertThread_Run(ConversionHandoff& h, const std::function<void()>& startTimer,
                       const ConversionStep& step = conversion, FileSystem& fs = RealFileSystem());

} // namespace qmk
