// The in-memory header of the document being converted: typed settings, no behaviour.
#pragma once

#include "platform/Text.h"

#include <cstdint>
#include <vector>

namespace qmk {

using Color = uint32_t;

class VLQmkaProVersion {
  public:
    // Identity, capacity and history
    int16_t version = 0;
    int64_t serialNb = 0;
    bool coded = false;
    bool untilLine = false;
    int64_t maxCptCount = 1001;
    int64_t maxEcrCount = 0;
    int64_t nbModifications = 0;
    String lastBackup = String("000101");
    bool docOpenFlag = false;
    bool notSharedDoc = true;
    int64_t lingua = 0;
    int64_t mypPatNo = 0;
    bool res2 = false;
    int64_t res3 = 0;

    // Number and date format
    int64_t digCount = 0;
    String decPtSign;
    String thSepSign;
    String int0Sign;
    String frac0Sign;
    String dtSepSign;

    // Titles and appearance
    String titre;
    String printTitle;
    String printFont;
    bool merloFont = false;
    String docColor; // a colour written as text, such as "&h00DDDDEE"
    Color actColor = 0;

    // Journal and chart-of-accounts options
    int64_t jrnl_libelSize = 45;
    int64_t jrnl_refSize = 4;
    int64_t plan_nameSize = 25;
    bool accountsAlpha = false;
    uint8_t accountsAlphaNb = 4;
    int64_t bouclDef = 0;
    int64_t catNb = 0;
    bool showBCLT = false;
    std::vector<int64_t> wOrdre; // upper bound = size() - 1

    // Currency and VAT switches
    bool change = false;
    bool changePropose = false;
    bool ignoreChange = false;
    bool ignoreTVA = false;
    bool TVA = false;
    uint16_t TVAControl = 0;

    // View geometry: chart of accounts
    int64_t plan_top = 0, plan_left = 0, plan_height = 0, plan_size = 0;
    int64_t plan_1stline = 0, plan_actLine = 0;
    bool plan_res = false, plan_zoomed = false;
    // journal
    int64_t jrnl_top = 0, jrnl_left = 0, jrnl_height = 0, jrnl_size = 0;
    int64_t jrnl_1stline = 0, jrnl_actLine = 0;
    bool jrnl_res = false, jrnl_zoomed = false;
    // balance
    int64_t bal_top = 0, bal_left = 0, bal_height = 0, bal_size = 0;
    int64_t bal_1stline = 0, bal_actLine = 0;
    bool bal_res = false, bal_zoomed = false;
    // currencies
    int64_t currencies_top = 0, currencies_left = 0, currencies_height = 0, curr_Size = 0;
    int64_t currencies_1stline = 0, currencies_actLine = 0;
    bool currencies_res = false, currencies_zoomed = false;
    // first ledger extract
    uint16_t extr1_top = 0;
    int16_t extr1_left = 0;
    uint16_t extr1_height = 0;
    int16_t extr1_size = 0;
    uint16_t extr1_1stline = 0, extr1_actLine = 0;
    bool extr1_res = false, extr1_zoomed = false;
    int16_t extr1_actCpte = 0;
    // second ledger extract
    uint16_t extr2_top = 0;
    int16_t extr2_left = 0;
    uint16_t extr2_height = 0;
    int16_t extr2_size = 0;
    uint16_t extr2_1stline = 0, extr2_actLine = 0;
    bool extr2_res = false, extr2_zoomed = false;
    int16_t extr2_actCpte = 0;
    // search
    uint16_t search_top = 0, search_left = 0, search_height = 0;
    int64_t search_size = 0;
    // clipboard view
    int64_t clip_top = 0, clip_left = 0, clip_height = 0, clip_actLine = 0;
    bool clip_res = false, clip_zoomed = false;
};

} // namespace qmk
