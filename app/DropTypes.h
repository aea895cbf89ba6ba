// The drop file type set: one type that stands for files of any type.
#pragma once

#include "platform/FileType.h"

#include <vector>

namespace qmk::DropTypes {

// Creates the type and registers it; runs once at start-up, before the Pro type set.
void Initialize();
// The set's one type; its Name is empty before Initialize.
const FileType& Any();
const std::vector<FileType>& pAllFileTypes();

} // namespace qmk::DropTypes
