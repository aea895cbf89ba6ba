// The Pro document writer: operations on the worker's document that write it as
// a new Pro document beside its source. Worker thread only.
#pragma once

#include "model/ConversionDocument.h"
#include "model/ConversionHandoff.h"
#include "platform/BinaryStream.h"
#include "platform/FileType.h"
#include "platform/MemoryBlock.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qmk {

// Writes the document under a free ".qmkp" name in the folder of its file,
// posting its status and recording the written file in the hand-off.
void save(ConversionDocument& s, ConversionHandoff& h);
// The 512-byte header.
void saveQmkaVrs(ConversionDocument& s, BinaryStream& out);
// The record regions.
void saveCurrencies(ConversionDocument& s);
void saveAccess(ConversionDocument& s);
void saveAccounts(ConversionDocument& s);
void saveEcr(ConversionDocument& s);
// Writes the whole buffer at the stream's position and flushes; the stream's last error code.
int64_t SaveBlock(ConversionDocument& s, const MemoryBlock& block);

// The file's name without its extension: what follows the last dot is cut,
// unless the only dot is the first character.
std::string NameWithoutExtension(const FolderItem& f);

// The Pro document file type set.
namespace VLQmka {
void Initialize();
const FileType& QuillProDoc();
const std::vector<FileType>& pAllFileTypes();
} // namespace VLQmka

} // namespace qmk
