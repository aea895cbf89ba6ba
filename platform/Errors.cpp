#include "platform/Errors.h"

#include <cerrno>

namespace qmk {

std::string FrenchErrnoText(int code) {
    // EWOULDBLOCK is EAGAIN and ENOTSUP is EOPNOTSUPP on Linux; elsewhere they
    // may differ, and each gets the same text.
    if (code == EWOULDBLOCK)
        code = EAGAIN;
    if (code == ENOTSUP)
        code = EOPNOTSUPP;
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
    case ENXIO:
        return "ce n'est pas un fichier ordinaire (périphérique absent ou socket)";
    case ENODEV:
        return "aucun périphérique ne correspond à ce fichier";
    case EXDEV:
        return "le fichier et sa destination ne sont pas sur le même disque";
    case EBUSY:
        return "le fichier ou le dossier est occupé";
    case ETXTBSY:
        return "le fichier est en cours d'utilisation";
    case EAGAIN:
        return "le fichier est momentanément indisponible";
    case EINTR:
        return "opération interrompue";
    case EOVERFLOW:
        return "fichier trop grand pour être lu";
    case EMLINK:
        return "trop de liens vers ce fichier";
    case EOPNOTSUPP:
        return "opération non prise en charge par ce disque";
    case ENOSYS:
        return "opération non prise en charge par le système";
    case ESTALE:
        return "le fichier n'est plus disponible sur le disque réseau";
    case ENOTEMPTY:
        return "le dossier n'est pas vide";
    case EFAULT:
        return "adresse mémoire invalide";
    case EDEADLK:
        return "verrou du fichier impossible sans interblocage";
    case ENOLCK:
        return "plus de verrou de fichier disponible";
    case ENOMEM:
        return "mémoire insuffisante";
    case ESPIPE:
        return "position impossible dans ce fichier";
    case EPIPE:
        return "la connexion au fichier a été rompue";
    case ETIMEDOUT:
        return "le disque ne répond pas (délai dépassé)";
    case ENODATA:
        return "donnée absente";
    case ERANGE:
        return "donnée trop grande";
    case E2BIG:
        return "liste d'arguments trop longue";
    case ENOTCONN:
        return "le disque réseau n'est pas connecté";
    case ECONNRESET:
        return "la connexion au disque réseau a été réinitialisée";
    case EHOSTDOWN:
    case EHOSTUNREACH:
        return "le serveur du disque réseau est injoignable";
    case ECANCELED:
        return "opération annulée";
#ifdef EREMOTEIO
    case EREMOTEIO:
        return "erreur d'entrée-sortie du disque réseau";
#endif
#ifdef ENOMEDIUM
    case ENOMEDIUM:
        return "aucun support dans le lecteur";
#endif
#ifdef EUCLEAN
    case EUCLEAN:
        return "le disque doit être réparé";
#endif
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
    case StreamOp::Permissions:
        return "impossible de régler les droits d'accès de";
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

namespace {

std::string truncatedText(int64_t length, int64_t needed) {
    // French counts 0 and 1 in the singular.
    return "document tronqué (" + std::to_string(length) + (length > 1 ? " octets" : " octet") +
           ", il en faut " + std::to_string(needed) + ")";
}

} // namespace

TruncatedDocument::TruncatedDocument(int64_t length, int64_t needed)
    : ConversionError(truncatedText(length, needed)), length_(length), needed_(needed) {}

} // namespace qmk
