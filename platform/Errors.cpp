#include "platform/Errors.h"

#include <cerrno>

namespace qmk {

std::string FrenchErrnoText(int code) {
    switch (code) {
    case ENOENT:
        return "fichier ou dossier introuvable";
    case EACCES:
    case EPERM:
        return "permission refusée";
    case EEXIST:
        return "le fichier existe déjà";
    case EISDIR:
        return "c'est un dossier, pas un document";
    case ENOTDIR:
        return "un élément du chemin n'est pas un dossier";
    case ENOSPC:
        return "plus de place sur le disque";
    case EDQUOT:
        return "quota du disque dépassé";
    case EROFS:
        return "le disque est en lecture seule";
    case EIO:
        return "erreur d'entrée-sortie du disque";
    case ENAMETOOLONG:
        return "nom de fichier trop long";
    case EMFILE:
    case ENFILE:
        return "trop de fichiers ouverts";
    case EFBIG:
        return "fichier trop grand";
    case EINVAL:
        return "opération invalide";
    case ELOOP:
        return "trop de liens symboliques";
    case EBADF:
        return "le fichier n'est pas ouvert";
    default:
        return "erreur système n° " + std::to_string(code);
    }
}

namespace {

const char* opText(StreamOp op) {
    switch (op) {
    case StreamOp::Open:
        return "impossible d'ouvrir";
    case StreamOp::Create:
        return "impossible de créer";
    case StreamOp::Position:
        return "impossible de se placer dans";
    case StreamOp::Read:
        return "impossible de lire";
    case StreamOp::Write:
        return "impossible d'écrire dans";
    case StreamOp::Flush:
        return "impossible d'enregistrer";
    case StreamOp::Sync:
        return "impossible d'enregistrer sur le disque";
    case StreamOp::Close:
        return "impossible de fermer";
    case StreamOp::Link:
        return "impossible de nommer";
    case StreamOp::Remove:
        return "impossible de supprimer";
    }
    return "erreur sur";
}

} // namespace

StreamError::StreamError(StreamOp op, std::filesystem::path path, int code)
    : StreamError(op, std::move(path), code, FrenchErrnoText(code)) {}

StreamError::StreamError(StreamOp op, std::filesystem::path path, int code,
                         const std::string& frenchCause)
    : ConversionError(std::string(opText(op)) + " « " + path.string() + " » (" + frenchCause + ")"),
      op_(op), path_(std::move(path)), code_(code) {}

} // namespace qmk
