// A byte stream on a file. Big-endian unless LittleEndian is set.
//
// Reads past the end of the file yield zero bytes, so a short document reads
// as if padded with zeros. Every failing operation throws a StreamError that
// carries the OS error and the path; LastErrorCode is 0 after a success.
#pragma once

#include "platform/Errors.h"
#include "platform/FolderItem.h"
#include "platform/Text.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qmk {

class BinaryStream {
  public:
    // Opens the file read-only at position 0. A folder is refused (EISDIR).
    static std::unique_ptr<BinaryStream> Open(const FolderItem& file);
    // Creates the file, exclusively: an existing name throws FileExistsError and
    // the existing file is left untouched.
    static std::unique_ptr<BinaryStream> Create(const FolderItem& file, int mode = 0644);

    ~BinaryStream();
    BinaryStream(const BinaryStream&) = delete;
    BinaryStream& operator=(const BinaryStream&) = delete;

    bool LittleEndian = false;

    int64_t Position() const { return pos_; }
    void SetPosition(int64_t pos);
    int64_t Length() const;
    const std::filesystem::path& path() const { return path_; }
    int LastErrorCode() const { return lastError_; }
    bool IsOpen() const { return fd_ >= 0; }

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
    // n raw bytes; past the end of the file the missing bytes are zero.
    std::string Read(size_t n);

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

    // Hands the buffered bytes to the OS.
    void Flush();
    // Flushes, then asks the OS to put the file on the disk (fsync).
    void Sync();
    // Flushes and closes; closing a closed stream does nothing.
    void Close();

    // Test seam: called before every OS operation of every stream; a non-zero
    // result is taken as the errno of a failure of that operation.
    using FaultHook = std::function<int(StreamOp, const std::filesystem::path&)>;
    static void SetFaultHook(FaultHook hook);
    // What the hook says for an operation done outside a stream (naming a
    // finished file, for instance): 0, or the errno to fail it with.
    static int InjectedFault(StreamOp op, const std::filesystem::path& p);

  private:
    BinaryStream(int fd, std::filesystem::path path, bool writable);
    [[noreturn]] void fail(StreamOp op, int code);
    void check(StreamOp op);
    void readRaw(void* dst, size_t n);
    void writeRaw(const void* src, size_t n);
    template <typename T> T readNumber();
    template <typename T> void writeNumber(T v);

    int fd_ = -1;
    std::filesystem::path path_;
    bool writable_ = false;
    int64_t pos_ = 0;
    int lastError_ = 0;
    // Bytes written but not yet handed to the OS, starting at pendingAt_.
    std::string pending_;
    int64_t pendingAt_ = 0;
};

} // namespace qmk
