#include "model/DB_Format.h"

#include "model/Layout.h"
#include "model/Utils.h"

#include <string>

namespace qmk::DB_Format {

void setFreeAccountSlot(CptRecord& r, int64_t i) {
    static const std::string blank = Utils::PString(String(std::string(30, ' ')), 30).bytes;
    r.recNo = static_cast<int32_t>(i);
    r.prevRec = static_cast<int32_t>(i - 1);
    r.nextRec = i == Layout::kLastFreeAccount ? 0 : static_cast<int32_t>(i + 1);
    r.short1 = 0;
    r.name = blank;
    r.wide1 = -1;
    r.CAT = "    ";
}

void setBlankEntry(EcrRecord& r, int64_t i, int64_t n) {
    static const std::string label = Utils::PString(String(std::string(63, ' ')), 63).bytes;
    static const std::string ref = Utils::PString(String(std::string(7, ' ')), 6).bytes + " ";
    r.recNo = static_cast<int32_t>(i);
    r.prevRec = static_cast<int32_t>(i - 1);
    r.nextRec = i == n ? 0 : static_cast<int32_t>(i + 1);
    r.long1 = 0;
    r.label = label;
    r.ref = ref;
    r.short1 = 0;
    r.short2 = 0;
    r.wide1 = 0;
    r.byte1 = 0;
    r.flag1 = false;
    r.flag2 = false;
    r.flag3 = false;
}

} // namespace qmk::DB_Format
