#include "model/Globals.h"

#include "platform/Localization.h"

namespace qmk::Globals {

std::optional<FolderItem> lastOpenFolder;

#define QMK_TEXT(name, text)                                                                       \
    std::string name(const std::string& language) {                                                \
        return GetLocalizedString("Globals." #name, text, language);                               \
    }

QMK_TEXT(kDropHere, "Déposez votre fichier ici")
QMK_TEXT(kVersionPro, "Ce document est déjà dans la version Pro 6.2")
QMK_TEXT(kUnknownFileType, "Fichier de type inconnu")
QMK_TEXT(kDocSansTitre, "Sans titre")
QMK_TEXT(kImprSansTitre, "Impression sans titre")
QMK_TEXT(kStatusInit, "Initialisation de la conversion…")
QMK_TEXT(kStatusHeader, "Reprise des entêtes…")
QMK_TEXT(kStatusCurrencies, "Reprise des devises…")
QMK_TEXT(kStatusAccess, "Reprise des accès…")
QMK_TEXT(kStatusAccounts, "Reprise des comptes…")
QMK_TEXT(kStatusEcr, "Reprise du journal…")
QMK_TEXT(kStatusSave, "Enregistrement du document dans la version Pro…")
QMK_TEXT(kConverted, "Le document a été converti !")
QMK_TEXT(kConversionFailed, "La conversion a échoué : ")
QMK_TEXT(kNegativeEcrCount, "nombre d'écritures négatif dans l'en-tête : ")

#undef QMK_TEXT

FramePosition CenterFrame(int64_t availableWidth, int64_t availableHeight, int64_t width,
                          int64_t height) {
    return {(availableWidth - width) / 2, (availableHeight - height) / 3};
}

int64_t getDBVersion(bool v) {
    return v ? 6201 : 6200;
}

} // namespace qmk::Globals
