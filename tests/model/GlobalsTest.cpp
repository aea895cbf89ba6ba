#include "model/Globals.h"
#include "platform/Localization.h"

#include <gtest/gtest.h>

namespace qmk {
namespace {

TEST(GlobalsTest, TextsAndTheirKeys) {
    struct Case {
        std::string (*fn)(const std::string&);
        const char* key;
        const char* text;
    } cases[] = {
        {Globals::kDropHere, "Globals.kDropHere", "Déposez votre fichier ici"},
        {Globals::kVersionPro, "Globals.kVersionPro",
         "Ce document est déjà dans la version Pro 6.2"},
        {Globals::kUnknownFileType, "Globals.kUnknownFileType", "Fichier de type inconnu"},
        {Globals::kDocSansTitre, "Globals.kDocSansTitre", "Sans titre"},
        {Globals::kImprSansTitre, "Globals.kImprSansTitre", "Impression sans titre"},
        {Globals::kStatusInit, "Globals.kStatusInit", "Initialisation de la conversion\u2026"},
        {Globals::kStatusHeader, "Globals.kStatusHeader", "Reprise des ent\u00eates\u2026"},
        {Globals::kStatusCurrencies, "Globals.kStatusCurrencies", "Reprise des devises\u2026"},
        {Globals::kStatusAccess, "Globals.kStatusAccess", "Reprise des acc\u00e8s\u2026"},
        {Globals::kStatusAccounts, "Globals.kStatusAccounts", "Reprise des comptes\u2026"},
        {Globals::kStatusEcr, "Globals.kStatusEcr", "Reprise du journal\u2026"},
        {Globals::kStatusSave, "Globals.kStatusSave",
         "Enregistrement du document dans la version Pro\u2026"},
        {Globals::kConverted, "Globals.kConverted", "Le document a \u00e9t\u00e9 converti !"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.fn(""), c.text) << c.key;
        StoreLocalizedString(c.key, "", "stored");
        EXPECT_EQ(c.fn(""), "stored") << c.key;
    }
    ClearLocalizedStrings();
}

TEST(GlobalsTest, CenterFrameTruncatesTowardZero) {
    auto p = Globals::CenterFrame(1440, 877, 388, 234);
    EXPECT_EQ(p.left, 526);
    EXPECT_EQ(p.top, 214);
    auto n = Globals::CenterFrame(300, 229, 388, 234);
    EXPECT_EQ(n.left, -44);
    EXPECT_EQ(n.top, -1);
}

TEST(GlobalsTest, DbVersion) {
    EXPECT_EQ(Globals::getDBVersion(true), 6201);
    EXPECT_EQ(Globals::getDBVersion(false), 6200);
}

} // namespace
} // namespace qmk
