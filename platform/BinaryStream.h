// A byte stream on an open file of a FileSystem. Big-endian unless LittleEndian
// is set.
//
// A read that would run past the end of the file reads nothing and throws a
// TruncatedDocument: no byte is ever made up for a document cut short. Every
// other failing operation throws a StreamError that carries the OS error and the
// path the user knows; LastErrorCode is 0 after a success.
#pragma once

#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/FolderItem.h"
#include "platform/Text.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qmk {

class BinaryStream {
  public:
    // Opens a regular file read-only at position 0. A folder, a FIFO, a device
    // or a socket is refused with a French cause, without waiting on it.
    static std::unique_ptr<BinaryStream> Open(const FolderItem& file,
                                              FileSystem& fs = RealFileSystem());

    // A stream on a file already open; errors name it as `shownAs`.
    BinaryStream(std::unique_ptr<File> file, std::filesystem::path shownAs, bool writable);
    ~BinaryStream();
    BinaryStream(const BinaryStream&) = delete;
    BinaryStream& operator=(const BinaryStream&) = delete;

    bool LittleEndian = false;

    int64_t Position() const { return pos_; }
    void SetPosition(int64_t pos);
    const std::filesystem::path& path() const { return path_; }
    void setShownPath(std::filesystem::path p) { path_ = std::move(p); }
    int LastErrorCode() const { return lastError_; }
    bool IsOpen() const { return open_; }
    // The open file, for naming or inspecting it.
    File& file() { return *file_; }
    // What the file was when Open opened it; none for a stream made otherwise.
    const std::optional<FileInfo>& info() const { return info_; }

    int8_t ReadInt8();
    uint8_t ReadUInt8();
    int16_t ReadInt16();
    uint16_t ReadUInt16();
    int32_t ReadInt32();
    uint32_t ReadUInt32();
    int64_t ReadInt64();
    bool ReadBoolean(); // one byte; anything but 0 is True
    // A length byte, then that many bytes, tagged with `encoding`.
    String ReadPString(TextEncoding encoding);
    // n raw bytes.
    std::string Read(size_t n);

    // The file's length in bytes, as it is now.
    int64_t Length();
    // Fails as a read past the end would when the file holds fewer than
    // `length` bytes, so a reader can refuse a short document before it reads.
    void RequireLength(int64_t length);

    void WriteInt8(int8_t v);
    void WriteUInt8(uint8_t v);
    void WriteInt16(int16_t v);
    void WriteUInt16(uint16_t v);
    void WriteInt32(int32_t v);
    void WriteUInt32(uint32_t v);
    void WriteInt64(int64_t v);
    void WriteBoolean(bool v); // the byte 1 or 0
    // The length byte (the low 8 bits of the byte count), then the bytes.
    void WritePString(const String& s);
    void Write(std::string_view bytes);

    // Hands the buffered bytes to the file.
    void Flush();
    // Flushes, then asks for the file's data on the disk.
    void Sync();
    // Flushes and closes; closing a closed stream does nothing.
    void Close();

    // The file's four-character codes; empty when it has none.
    std::string MacCreator();
    // False when the file system keeps no codes; the file is then left as it was.
    bool SetMacTypeAndCreator(const std::string& type, const std::string& creator);

  private:
    [[noreturn]] void fail(StreamOp op, int code);
    void check(StreamOp op);
    void readRaw(void* dst, size_t n);
    void writeRaw(const void* src, size_t n);
    template <typename T> T readNumber();
    template <typename T> void writeNumber(T v);

    std::unique_ptr<File> file_;
    std::filesystem::path path_;
    std::optional<FileInfo> info_;
    bool writable_ = false;
    bool open_ = true;
    int64_t pos_ = 0;
    int lastError_ = 0;
    // Bytes written but not yet handed to the file, starting at pendingAt_.
    std::string pending_;
    int64_t pendingAt_ = 0;
};

} // namespace qmk
