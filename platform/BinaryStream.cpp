#include "platform/BinaryStream.h"

#include "platform/ByteOrder.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace qmk {

static_assert(std::endian::native == std::endian::little,
              "the byte images assume a little-endian host");

namespace {

std::mutex hookMutex;
BinaryStream::FaultHook faultHook;

int injected(StreamOp op, const std::filesystem::path& p) {
    std::lock_guard<std::mutex> lock(hookMutex);
    return faultHook ? faultHook(op, p) : 0;
}

} // namespace

void BinaryStream::SetFaultHook(FaultHook hook) {
    std::lock_guard<std::mutex> lock(hookMutex);
    faultHook = std::move(hook);
}

int BinaryStream::InjectedFault(StreamOp op, const std::filesystem::path& p) {
    return injected(op, p);
}

BinaryStream::BinaryStream(int fd, std::filesystem::path path, bool writable)
    : fd_(fd), path_(std::move(path)), writable_(writable) {}

BinaryStream::~BinaryStream() {
    if (fd_ >= 0)
        ::close(fd_); // an unflushed write is dropped: a stream not closed was not finished
}

std::unique_ptr<BinaryStream> BinaryStream::Open(const FolderItem& file) {
    const auto& p = file.path();
    if (int e = injected(StreamOp::Open, p))
        throw StreamError(StreamOp::Open, p, e);
    int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw StreamError(StreamOp::Open, p, errno);
    struct stat st;
    if (fstat(fd, &st) != 0) {
        int e = errno;
        ::close(fd);
        throw StreamError(StreamOp::Open, p, e);
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw StreamError(StreamOp::Open, p, EISDIR);
    }
    return std::unique_ptr<BinaryStream>(new BinaryStream(fd, p, false));
}

std::unique_ptr<BinaryStream> BinaryStream::Create(const FolderItem& file, int mode) {
    const auto& p = file.path();
    if (int e = injected(StreamOp::Create, p)) {
        if (e == EEXIST)
            throw FileExistsError(p);
        throw StreamError(StreamOp::Create, p, e);
    }
    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        if (errno == EEXIST)
            throw FileExistsError(p);
        throw StreamError(StreamOp::Create, p, errno);
    }
    return std::unique_ptr<BinaryStream>(new BinaryStream(fd, p, true));
}

void BinaryStream::fail(StreamOp op, int code) {
    lastError_ = code;
    throw StreamError(op, path_, code);
}

void BinaryStream::check(StreamOp op) {
    if (fd_ < 0)
        fail(op, EBADF);
    if (int e = injected(op, path_))
        fail(op, e);
}

void BinaryStream::SetPosition(int64_t pos) {
    check(StreamOp::Position);
    if (pos < 0)
        fail(StreamOp::Position, EINVAL);
    pos_ = pos;
    lastError_ = 0;
}

int64_t BinaryStream::Length() const {
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0)
        return 0;
    int64_t len = st.st_size;
    if (!pending_.empty())
        len = std::max<int64_t>(len, pendingAt_ + static_cast<int64_t>(pending_.size()));
    return len;
}

void BinaryStream::readRaw(void* dst, size_t n) {
    check(StreamOp::Read);
    if (!pending_.empty())
        Flush();
    auto* out = static_cast<char*>(dst);
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::pread(fd_, out + got, n - got, pos_ + static_cast<int64_t>(got));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            fail(StreamOp::Read, errno);
        }
        if (r == 0)
            break; // end of file: the rest reads as zeros
        got += static_cast<size_t>(r);
    }
    std::memset(out + got, 0, n - got);
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
    size_t done = 0;
    while (done < pending_.size()) {
        ssize_t r = ::pwrite(fd_, pending_.data() + done, pending_.size() - done,
                             pendingAt_ + static_cast<int64_t>(done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            fail(StreamOp::Flush, errno);
        }
        done += static_cast<size_t>(r);
    }
    pending_.clear();
    lastError_ = 0;
}

void BinaryStream::Sync() {
    Flush();
    check(StreamOp::Sync);
    if (::fsync(fd_) != 0)
        fail(StreamOp::Sync, errno);
    lastError_ = 0;
}

void BinaryStream::Close() {
    if (fd_ < 0)
        return;
    if (writable_)
        Flush();
    if (int e = injected(StreamOp::Close, path_)) {
        ::close(fd_);
        fd_ = -1;
        fail(StreamOp::Close, e);
    }
    int r = ::close(fd_);
    fd_ = -1;
    if (r != 0)
        fail(StreamOp::Close, errno);
    lastError_ = 0;
}

} // namespace qmk
