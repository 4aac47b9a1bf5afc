#include "tests/support/test_support.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace qarn::test {
namespace {

uint32_t crc_update(uint32_t c, const uint8_t* p, size_t n) {
    // A plain bit-wise CRC-32, independent of the code under test.
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    }
    return c;
}

void put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

}  // namespace

std::string shared_file(const std::string& relative) {
    const char* dir = std::getenv("QARN_SHARED_DIR");
    std::string base_text = dir != nullptr && *dir != '\0' ? dir : "../shared";
#ifdef _WIN32
    // Under Wine the build's Unix paths are reached through drive Z:.
    if (!base_text.empty() && base_text[0] == '/') base_text = "Z:" + base_text;
#endif
    const std::filesystem::path base = base_text;
    std::error_code ec;
    const auto p = base / relative;
    if (!std::filesystem::exists(p, ec)) return {};
    return p.string();
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        path_ = std::filesystem::temp_directory_path() /
                ("qarn-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only files (an entry's attributes) must not keep their folder alive.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::installer_path() const { return installer_form(path_); }

std::string installer_form(const std::filesystem::path& p) {
    std::string s = p.string();
    for (char& c : s) {
        if (c == '/') c = '\\';
    }
    while (s.size() > 1 && s.back() == '\\') s.pop_back();
    return s;
}

Bytes read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::filesystem::path& p, const Bytes& data) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes text_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes random_bytes(size_t n, uint32_t seed) {
    Bytes b(n);
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (auto& v : b) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        v = static_cast<uint8_t>(x >> 24);
    }
    return b;
}

uint32_t crc32(const Bytes& data) { return ~crc_update(0xFFFFFFFFu, data.data(), data.size()); }

Bytes from_base64(const std::string& text) {
    static const std::string kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Bytes out;
    uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        const size_t v = kAlphabet.find(c);
        if (v == std::string::npos) continue;
        bits = (bits << 6) | static_cast<uint32_t>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<uint8_t>(bits >> count));
        }
    }
    return out;
}

uint16_t old_sum(const Bytes& data) {
    uint32_t s = 0;
    for (uint8_t b : data) {
        s = (s + b) & 0xFFFF;
        s = ((s << 1) | (s >> 15)) & 0xFFFF;
    }
    return static_cast<uint16_t>(s);
}

TestEntry stored(const std::string& name, const std::string& text) {
    TestEntry e;
    e.name = name;
    e.data = text_bytes(text);
    return e;
}

TestEntry folder_entry(const std::string& name) {
    TestEntry e = stored(name, "");
    e.flags = 0x80E0;
    e.attr = 0x10;
    return e;
}

Bytes file_header_bytes(const TestEntry& e, bool old_kind) {
    const Bytes& packed = e.packed ? *e.packed : e.data;
    Bytes h;
    put16(h, 0);  // head_crc, filled in below
    h.push_back(0x74);
    put16(h, e.flags);
    put16(h, e.head_size.value_or(static_cast<uint16_t>(32 + e.name.size() + e.extra_header.size())));
    put32(h, e.pack_size.value_or(static_cast<uint32_t>(packed.size())));
    put32(h, e.unp_size.value_or(static_cast<uint32_t>(e.data.size())));
    h.push_back(e.host_os);
    put32(h, e.file_crc.value_or(old_kind ? old_sum(e.data) : crc32(e.data)));
    put32(h, e.ftime);
    h.push_back(e.unp_ver);
    h.push_back(e.method);
    put16(h, static_cast<uint32_t>(e.name.size()));
    put32(h, e.attr);
    h.insert(h.end(), e.name.begin(), e.name.end());
    if (e.whole_header_crc) h.insert(h.end(), e.extra_header.begin(), e.extra_header.end());
    const uint16_t crc = e.head_crc.value_or(
        static_cast<uint16_t>(~crc_update(0xFFFFFFFFu, h.data() + 2, h.size() - 2)));
    if (!e.whole_header_crc) h.insert(h.end(), e.extra_header.begin(), e.extra_header.end());
    h[0] = static_cast<uint8_t>(crc);
    h[1] = static_cast<uint8_t>(crc >> 8);
    return h;
}

Bytes build_archive(const std::vector<TestEntry>& entries, const ArchiveOptions& options) {
    Bytes out = options.prefix;
    if (options.old_kind) {
        // The old kind's 13 "main header" bytes begin at its marker and are read with the
        // new kind's layout: bytes 5 and 6 are its head_size, here 13, so that the first
        // block follows directly.
        const uint8_t head[13] = {0x52, 0x45, 0x7E, 0x5E, 0x00, 13, 0x00, 0, 0, 0, 0, 0, 0};
        out.insert(out.end(), head, head + 13);
    } else {
        const uint8_t marker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
        out.insert(out.end(), marker, marker + 7);
        Bytes m;
        put16(m, 0);
        m.push_back(0x73);
        put16(m, (options.solid ? 0x0008u : 0u) | (options.volume ? 0x0001u : 0u));
        put16(m, static_cast<uint32_t>(13 + options.main_extra.size()));
        put16(m, 0);
        put32(m, options.promise_end_mark ? 0x444E4551u : 0u);  // "QEND"
        m.insert(m.end(), options.main_extra.begin(), options.main_extra.end());
        const uint16_t crc =
            static_cast<uint16_t>(~crc_update(0xFFFFFFFFu, m.data() + 2, m.size() - 2));
        m[0] = static_cast<uint8_t>(crc);
        m[1] = static_cast<uint8_t>(crc >> 8);
        out.insert(out.end(), m.begin(), m.end());
    }
    for (const TestEntry& e : entries) {
        const Bytes h = file_header_bytes(e, options.old_kind);
        out.insert(out.end(), h.begin(), h.end());
        const Bytes& packed = e.packed ? *e.packed : e.data;
        out.insert(out.end(), packed.begin(), packed.end());
    }
    if (options.end_mark) {
        // The format's end-of-archive block, then a header too short to be one.
        Bytes end;
        put16(end, 0);
        end.push_back(0x7B);
        put16(end, 0x4000);
        put16(end, 7);
        const uint16_t crc = static_cast<uint16_t>(~crc_update(0xFFFFFFFFu, end.data() + 2, 5));
        end[0] = static_cast<uint8_t>(crc);
        end[1] = static_cast<uint8_t>(crc >> 8);
        end.resize(14, 0);
        out.insert(out.end(), end.begin(), end.end());
    }
    out.insert(out.end(), options.suffix.begin(), options.suffix.end());
    return out;
}

}  // namespace qarn::test
