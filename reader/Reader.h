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

// Edition drivers.
void ReadQuillmarkXDoc(ConversionState& s);
void ReadQuillmark32Doc(ConversionState& s);

} // namespace qmk
