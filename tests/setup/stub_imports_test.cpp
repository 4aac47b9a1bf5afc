// The DLLs the setup stub imports, read from its import table as built: only the system's
// known DLLs, which the loader maps from the system folder whatever lies beside the program,
// and nothing loaded late through a delay-import table.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

std::string stub_path() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1) + "setup-stub.exe";
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The image's bytes, with its headers located and addresses turned into file offsets.
class ImageFile {
public:
    explicit ImageFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (bytes_.size() < sizeof(IMAGE_DOS_HEADER)) return;
        IMAGE_DOS_HEADER dos;
        std::memcpy(&dos, bytes_.data(), sizeof dos);
        const auto at = static_cast<size_t>(dos.e_lfanew);
        if (dos.e_magic != IMAGE_DOS_SIGNATURE || at > bytes_.size() ||
            bytes_.size() - at < sizeof(IMAGE_NT_HEADERS))
            return;
        std::memcpy(&nt_, &bytes_[at], sizeof nt_);
        if (nt_.Signature != IMAGE_NT_SIGNATURE ||
            nt_.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC)  // this program's kind
            return;
        const size_t sections = at + offsetof(IMAGE_NT_HEADERS, OptionalHeader) +
                                nt_.FileHeader.SizeOfOptionalHeader;
        for (WORD i = 0; i < nt_.FileHeader.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER section;
            const size_t entry = sections + i * sizeof section;
            if (entry + sizeof section > bytes_.size()) return;
            std::memcpy(&section, &bytes_[entry], sizeof section);
            sections_.push_back(section);
        }
        valid_ = true;
    }

    bool valid() const { return valid_; }
    const IMAGE_DATA_DIRECTORY& directory(int index) const {
        return nt_.OptionalHeader.DataDirectory[index];
    }
    // The file offset of an address, or 0 when no section's bytes hold it.
    size_t offset_of(DWORD rva, size_t count) const {
        for (const IMAGE_SECTION_HEADER& s : sections_) {
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress + count <= s.SizeOfRawData) {
                const size_t offset = s.PointerToRawData + (rva - s.VirtualAddress);
                return offset + count <= bytes_.size() ? offset : 0;
            }
        }
        return 0;
    }
    template <typename T>
    bool read(DWORD rva, T& out) const {
        const size_t at = offset_of(rva, sizeof out);
        if (at == 0) return false;
        std::memcpy(&out, &bytes_[at], sizeof out);
        return true;
    }
    std::string text(DWORD rva) const {
        std::string s;
        for (size_t at = offset_of(rva, 1); at != 0 && at < bytes_.size() && bytes_[at] != 0; ++at)
            s += static_cast<char>(bytes_[at]);
        return s;
    }

private:
    std::vector<uint8_t> bytes_;
    IMAGE_NT_HEADERS nt_{};
    std::vector<IMAGE_SECTION_HEADER> sections_;
    bool valid_ = false;
};

TEST(StubImports, OnlyTheSystemsKnownDllsAreImported) {
    const ImageFile image(stub_path());
    ASSERT_TRUE(image.valid()) << stub_path();
    const IMAGE_DATA_DIRECTORY& imports = image.directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    ASSERT_NE(imports.VirtualAddress, 0u);

    std::set<std::string> imported;
    for (DWORD at = imports.VirtualAddress;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        ASSERT_TRUE(image.read(at, descriptor)) << "import table cut short";
        if (descriptor.Name == 0) break;
        imported.insert(upper(image.text(descriptor.Name)));
        ASSERT_LT(imported.size(), 64u);
    }
    // ntdll is not in the known-DLL list, but the loader maps it into every process from
    // the system folder before the program itself: nothing beside the program can stand in.
    const std::set<std::string> known = {"ADVAPI32.DLL", "GDI32.DLL", "KERNEL32.DLL",
                                         "MSVCRT.DLL",   "NTDLL.DLL", "OLE32.DLL",
                                         "SHELL32.DLL",  "USER32.DLL"};
    std::vector<std::string> unknown;
    std::set_difference(imported.begin(), imported.end(), known.begin(), known.end(),
                        std::back_inserter(unknown));
    EXPECT_TRUE(unknown.empty()) << "not a known DLL: " << ::testing::PrintToString(unknown);
    // The program cannot run without these; their absence would mean a misread table.
    EXPECT_EQ(imported.count("KERNEL32.DLL"), 1u);
    EXPECT_EQ(imported.count("USER32.DLL"), 1u);

    EXPECT_EQ(image.directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).Size, 0u);
}

}  // namespace
