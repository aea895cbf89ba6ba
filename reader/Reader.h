// The legacy document reader: operations on the conversion state that load a
// Plus / X or 3.2 document into it. Worker thread only.
#pragma once

#include "model/ConversionState.h"

#include <cstdint>

namespace qmk {

// Working defaults of a fresh header record.
void ResetQmkaVersion(ConversionState& s);

// Header readers.
void QMXreadQmkaVrs(ConversionState& s);
void QM32readQmkaVrs(ConversionState& s);
// Older editions: the header status only.
void QM32ProreadQmkaVrs(ConversionState& s);
void QMClassicreadQmkaVrs(ConversionState& s);
void QM30readQmkaVrs(ConversionState& s);
void QM21readQmkaVrs(ConversionState& s);
void QM19readQmkaVrs(ConversionState& s);

// Record regions.
void ReadCurrencies(ConversionState& s);
void QMXReadAccess(ConversionState& s);
void QMXReadAccounts(ConversionState& s);
void initAccounts(ConversionState& s);
void QMXReadEcr(ConversionState& s, int64_t n);
void initEcr(ConversionState& s, int64_t n);

// The values the two initialisers give one record, in place; the record's other
// fields keep what they hold. The writer uses them for regions no reader filled.
void setFreeAccountSlot(DB_Format::CptRecord& r, int64_t i);       // free slot i of 1..10001
void setBlankEntry(DB_Format::EcrRecord& r, int64_t i, int64_t n); // entry i of 1..n

// Edition drivers.
void ReadQuillmarkXDoc(ConversionState& s);
void ReadQuillmark32Doc(ConversionState& s);

} // namespace qmk
