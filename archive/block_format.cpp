#include "archive/block_format.h"

#include <cstring>

#include "archive/checksum.h"
#include "unpack/byte_order.h"

namespace qarn {

using namespace block_field;

void decode_main_header(const uint8_t raw[kMainHeaderBytes], MainHeader& h) {
    h.head_crc = load_le16(raw + kCrc);
    h.head_type = raw[kType];
    h.head_flags = load_le16(raw + kFlags);
    h.head_size = load_le16(raw + kSize);
    h.reserved1 = load_le16(raw + kReserved1);
    h.reserved2 = load_le32(raw + kReserved2);
}

void decode_file_header(const uint8_t raw[kFileHeaderFixedBytes], FileHeader& h) {
    h.head_crc = load_le16(raw + kCrc);
    h.head_type = raw[kType];
    h.head_flags = load_le16(raw + kFlags);
    h.head_size = load_le16(raw + kSize);
    h.pack_size = static_cast<int32_t>(load_le32(raw + kPackSize));
    h.unp_size = static_cast<int32_t>(load_le32(raw + kUnpSize));
    h.host_os = raw[kHostOs];
    h.file_crc = load_le32(raw + kFileCrc);
    h.ftime = load_le32(raw + kTime);
    h.unp_ver = raw[kUnpVer];
    h.method = raw[kMethod];
    h.name_size = load_le16(raw + kNameSize);
    h.attr = load_le32(raw + kAttr);
}

void encode_main_header(const MainHeader& h, uint8_t out[kMainHeaderBytes]) {
    store_le16(out + kCrc, h.head_crc);
    out[kType] = h.head_type;
    store_le16(out + kFlags, h.head_flags);
    store_le16(out + kSize, h.head_size);
    store_le16(out + kReserved1, h.reserved1);
    store_le32(out + kReserved2, h.reserved2);
}

void encode_file_header(const FileHeader& h, uint8_t out[kFileHeaderFixedBytes]) {
    store_le16(out + kCrc, h.head_crc);
    out[kType] = h.head_type;
    store_le16(out + kFlags, h.head_flags);
    store_le16(out + kSize, h.head_size);
    store_le32(out + kPackSize, static_cast<uint32_t>(h.pack_size));
    store_le32(out + kUnpSize, static_cast<uint32_t>(h.unp_size));
    out[kHostOs] = h.host_os;
    store_le32(out + kFileCrc, h.file_crc);
    store_le32(out + kTime, h.ftime);
    out[kUnpVer] = h.unp_ver;
    out[kMethod] = h.method;
    store_le16(out + kNameSize, h.name_size);
    store_le32(out + kAttr, h.attr);
}

void seal_header(const Crc32Table& table, uint8_t* header, size_t size) {
    store_le16(header + kCrc, crc32_of(table, header + kType, size - kType) & 0xFFFF);
}

void encode_end_mark(const Crc32Table& table, uint8_t out[kEndMarkBytes]) {
    std::memset(out, 0, kEndMarkBytes);
    out[kType] = kEndHeadType;
    store_le16(out + kFlags, kFlagSkipIfUnknown);
    store_le16(out + kSize, kEndHeaderBytes);
    seal_header(table, out, kEndHeaderBytes);
    // The terminator: seven zero bytes, whose head_size of 0 ends the walk.
}

}  // namespace qarn
