// Failures of the document road. Every one carries a cause in plain French,
// so the front end can show it to the user as it is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace qmk {

class ConversionError : public std::runtime_error {
  public:
    explicit ConversionError(const std::string& frenchCause) : std::runtime_error(frenchCause) {}
};

enum class StreamOp {
    Open,
    Create,
    Position,
    Read,
    Write,
    Flush,
    Sync,
    Close,
    Link,
    Remove,
    Permissions,
};

// A failed file operation: the operation, the path and the OS error (errno).
class StreamError : public ConversionError {
  public:
    StreamError(StreamOp op, std::filesystem::path path, int code);
    // With a cause of its own in place of the errno's text.
    StreamError(StreamOp op, std::filesystem::path path, int code, const std::string& frenchCause);
    StreamOp op() const { return op_; }
    int code() const { return code_; }
    const std::filesystem::path& path() const { return path_; }

  private:
    StreamOp op_;
    std::filesystem::path path_;
    int code_;
};

// A document that ends before what its reader takes: a read past its end, or a
// length found too short before the reading. Nothing past the end is made up.
class TruncatedDocument : public ConversionError {
  public:
    // `length` the document's bytes, `needed` the length the reading needs.
    TruncatedDocument(int64_t length, int64_t needed);
    int64_t length() const { return length_; }
    int64_t needed() const { return needed_; }

  private:
    int64_t length_;
    int64_t needed_;
};

// The worker was asked to stop (the program quits). Not a failure of the file.
class ConversionCancelled : public std::exception {
  public:
    const char* what() const noexcept override { return "conversion interrompue"; }
};

// The OS error as a short French text ("fichier introuvable", …).
std::string FrenchErrnoText(int code);

} // namespace qmk
