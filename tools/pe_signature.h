// Where a signed setup file keeps its Authenticode signature. A signer (osslsigncode,
// signtool) pads the file to a multiple of 8 bytes and appends a certificate table behind
// everything the file held, the appended archive included; the PE image's security
// directory (data directory 4) holds the table's file offset and size. The archive walk
// knows nothing of this, so mksetup looks the table up here to name what follows the
// archive. Portable: plain bytes, no Windows headers.
#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace qarn::tools {

enum class PeSignatureStatus {
    kNotPeImage,  // no MZ and PE headers: a bare archive, or not an executable
    kUnsigned,    // a PE image whose security directory is empty or missing
    kSigned,      // a certificate table that lies within the file
    kDamaged,     // the security directory describes a table the file cannot hold
    kUnreadable,  // the file could not be opened or read
};

struct PeSignature {
    PeSignatureStatus status = PeSignatureStatus::kNotPeImage;
    bool pe32_plus = false;      // a 64-bit image (optional header magic 0x20B)
    uint64_t table_offset = 0;   // file offset of the certificate table, as the directory says
    uint64_t table_size = 0;     // its size in bytes, as the directory says
    uint64_t bytes_after = 0;    // file bytes behind the table (0 when signing came last)
    const char* problem = nullptr;  // why the table is damaged (kDamaged only)
    // The table's first entry (WIN_CERTIFICATE), when its 8 header bytes could be read:
    // length, revision (0x0200) and type (2: PKCS #7 signed data, which is Authenticode).
    bool first_entry_read = false;
    uint32_t first_length = 0;
    uint16_t first_revision = 0;
    uint16_t first_type = 0;
};

inline constexpr uint16_t kCertificateRevision2 = 0x0200;
inline constexpr uint16_t kCertificateTypePkcsSignedData = 0x0002;

// From the file's first bytes and its whole size. `head` must reach past the optional
// header's data directories; the first certificate entry is read too when `head` holds it
// (when it is the whole file).
PeSignature find_pe_signature(std::span<const uint8_t> head, uint64_t file_size);

// The same for a file on disk, reading only its headers and the table's first 8 bytes.
PeSignature find_pe_signature(const std::filesystem::path& path);

// A line for `mksetup list`, "Signature: ...", naming the table, its place and size; empty
// for a file that is not a PE image (a bare archive) or could not be read.
std::string describe_pe_signature(const PeSignature& signature);

}  // namespace qarn::tools
