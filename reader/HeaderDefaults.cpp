// The working defaults every conversion starts from, before the edition's header
// reader overwrites what the document holds.
#include "model/Globals.h"
#include "platform/Errors.h"
#include "reader/Reader.h"

namespace qmk {

void ResetQmkaVersion(ConversionDocument& s) {
    VLQmkaProVersion& h = s.header();

    // Identity, capacity and number format.
    h.version = static_cast<int16_t>(Globals::getDBVersion(false));
    h.serialNb = 12000;
    h.coded = false;
    h.untilLine = true;
    h.maxCptCount = 1001;
    h.maxEcrCount = 8000;
    h.digCount = 2;
    h.decPtSign = ".";
    h.thSepSign = "'";
    h.int0Sign = "-";
    h.frac0Sign = "-";
    h.dtSepSign = ".";

    // Titles, appearance and options.
    h.titre = ConvertEncoding(String(Globals::kDocSansTitre().c_str()), TextEncoding::MacRoman);
    h.printTitle =
        ConvertEncoding(String(Globals::kImprSansTitre().c_str()), TextEncoding::MacRoman);
    h.docColor = "&h00DDDDEE";
    h.merloFont = true;
    h.jrnl_libelSize = 45;
    h.jrnl_refSize = 4;
    h.accountsAlpha = false;
    h.accountsAlphaNb = 4;
    h.plan_nameSize = 25;
    h.docOpenFlag = false;
    h.bouclDef = 0;
    h.catNb = 0;
    h.showBCLT = false;
    h.notSharedDoc = true;
    h.res2 = false;
    h.res3 = 0;
    h.wOrdre.clear();

    // Currency and VAT switches.
    h.change = false;
    h.changePropose = false;
    h.ignoreChange = true;
    h.ignoreTVA = true;
    h.TVA = false;
    h.TVAControl = 0;

    // View geometry.
    h.plan_top = 43;
    h.plan_left = 620;
    h.plan_height = 450;
    h.plan_size = 13;
    h.plan_zoomed = false;
    h.plan_res = false;
    h.plan_1stline = 0;
    h.plan_actLine = 0;

    h.jrnl_top = 43;
    h.jrnl_left = 0;
    h.jrnl_height = 480;
    h.jrnl_size = 13;
    h.jrnl_zoomed = false;
    h.jrnl_res = false;
    h.jrnl_1stline = 0;
    h.jrnl_actLine = 0;

    h.bal_top = 515;
    h.bal_left = 620;
    h.bal_height = 250;
    h.bal_size = 13;
    h.bal_zoomed = false;
    h.bal_res = false;
    h.bal_1stline = 0;
    h.bal_actLine = 0;

    h.currencies_top = 470;
    h.currencies_left = 700;
    h.currencies_height = 300;
    h.curr_Size = 13;
    h.currencies_zoomed = false;
    h.currencies_res = false;
    h.currencies_1stline = 0;
    h.currencies_actLine = 0;

    h.extr1_top = 545;
    h.extr1_left = 0;
    h.extr1_height = 200;
    h.extr1_size = 13;
    h.extr1_zoomed = false;
    h.extr1_res = false;
    h.extr1_1stline = 0;
    h.extr1_actLine = 0;
    h.extr1_actCpte = 0;

    h.extr2_top = 565;
    h.extr2_left = 10;
    h.extr2_height = 200;
    h.extr2_size = 13;
    h.extr2_zoomed = false;
    h.extr2_res = false;
    h.extr2_1stline = 0;
    h.extr2_actLine = 0;
    h.extr2_actCpte = 0;
}

} // namespace qmk
