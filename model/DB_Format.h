// The record images of the Pro document. Each structure is the exact byte image
// of one record; numbers are held in host order and turned into the big-endian
// image when serialised.
#pragma once

#include "platform/ByteOrder.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qmk::DB_Format {

static_assert(std::endian::native == std::endian::little);

#pragma pack(push, 1)

// A fixed number of raw bytes. Assigning a byte string replaces the whole slot:
// the bytes as far as the slot reaches, then zeros to its end.
template <size_t N> struct TextSlot {
    char bytes[N];
    TextSlot& operator=(std::string_view s) {
        size_t n = std::min(N, s.size());
        if (n)
            std::memcpy(bytes, s.data(), n);
        std::memset(bytes + n, 0, N - n);
        return *this;
    }
    std::string_view view() const { return {bytes, N}; }
};

// Shared image operations: the records differ only in which fields EndianSwap reverses.
template <typename Rec> struct Image {
    // Flag true: the little-endian (host) image; false: the big-endian image.
    std::string StringValue(bool little) const {
        std::string image(sizeof(Rec), '\0');
        CopyImage(little, image.data());
        return image;
    }
    // The same image, into the sizeof(Rec) bytes at `out`.
    void CopyImage(bool little, void* out) const {
        Rec copy = static_cast<const Rec&>(*this);
        if (!little)
            copy.EndianSwap();
        std::memcpy(out, static_cast<const void*>(&copy), sizeof(Rec));
    }
    // Loads the record from an image; a shorter image leaves the rest zero.
    void StringValue(bool little, std::string_view image) {
        auto& self = static_cast<Rec&>(*this);
        size_t n = std::min(sizeof(Rec), image.size());
        std::memset(static_cast<void*>(&self), 0, sizeof(Rec));
        if (n)
            std::memcpy(static_cast<void*>(&self), image.data(), n);
        if (!little)
            self.EndianSwap();
    }
};

struct CatRec : Image<CatRec> {
    uint32_t long1 = 0;
    int16_t short1 = 0;
    int64_t wide1 = 0;
    int64_t wide2 = 0;
    bool flag1 = false;
    bool flag2 = false;
    void EndianSwap() {
        long1 = byteswap(long1);
        short1 = byteswap(short1);
        wide1 = byteswap(wide1);
        wide2 = byteswap(wide2);
    }
};

struct AccessRec : Image<AccessRec> {
    char bytes1[2] = {};
    int16_t short1 = 0;
    char bytes2[38] = {};
    void EndianSwap() { short1 = byteswap(short1); }
};

struct BouclPlanRecord : Image<BouclPlanRecord> {
    int16_t short1 = 0;
    int16_t short2 = 0;
    void EndianSwap() {
        short1 = byteswap(short1);
        short2 = byteswap(short2);
    }
};

// The four closing-plan pairs of an account; element i lies at 80 + 4 i.
struct BouclArray {
    BouclPlanRecord e[4];
    BouclPlanRecord& operator()(int64_t i) {
        check(i);
        return e[i];
    }
    const BouclPlanRecord& operator()(int64_t i) const {
        check(i);
        return e[i];
    }
    static void check(int64_t i) {
        if (i < 0 || i > 3)
            throw std::out_of_range("boucl: index " + std::to_string(i) + " outside 0..3");
    }
};

struct CptRecord : Image<CptRecord> {
    int32_t recNo = 0;
    int32_t prevRec = 0;
    int32_t nextRec = 0;
    int16_t short1 = 0;
    char spare[10] = {};
    TextSlot<32> name = {};
    bool flag1 = false;
    uint8_t byte1 = 0;
    TextSlot<4> CAT = {};
    int16_t short2 = 0;
    int16_t short3 = 0;
    bool flag2 = false;
    bool flag3 = false;
    int64_t wide1 = 0;
    int16_t short4 = 0;
    bool flag4 = false;
    uint8_t byte2 = 0;
    BouclArray boucl = {};
    TextSlot<32> res = {};
    void EndianSwap() {
        recNo = byteswap(recNo);
        prevRec = byteswap(prevRec);
        nextRec = byteswap(nextRec);
        short1 = byteswap(short1);
        short2 = byteswap(short2);
        short3 = byteswap(short3);
        wide1 = byteswap(wide1);
        short4 = byteswap(short4);
        for (int i = 0; i < 4; ++i)
            boucl(i).EndianSwap();
    }
};

struct EcrRecord : Image<EcrRecord> {
    int32_t recNo = 0;
    int32_t prevRec = 0;
    int32_t nextRec = 0;
    uint32_t long1 = 0;
    TextSlot<64> label = {};
    TextSlot<8> ref = {};
    int16_t short1 = 0;
    int16_t short2 = 0;
    int64_t wide1 = 0;
    uint8_t byte1 = 0;
    bool flag1 = false;
    bool flag2 = false;
    bool flag3 = false;
    int32_t long2 = 0;
    char spare[20] = {};
    void EndianSwap() {
        recNo = byteswap(recNo);
        prevRec = byteswap(prevRec);
        nextRec = byteswap(nextRec);
        long1 = byteswap(long1);
        short1 = byteswap(short1);
        short2 = byteswap(short2);
        wide1 = byteswap(wide1);
        long2 = byteswap(long2);
    }
};

struct EnrListRec : Image<EnrListRec> {
    int32_t long1 = 0;
    int32_t long2 = 0;
    int32_t long3 = 0;
    int32_t long4 = 0;
    void EndianSwap() {
        long1 = byteswap(long1);
        long2 = byteswap(long2);
        long3 = byteswap(long3);
        long4 = byteswap(long4);
    }
};

#pragma pack(pop)

// The values that the readers' slot-chain initialisers give one record, in place; the record's
// other fields keep what they hold. The writer gives them to the regions that no reader filled.
// Free account slot i of 1..10001: chained to i - 1 and i + 1 (none after the last), a blank
// name, wide1 -1 and a blank CAT.
void setFreeAccountSlot(CptRecord& r, int64_t i);
// Blank journal entry i of 1..n: chained to i - 1 and i + 1 (none after n), a blank label and
// reference, every number 0 and every flag False.
void setBlankEntry(EcrRecord& r, int64_t i, int64_t n);

// Layouts, checked against the record tables.
static_assert(sizeof(CatRec) == 24);
static_assert(offsetof(CatRec, long1) == 0 && offsetof(CatRec, short1) == 4);
static_assert(offsetof(CatRec, wide1) == 6 && offsetof(CatRec, wide2) == 14);
static_assert(offsetof(CatRec, flag1) == 22 && offsetof(CatRec, flag2) == 23);

static_assert(sizeof(AccessRec) == 42);
static_assert(offsetof(AccessRec, bytes1) == 0 && offsetof(AccessRec, short1) == 2);
static_assert(offsetof(AccessRec, bytes2) == 4);

static_assert(sizeof(BouclPlanRecord) == 4);
static_assert(offsetof(BouclPlanRecord, short1) == 0 && offsetof(BouclPlanRecord, short2) == 2);
static_assert(sizeof(BouclArray) == 16);

static_assert(sizeof(CptRecord) == 128);
static_assert(offsetof(CptRecord, recNo) == 0 && offsetof(CptRecord, prevRec) == 4);
static_assert(offsetof(CptRecord, nextRec) == 8 && offsetof(CptRecord, short1) == 12);
static_assert(offsetof(CptRecord, spare) == 14 && offsetof(CptRecord, name) == 24);
static_assert(offsetof(CptRecord, flag1) == 56 && offsetof(CptRecord, byte1) == 57);
static_assert(offsetof(CptRecord, CAT) == 58 && offsetof(CptRecord, short2) == 62);
static_assert(offsetof(CptRecord, short3) == 64 && offsetof(CptRecord, flag2) == 66);
static_assert(offsetof(CptRecord, flag3) == 67 && offsetof(CptRecord, wide1) == 68);
static_assert(offsetof(CptRecord, short4) == 76 && offsetof(CptRecord, flag4) == 78);
static_assert(offsetof(CptRecord, byte2) == 79 && offsetof(CptRecord, boucl) == 80);
static_assert(offsetof(CptRecord, res) == 96);

static_assert(sizeof(EcrRecord) == 128);
static_assert(offsetof(EcrRecord, recNo) == 0 && offsetof(EcrRecord, prevRec) == 4);
static_assert(offsetof(EcrRecord, nextRec) == 8 && offsetof(EcrRecord, long1) == 12);
static_assert(offsetof(EcrRecord, label) == 16 && offsetof(EcrRecord, ref) == 80);
static_assert(offsetof(EcrRecord, short1) == 88 && offsetof(EcrRecord, short2) == 90);
static_assert(offsetof(EcrRecord, wide1) == 92 && offsetof(EcrRecord, byte1) == 100);
static_assert(offsetof(EcrRecord, flag1) == 101 && offsetof(EcrRecord, flag2) == 102);
static_assert(offsetof(EcrRecord, flag3) == 103 && offsetof(EcrRecord, long2) == 104);
static_assert(offsetof(EcrRecord, spare) == 108);

static_assert(sizeof(EnrListRec) == 16);
static_assert(offsetof(EnrListRec, long1) == 0 && offsetof(EnrListRec, long2) == 4);
static_assert(offsetof(EnrListRec, long3) == 8 && offsetof(EnrListRec, long4) == 12);

} // namespace qmk::DB_Format
