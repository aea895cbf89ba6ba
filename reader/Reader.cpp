// Placeholder until the reader lands.
#include "reader/Reader.h"

#include <stdexcept>

namespace qmk {
#define QMK_TODO(sig)                                                                            \
    sig { throw std::logic_error(#sig " is not built yet"); }
QMK_TODO(void ResetQmkaVersion(ConversionState&))
QMK_TODO(void QMXreadQmkaVrs(ConversionState&))
QMK_TODO(void QM32readQmkaVrs(ConversionState&))
QMK_TODO(void QM32ProreadQmkaVrs(ConversionState&))
QMK_TODO(void QMClassicreadQmkaVrs(ConversionState&))
QMK_TODO(void QM30readQmkaVrs(ConversionState&))
QMK_TODO(void QM21readQmkaVrs(ConversionState&))
QMK_TODO(void QM19readQmkaVrs(ConversionState&))
QMK_TODO(void ReadCurrencies(ConversionState&))
QMK_TODO(void QMXReadAccess(ConversionState&))
QMK_TODO(void QMXReadAccounts(ConversionState&))
QMK_TODO(void initAccounts(ConversionState&))
QMK_TODO(void QMXReadEcr(ConversionState&, int64_t))
QMK_TODO(void initEcr(ConversionState&, int64_t))
QMK_TODO(void ReadQuillmarkXDoc(ConversionState&))
QMK_TODO(void ReadQuillmark32Doc(ConversionState&))
} // namespace qmk
