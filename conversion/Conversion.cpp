// Placeholder until the conversion lands.
#include "conversion/Conversion.h"

#include <stdexcept>

namespace qmk {
void conversion(ConversionState&) { throw std::logic_error("conversion is not built yet"); }
void convertThread_Run(ConversionState& s, const std::function<void()>& startTimer) {
    if (!s.converted.load())
        return;
    s.converted = false;
    if (startTimer)
        startTimer();
    conversion(s);
    s.converted = true;
}
} // namespace qmk
