// Finding the certificate table of a signed setup file through the PE security directory:
// hand-made images of both kinds, hostile header values, and a file signed by osslsigncode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "tests/support/test_support.h"
#include "tools/pe_signature.h"

namespace qarn::tools {
namespace {

using test::Bytes;

constexpr uint32_t kPeOffset = 0x80;

void put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A PE image's headers as a linker writes them: a DOS header pointing at the PE header, the
// file header, the optional header with 16 data directories; one section of code behind the
// headers, then `tail` more bytes (an appended archive, say). The security directory is
// set with `sign`.
struct Image {
    bool plus = false;
    Bytes bytes;

    size_t optional() const { return kPeOffset + 24; }
    size_t count_field() const { return optional() + (plus ? 108 : 92); }
    size_t security_entry() const { return count_field() + 4 + 8 * 4; }

    void sign(uint32_t offset, uint32_t size) {
        put32(bytes, security_entry(), offset);
        put32(bytes, security_entry() + 4, size);
    }
    // Appends a certificate table (one entry of `size` bytes) at the next multiple of 8.
    void append_table(uint32_t size, uint16_t revision = 0x0200, uint16_t type = 2) {
        bytes.resize((bytes.size() + 7) & ~size_t{7}, 0);
        const auto at = static_cast<uint32_t>(bytes.size());
        bytes.resize(bytes.size() + size, 0xA5);
        put32(bytes, at, size);
        put16(bytes, at + 4, revision);
        put16(bytes, at + 6, type);
        sign(at, size);
    }
};

Image make_image(bool plus, size_t tail = 0) {
    Image image;
    image.plus = plus;
    Bytes& b = image.bytes;
    b.assign(0x400 + 0x200 + tail, 0);
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 0x3C, kPeOffset);
    std::memcpy(&b[kPeOffset], "PE\0\0", 4);
    put16(b, kPeOffset + 4, plus ? 0x8664 : 0x014C);       // machine
    put16(b, kPeOffset + 6, 1);                            // one section
    put16(b, kPeOffset + 20, plus ? 0xF0 : 0xE0);          // SizeOfOptionalHeader
    put16(b, kPeOffset + 22, plus ? 0x0022 : 0x0102);      // executable
    put16(b, image.optional(), plus ? 0x20B : 0x10B);
    put32(b, image.count_field(), 16);
    for (size_t i = 0x400 + 0x200; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 7);
    return image;
}

PeSignature find(const Bytes& b) { return find_pe_signature(b, b.size()); }

TEST(PeSignature, FilesThatAreNoPeImageAreNamedSo) {
    EXPECT_EQ(find({}).status, PeSignatureStatus::kNotPeImage);
    EXPECT_EQ(find(test::text_bytes("MZ")).status, PeSignatureStatus::kNotPeImage);
    // A bare archive.
    Bytes archive = test::text_bytes("Rar!\x1A\x07");
    archive.resize(200, 0);
    EXPECT_EQ(find(archive).status, PeSignatureStatus::kNotPeImage);
    EXPECT_EQ(describe_pe_signature(find(archive)), "");

    Image image = make_image(false);
    image.bytes[kPeOffset + 1] = 'X';  // no PE signature
    EXPECT_EQ(find(image.bytes).status, PeSignatureStatus::kNotPeImage);
    image = make_image(false);
    put16(image.bytes, image.optional(), 0x107);  // neither PE32 nor PE32+
    EXPECT_EQ(find(image.bytes).status, PeSignatureStatus::kNotPeImage);
}

TEST(PeSignature, HostileHeaderOffsetsAreRefusedWithoutReadingOutside) {
    for (const uint32_t at : {0xFFFFFFFFu, 0xFFFFFFFCu, 0x80000000u, 0x5FFu, 0x600u - 23}) {
        Image image = make_image(false);
        put32(image.bytes, 0x3C, at);
        EXPECT_EQ(find(image.bytes).status, PeSignatureStatus::kNotPeImage) << at;
    }
    // Headers cut short in the middle of the optional header.
    const Image whole = make_image(true);
    for (const size_t cut : {size_t{kPeOffset + 24}, size_t{kPeOffset + 25},
                             whole.security_entry() + 4}) {
        const Bytes head(whole.bytes.begin(), whole.bytes.begin() + static_cast<long>(cut));
        const PeSignature s = find_pe_signature(head, whole.bytes.size());
        EXPECT_NE(s.status, PeSignatureStatus::kSigned) << cut;
    }
}

TEST(PeSignature, AnImageWithoutSignatureIsUnsigned) {
    for (const bool plus : {false, true}) {
        const Image image = make_image(plus, 1000);
        const PeSignature s = find(image.bytes);
        EXPECT_EQ(s.status, PeSignatureStatus::kUnsigned);
        EXPECT_EQ(s.pe32_plus, plus);
        EXPECT_EQ(describe_pe_signature(s), "Signature: none (the PE security directory is empty)");
    }
}

TEST(PeSignature, ADirectoryTheOptionalHeaderDoesNotDeclareIsAbsent) {
    // Only four data directories: the security entry's bytes are not a directory.
    Image image = make_image(false, 100);
    image.append_table(64);
    put32(image.bytes, image.count_field(), 4);
    EXPECT_EQ(find(image.bytes).status, PeSignatureStatus::kUnsigned);

    // An optional header declared too short to reach the security entry.
    image = make_image(true, 100);
    image.append_table(64);
    put16(image.bytes, kPeOffset + 20, static_cast<uint16_t>(108 + 4 + 8 * 4));
    EXPECT_EQ(find(image.bytes).status, PeSignatureStatus::kUnsigned);
}

TEST(PeSignature, TheTableAtTheEndIsFoundInBothKinds) {
    for (const bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        Image image = make_image(plus, 1001);  // the table starts 7 bytes of padding later
        const size_t unsigned_size = image.bytes.size();
        image.append_table(1432);
        const PeSignature s = find(image.bytes);
        ASSERT_EQ(s.status, PeSignatureStatus::kSigned);
        EXPECT_EQ(s.pe32_plus, plus);
        EXPECT_EQ(s.table_offset, (unsigned_size + 7) & ~size_t{7});
        EXPECT_EQ(s.table_offset - unsigned_size, 7u);
        EXPECT_EQ(s.table_size, 1432u);
        EXPECT_EQ(s.bytes_after, 0u);
        EXPECT_TRUE(s.first_entry_read);
        EXPECT_EQ(s.first_length, 1432u);
        EXPECT_EQ(s.first_revision, kCertificateRevision2);
        EXPECT_EQ(s.first_type, kCertificateTypePkcsSignedData);
        char want[160];
        std::snprintf(want, sizeof want,
                      "Signature: Authenticode (PKCS #7 signed data), certificate table at "
                      "offset %llu (0x%llX), 1432 bytes, to the end of the file",
                      static_cast<unsigned long long>(s.table_offset),
                      static_cast<unsigned long long>(s.table_offset));
        EXPECT_EQ(describe_pe_signature(s), want);
    }
}

TEST(PeSignature, BytesBehindTheTableAndOtherCertificateKindsAreNamed) {
    Image image = make_image(false, 16);
    image.append_table(24, 0x0100, 1);  // an X.509 entry of the old revision
    image.bytes.resize(image.bytes.size() + 5, 0);
    const PeSignature s = find(image.bytes);
    ASSERT_EQ(s.status, PeSignatureStatus::kSigned);
    EXPECT_EQ(s.bytes_after, 5u);
    const std::string text = describe_pe_signature(s);
    EXPECT_NE(text.find("certificate revision 0x0100, type 1"), std::string::npos) << text;
    EXPECT_NE(text.find(", then 5 more bytes"), std::string::npos) << text;
}

TEST(PeSignature, TablesTheFileCannotHoldAreDamaged) {
    const struct {
        uint32_t offset;
        uint32_t size;
        const char* problem;
    } cases[] = {
        {0, 64, "the directory gives offset 0"},
        {0x600, 4, "too small for a certificate entry"},
        {0x604, 64, "not on an 8-byte boundary"},
        {0x600, 0x10000, "it reaches past the end of the file"},
        {0xFFFFFFF8u, 0x10, "it reaches past the end of the file"},  // offset + size wraps in 32 bits
        {0x10000, 8, "it reaches past the end of the file"},
    };
    for (const auto& c : cases) {
        Image image = make_image(false, 0x100);
        image.sign(c.offset, c.size);
        const PeSignature s = find(image.bytes);
        EXPECT_EQ(s.status, PeSignatureStatus::kDamaged) << c.problem;
        EXPECT_STREQ(s.problem, c.problem);
        EXPECT_EQ(describe_pe_signature(s).rfind("Signature: DAMAGED:", 0), 0u);
    }
    // The first entry claims more than the table holds.
    Image image = make_image(false, 0x100);
    image.append_table(64);
    put32(image.bytes, image.bytes.size() - 64, 65);
    EXPECT_EQ(find(image.bytes).status, PeSignatureStatus::kDamaged);
}

TEST(PeSignature, AFileOnDiskIsReadOnlyAsFarAsNeeded) {
    test::TempDir dir;
    // Large enough that the table lies beyond the headers read at first.
    Image image = make_image(true, 200000 + 3);
    image.append_table(2000);
    test::write_file(dir / "signed.exe", image.bytes);
    const Bytes head(image.bytes.begin(), image.bytes.begin() + 4096);
    EXPECT_FALSE(find_pe_signature(head, image.bytes.size()).first_entry_read);

    const PeSignature s = find_pe_signature(dir / "signed.exe");
    ASSERT_EQ(s.status, PeSignatureStatus::kSigned);
    EXPECT_TRUE(s.first_entry_read);
    EXPECT_EQ(s.first_length, 2000u);
    EXPECT_EQ(s.table_offset + s.table_size, image.bytes.size());

    EXPECT_EQ(find_pe_signature(dir / "missing.exe").status, PeSignatureStatus::kUnreadable);
    EXPECT_EQ(describe_pe_signature(find_pe_signature(dir / "missing.exe")), "");
    test::write_file(dir / "empty.exe", {});
    EXPECT_EQ(find_pe_signature(dir / "empty.exe").status, PeSignatureStatus::kNotPeImage);
}

#ifndef _WIN32
bool have_tool(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// The tools are in scripts/packages.txt: CI must have them.
#define QARN_REQUIRE_TOOL(name)                                                             \
    if (!have_tool(name)) {                                                                 \
        if (std::getenv("CI") != nullptr) FAIL() << name " missing under CI";               \
        GTEST_SKIP() << name " not installed (see scripts/packages.txt); skipped";          \
    }

TEST(PeSignature, AFileSignedByOsslsigncodeIsFoundWhateverThePadding) {
    QARN_REQUIRE_TOOL("openssl");
    QARN_REQUIRE_TOOL("osslsigncode");
    test::TempDir dir;
    const std::string key = (dir / "key.pem").string();
    const std::string cert = (dir / "cert.pem").string();
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "
                           "'/CN=Throwaway test signer' -keyout '" + key + "' -out '" + cert +
                           "' >/dev/null 2>&1").c_str()),
              0);
    // Every length modulo 8, so that the signer pads by 0 to 7 bytes.
    for (size_t extra = 0; extra < 8; ++extra) {
        SCOPED_TRACE("appended bytes " + std::to_string(1000 + extra));
        const Image image = make_image(false, 1000 + extra);
        const std::string in = (dir / "unsigned.exe").string();
        const std::string out = (dir / "signed.exe").string();
        std::filesystem::remove(out);
        test::write_file(in, image.bytes);
        ASSERT_EQ(std::system(("osslsigncode sign -certs '" + cert + "' -key '" + key +
                               "' -h sha256 -in '" + in + "' -out '" + out + "' >/dev/null 2>&1")
                                  .c_str()),
                  0);
        const Bytes signed_bytes = test::read_file(out);
        const PeSignature s = find_pe_signature(std::filesystem::path(out));
        ASSERT_EQ(s.status, PeSignatureStatus::kSigned);
        EXPECT_EQ(s.table_offset, (image.bytes.size() + 7) & ~size_t{7});
        EXPECT_EQ(s.table_offset + s.table_size, signed_bytes.size());
        EXPECT_EQ(s.bytes_after, 0u);
        EXPECT_EQ(s.first_revision, kCertificateRevision2);
        EXPECT_EQ(s.first_type, kCertificateTypePkcsSignedData);
        // Everything the file held stays where it was, the appended bytes included.
        ASSERT_GE(signed_bytes.size(), image.bytes.size());
        EXPECT_TRUE(std::equal(image.bytes.begin() + 0x400, image.bytes.end(),
                               signed_bytes.begin() + 0x400));
    }
}
#endif

}  // namespace
}  // namespace qarn::tools
