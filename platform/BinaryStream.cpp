#include "platform/BinaryStream.h"

#include "platform/ByteOrder.h"

#include <algorithm>
#include <bit>
#include <cerrno>

namespace qmk {

static_assert(std::endian::native == std::endian::little,
              "the byte images assume a little-endian host");

namespace {

// Why a file that is not a regular one is no document.
const char* notADocument(FileInfo::Kind k) {
    switch (k) {
    case FileInfo::Kind::Regular:
        return nullptr;
    case FileInfo::Kind::Folder:
        return nullptr; // the errno text of EISDIR says it
    case FileInfo::Kind::Fifo:
        return "c'est un tube nommé, pas un document";
    case FileInfo::Kind::Device:
        return "c'est un périphérique, pas un document";
    case FileInfo::Kind::Socket:
        return "c'est une socket, pas un document";
    case FileInfo::Kind::Other:
        break;
    }
    return "ce n'est pas un fichier ordinaire";
}

} // namespace

std::unique_ptr<BinaryStream> BinaryStream::Open(const FolderItem& file, FileSystem& fs) {
    const auto& p = file.path();
    std::unique_ptr<File> f;
    if (int e = fs.openRead(p, f))
        throw StreamError(StreamOp::Open, p, e);
    FileInfo info;
    if (int e = f->stat(info))
        throw StreamError(StreamOp::Open, p, e);
    if (info.kind == FileInfo::Kind::Folder)
        throw StreamError(StreamOp::Open, p, EISDIR);
    if (const char* cause = notADocument(info.kind))
        throw StreamError(StreamOp::Open, p, EINVAL, cause);
    auto s = std::make_unique<BinaryStream>(std::move(f), p, false);
    s->info_ = info;
    return s;
}

BinaryStream::BinaryStream(std::unique_ptr<File> file, std::filesystem::path shownAs, bool writable)
    : file_(std::move(file)), path_(std::move(shownAs)), writable_(writable) {}

BinaryStream::~BinaryStream() {
    // An unflushed write is dropped: a stream not closed was not finished.
    if (open_)
        file_->close();
}

void BinaryStream::fail(StreamOp op, int code) {
    lastError_ = code;
    throw StreamError(op, path_, code);
}

void BinaryStream::check(StreamOp op) {
    if (!open_)
        fail(op, EBADF);
}

void BinaryStream::SetPosition(int64_t pos) {
    check(StreamOp::Position);
    if (pos < 0)
        fail(StreamOp::Position, EINVAL);
    pos_ = pos;
    lastError_ = 0;
}

void BinaryStream::readRaw(void* dst, size_t n) {
    check(StreamOp::Read);
    if (!pending_.empty())
        Flush();
    auto* out = static_cast<char*>(dst);
    size_t got = 0;
    if (int e = file_->readAt(pos_, out, n, got))
        fail(StreamOp::Read, e);
    if (got < n) // the file ends inside the read: got is short only there
        throw TruncatedDocument(got > 0 ? pos_ + static_cast<int64_t>(got) : Length(),
                                pos_ + static_cast<int64_t>(n));
    pos_ += static_cast<int64_t>(n);
    lastError_ = 0;
}

template <typename T> T BinaryStream::readNumber() {
    unsigned char b[sizeof(T)];
    readRaw(b, sizeof b);
    return loadInt<T>(b, LittleEndian);
}

int8_t BinaryStream::ReadInt8() {
    return readNumber<int8_t>();
}
uint8_t BinaryStream::ReadUInt8() {
    return readNumber<uint8_t>();
}
int16_t BinaryStream::ReadInt16() {
    return readNumber<int16_t>();
}
uint16_t BinaryStream::ReadUInt16() {
    return readNumber<uint16_t>();
}
int32_t BinaryStream::ReadInt32() {
    return readNumber<int32_t>();
}
uint32_t BinaryStream::ReadUInt32() {
    return readNumber<uint32_t>();
}
int64_t BinaryStream::ReadInt64() {
    return readNumber<int64_t>();
}
bool BinaryStream::ReadBoolean() {
    return readNumber<uint8_t>() != 0;
}

String BinaryStream::ReadPString(TextEncoding encoding) {
    uint8_t n = ReadUInt8();
    return String(Read(n), encoding);
}

std::string BinaryStream::Read(size_t n) {
    std::string s(n, '\0');
    readRaw(s.data(), n);
    return s;
}

int64_t BinaryStream::Length() {
    check(StreamOp::Read);
    if (!pending_.empty())
        Flush();
    FileInfo info;
    if (int e = file_->stat(info))
        fail(StreamOp::Read, e);
    lastError_ = 0;
    return info.size;
}

void BinaryStream::RequireLength(int64_t length) {
    const int64_t have = Length();
    if (have < length)
        throw TruncatedDocument(have, length);
}

void BinaryStream::writeRaw(const void* src, size_t n) {
    check(StreamOp::Write);
    if (!writable_)
        fail(StreamOp::Write, EBADF);
    if (!pending_.empty() && pendingAt_ + static_cast<int64_t>(pending_.size()) != pos_)
        Flush();
    if (pending_.empty())
        pendingAt_ = pos_;
    pending_.append(static_cast<const char*>(src), n);
    pos_ += static_cast<int64_t>(n);
    lastError_ = 0;
}

template <typename T> void BinaryStream::writeNumber(T v) {
    unsigned char b[sizeof(T)];
    storeInt(b, v, LittleEndian);
    writeRaw(b, sizeof b);
}

void BinaryStream::WriteInt8(int8_t v) {
    writeNumber(v);
}
void BinaryStream::WriteUInt8(uint8_t v) {
    writeNumber(v);
}
void BinaryStream::WriteInt16(int16_t v) {
    writeNumber(v);
}
void BinaryStream::WriteUInt16(uint16_t v) {
    writeNumber(v);
}
void BinaryStream::WriteInt32(int32_t v) {
    writeNumber(v);
}
void BinaryStream::WriteUInt32(uint32_t v) {
    writeNumber(v);
}
void BinaryStream::WriteInt64(int64_t v) {
    writeNumber(v);
}
void BinaryStream::WriteBoolean(bool v) {
    WriteUInt8(v ? 1 : 0);
}

void BinaryStream::WritePString(const String& s) {
    WriteUInt8(static_cast<uint8_t>(s.bytes.size() & 0xFF));
    Write(s.bytes);
}

void BinaryStream::Write(std::string_view bytes) {
    writeRaw(bytes.data(), bytes.size());
}

void BinaryStream::Flush() {
    check(StreamOp::Flush);
    if (!pending_.empty()) {
        if (int e = file_->writeAt(pendingAt_, pending_.data(), pending_.size()))
            fail(StreamOp::Flush, e);
        pending_.clear();
    }
    lastError_ = 0;
}

void BinaryStream::Sync() {
    Flush();
    if (int e = file_->sync())
        fail(StreamOp::Sync, e);
    lastError_ = 0;
}

void BinaryStream::Close() {
    if (!open_)
        return;
    if (writable_)
        Flush();
    open_ = false;
    if (int e = file_->close())
        fail(StreamOp::Close, e);
    lastError_ = 0;
}

std::string BinaryStream::MacCreator() {
    FinderInfo info;
    bool present = false;
    // Codes that cannot be read count as none, as for a file without any.
    if (!open_ || file_->readFinderInfo(info, present) != 0 || !present)
        return {};
    return FinderCode(info, 4);
}

bool BinaryStream::SetMacTypeAndCreator(const std::string& type, const std::string& creator) {
    check(StreamOp::Write);
    FinderInfo info;
    bool present = false;
    if (int e = file_->readFinderInfo(info, present))
        fail(StreamOp::Write, e); // keep the other 24 bytes as they are, or write nothing
    SetFinderCodes(info, type, creator);
    const int e = file_->writeFinderInfo(info);
    if (e == 0)
        return true;
    if (KeepsNoFinderInfo(e))
        return false;
    fail(StreamOp::Write, e);
}

} // namespace qmk
