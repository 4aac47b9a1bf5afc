#include "uninstall/finish_command.h"

#include <algorithm>

namespace qarn::uninstall {
namespace {

constexpr std::string_view kFinish = "/finish";

std::string hex_of(uint64_t v) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), digits[v & 0xF]);
        v >>= 4;
    } while (v != 0);
    return out;
}

void skip_blanks(std::string_view& s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
}

// The next word, up to a blank; the rest is left in `s`.
std::string_view next_word(std::string_view& s) {
    skip_blanks(s);
    const size_t end = std::min(s.find(' '), s.size());
    const std::string_view word = s.substr(0, end);
    s.remove_prefix(end);
    return word;
}

bool parse_hex(std::string_view word, uint64_t& value) {
    if (word.empty() || word.size() > 16) return false;
    value = 0;
    for (const char c : word) {
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else {
            return false;
        }
        value = (value << 4) | static_cast<uint64_t>(d);
    }
    return true;
}

}  // namespace

std::string finish_command_line(std::string_view copy_path, const FinishRequest& request) {
    std::string line = "\"" + std::string(copy_path) + "\" " + std::string(kFinish) + " " +
                       hex_of(request.wait_handle) + " " + hex_of(request.copy_file) + " " +
                       hex_of(request.copy_folder) + " " +
                       (request.language == Language::kGerman ? "de" : "en") + " ";
    line += request.uninstaller_path;
    return line;
}

std::string copy_folder_name(const uint8_t (&random)[16]) {
    static const char digits[] = "0123456789ABCDEF";
    std::string name(kCopyFolderPrefix);
    for (const uint8_t b : random) {
        name += digits[b >> 4];
        name += digits[b & 0xF];
    }
    return name;
}

bool parse_finish_arguments(std::string_view arguments, FinishRequest& request) {
    if (next_word(arguments) != kFinish) return false;
    if (!parse_hex(next_word(arguments), request.wait_handle)) return false;
    if (!parse_hex(next_word(arguments), request.copy_file)) return false;
    if (!parse_hex(next_word(arguments), request.copy_folder)) return false;
    const std::string_view language = next_word(arguments);
    if (language == "de") {
        request.language = Language::kGerman;
    } else if (language == "en") {
        request.language = Language::kEnglish;
    } else {
        return false;
    }
    skip_blanks(arguments);
    while (!arguments.empty() &&
           (arguments.back() == ' ' || arguments.back() == '\r' || arguments.back() == '\n')) {
        arguments.remove_suffix(1);
    }
    if (arguments.empty() || arguments.size() > kMaxPath) return false;
    request.uninstaller_path = std::string(arguments);
    return true;
}

}  // namespace qarn::uninstall
