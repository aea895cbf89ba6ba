// The legacy document reader: operations on the worker's document that load a
// Plus / X or 3.2 document into it, posting their progress. Worker thread only.
#pragma once

#include "model/ConversionDocument.h"
#include "model/ConversionHandoff.h"

#include <cstdint>

namespace qmk {

// Working defaults of a fresh header record.
void ResetQmkaVersion(ConversionDocument& s);

// Header readers.
void QMXreadQmkaVrs(ConversionDocument& s, StatusPoster& post);
void QM32readQmkaVrs(ConversionDocument& s, StatusPoster& post);
// Older editions: the header status only.
void QM32ProreadQmkaVrs(StatusPoster& post);
void QMClassicreadQmkaVrs(StatusPoster& post);
void QM30readQmkaVrs(StatusPoster& post);
void QM21readQmkaVrs(StatusPoster& post);
void QM19readQmkaVrs(StatusPoster& post);

// Record regions.
void ReadCurrencies(ConversionDocument& s, StatusPoster& post);
void QMXReadAccess(ConversionDocument& s, StatusPoster& post);
void QMXReadAccounts(ConversionDocument& s, StatusPoster& post);
void initAccounts(ConversionDocument& s);
void QMXReadEcr(ConversionDocument& s, StatusPoster& post, EntryCount n);
void initEcr(ConversionDocument& s, EntryCount n);

// Edition drivers.
void ReadQuillmarkXDoc(ConversionDocument& s, StatusPoster& post);
void ReadQuillmark32Doc(ConversionDocument& s, StatusPoster& post);

} // namespace qmk
