#include "tools/pe_signature.h"

#include <cstdio>
#include <fstream>
#include <vector>

#include "unpack/byte_order.h"

namespace qarn::tools {
namespace {

// Headers lie at the start of an image; linkers put them within the first page. Reading
// 64 KB leaves room for any stub a linker might place before them.
constexpr size_t kHeadBytes = 64 * 1024;

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kNewHeaderOffsetField = 0x3C;   // e_lfanew
constexpr size_t kFileHeaderSize = 20;           // after the 4-byte "PE\0\0"
constexpr size_t kOptionalSizeField = 16;        // SizeOfOptionalHeader, in the file header
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kSecurityDirectory = 4;
constexpr uint64_t kCertificateEntryHeader = 8;  // dwLength, wRevision, wCertificateType

// Bounds checks in 64 bits: offsets come from the file and may be anything.
bool holds(std::span<const uint8_t> b, uint64_t at, uint64_t count) {
    return at <= b.size() && count <= b.size() - at;
}

PeSignature damaged(PeSignature s, const char* problem) {
    s.status = PeSignatureStatus::kDamaged;
    s.problem = problem;
    return s;
}

// Reads the first certificate entry's header from `entry` (8 bytes) into `s`.
PeSignature with_first_entry(PeSignature s, std::span<const uint8_t> entry) {
    s.first_entry_read = true;
    s.first_length = load_le32(entry.data() + 0);
    s.first_revision = load_le16(entry.data() + 4);
    s.first_type = load_le16(entry.data() + 6);
    if (s.first_length < kCertificateEntryHeader || s.first_length > s.table_size)
        return damaged(s, "its first entry does not fit the table");
    return s;
}

}  // namespace

PeSignature find_pe_signature(std::span<const uint8_t> head, uint64_t file_size) {
    PeSignature s;
    if (!holds(head, 0, kDosHeaderSize) || head[0] != 'M' || head[1] != 'Z') return s;
    const uint64_t pe = load_le32(head.data() + kNewHeaderOffsetField);
    if (!holds(head, pe, 4 + kFileHeaderSize) || head[pe] != 'P' || head[pe + 1] != 'E' ||
        head[pe + 2] != 0 || head[pe + 3] != 0)
        return s;
    const uint64_t optional = pe + 4 + kFileHeaderSize;
    const uint64_t optional_size = load_le16(head.data() + pe + 4 + kOptionalSizeField);
    if (optional_size < 2 || !holds(head, optional, 2)) return s;

    // The data directories follow the fields whose width differs between the two kinds.
    const uint16_t magic = load_le16(head.data() + optional);
    uint64_t count_field = 0;
    if (magic == kMagicPe32) {
        count_field = 92;
    } else if (magic == kMagicPe32Plus) {
        count_field = 108;
        s.pe32_plus = true;
    } else {
        return s;
    }
    s.status = PeSignatureStatus::kUnsigned;
    const uint64_t entry = count_field + 4 + 8 * kSecurityDirectory;
    // A directory the optional header does not declare is absent, as the loader sees it.
    if (optional_size < entry + 8 || !holds(head, optional, entry + 8)) return s;
    if (load_le32(head.data() + optional + count_field) <= kSecurityDirectory) return s;

    // Unlike every other directory, this one holds a file offset, not an address.
    s.table_offset = load_le32(head.data() + optional + entry);
    s.table_size = load_le32(head.data() + optional + entry + 4);
    if (s.table_size == 0) return s;
    s.status = PeSignatureStatus::kSigned;
    if (s.table_offset == 0) return damaged(s, "the directory gives offset 0");
    if (s.table_size < kCertificateEntryHeader)
        return damaged(s, "too small for a certificate entry");
    if (s.table_offset % 8 != 0) return damaged(s, "not on an 8-byte boundary");
    if (s.table_offset > file_size || s.table_size > file_size - s.table_offset)
        return damaged(s, "it reaches past the end of the file");
    s.bytes_after = file_size - s.table_offset - s.table_size;
    if (holds(head, s.table_offset, kCertificateEntryHeader))
        return with_first_entry(s, head.subspan(s.table_offset, kCertificateEntryHeader));
    return s;
}

PeSignature find_pe_signature(const std::filesystem::path& path) {
    PeSignature unreadable;
    unreadable.status = PeSignatureStatus::kUnreadable;
    std::ifstream in(path, std::ios::binary);
    if (!in) return unreadable;
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (end < 0) return unreadable;
    const auto file_size = static_cast<uint64_t>(end);

    std::vector<uint8_t> head(file_size < kHeadBytes ? static_cast<size_t>(file_size) : kHeadBytes);
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size())))
        return unreadable;
    PeSignature s = find_pe_signature(head, file_size);
    if (s.status != PeSignatureStatus::kSigned || s.first_entry_read) return s;

    uint8_t entry[kCertificateEntryHeader];
    in.seekg(static_cast<std::streamoff>(s.table_offset));
    if (!in.read(reinterpret_cast<char*>(entry), sizeof entry)) return unreadable;
    return with_first_entry(s, entry);
}

std::string describe_pe_signature(const PeSignature& s) {
    char line[256];
    switch (s.status) {
        case PeSignatureStatus::kNotPeImage:
        case PeSignatureStatus::kUnreadable:
            return {};
        case PeSignatureStatus::kUnsigned:
            return "Signature: none (the PE security directory is empty)";
        case PeSignatureStatus::kDamaged:
            std::snprintf(line, sizeof line,
                          "Signature: DAMAGED: the PE security directory gives a certificate "
                          "table at offset %llu, %llu bytes: %s",
                          static_cast<unsigned long long>(s.table_offset),
                          static_cast<unsigned long long>(s.table_size), s.problem);
            return line;
        case PeSignatureStatus::kSigned:
            break;
    }
    const bool authenticode = s.first_revision == kCertificateRevision2 &&
                              s.first_type == kCertificateTypePkcsSignedData;
    char after[64] = ", to the end of the file";
    if (s.bytes_after != 0)
        std::snprintf(after, sizeof after, ", then %llu more bytes",
                      static_cast<unsigned long long>(s.bytes_after));
    char kind[64] = "Authenticode (PKCS #7 signed data)";
    if (!authenticode)
        std::snprintf(kind, sizeof kind, "certificate revision 0x%04X, type %u",
                      s.first_revision, s.first_type);
    std::snprintf(line, sizeof line,
                  "Signature: %s, certificate table at offset %llu (0x%llX), %llu bytes%s",
                  kind, static_cast<unsigned long long>(s.table_offset),
                  static_cast<unsigned long long>(s.table_offset),
                  static_cast<unsigned long long>(s.table_size), after);
    return line;
}

}  // namespace qarn::tools
