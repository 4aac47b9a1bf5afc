#include "uninstall/uninstall_list.h"

#include <set>

#include "system/ascii_case.h"

namespace qarn {
namespace {

constexpr size_t kMaxNameLength = 259;

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = ascii_lower(c);
    return out;
}

bool plain_ascii(std::string_view s) {
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b > 0x7E) return false;
    }
    return true;
}

}  // namespace

std::string uninstall_list_text(const std::vector<std::string>& entry_names,
                                const std::string& list_name) {
    std::string text = kUninstallListTag;
    text += "\r\n";
    for (const std::string& name : entry_names) {
        text += name;
        text += "\r\n";
    }
    text += list_name;
    text += "\r\n";
    return text;
}

std::string uninstall_list_name_problem(const std::string& list_name,
                                        const std::vector<std::string>& entry_names) {
    const std::string shown = "--uninstall-list " + list_name;
    if (list_name.empty()) return shown + ": the name is empty";
    if (!plain_ascii(list_name)) return shown + ": a character outside printable ASCII";
    if (list_name.find_first_of("\\/") != std::string::npos) {
        return shown +
               ": a plain file name is needed (the uninstaller looks for the list in "
               "its own folder)";
    }
    if (list_name.size() > kMaxNameLength) return shown + ": longer than 259 characters";
    const NameRefusal refusal = check_entry_name(list_name.c_str());
    if (refusal != NameRefusal::kNone) {
        return shown + ": name refused by the installer: " + name_refusal_text(refusal);
    }
    const std::string wanted = lowered(list_name);
    for (const std::string& name : entry_names) {
        const std::string top = lowered(name.substr(0, name.find('\\')));
        if (top != wanted) continue;
        if (top.size() == name.size()) {
            return shown + ": the product has a file of that name (" + name + ")";
        }
        return shown + ": the product has a folder of that name (" + name + ")";
    }
    return {};
}

UninstallList read_uninstall_list(std::string_view bytes) {
    UninstallList list;
    if (bytes.size() > kUninstallListMaxBytes) {
        list.verdict = ListVerdict::kTooLarge;
        return list;
    }
    std::set<std::string> seen;
    size_t line_number = 0;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++line_number;
        if (line_number == 1) {
            if (line != kUninstallListTag) return list;  // kNoTag: not one line of it is used
            list.verdict = ListVerdict::kRead;
            continue;
        }
        if (line.empty()) continue;
        RefusedListLine refused{line_number, std::string(line), ListLineProblem::kNameRefused,
                                NameRefusal::kNone};
        if (!plain_ascii(line)) {
            refused.problem = ListLineProblem::kNotPlainAscii;
            list.refused.push_back(refused);
            continue;
        }
        if (line.size() > kMaxNameLength) {
            refused.problem = ListLineProblem::kTooLong;
            list.refused.push_back(refused);
            continue;
        }
        std::string name(line);
        for (char& c : name) {
            if (c == '/') c = '\\';
        }
        refused.refusal = check_entry_name(name.c_str());
        if (refused.refusal != NameRefusal::kNone) {
            list.refused.push_back(refused);
            continue;
        }
        if (seen.insert(lowered(name)).second) list.names.push_back({name, line_number});
    }
    return list;
}

std::string refused_line_reason(const RefusedListLine& line) {
    switch (line.problem) {
        case ListLineProblem::kNotPlainAscii: return "a character outside printable ASCII";
        case ListLineProblem::kTooLong: return "longer than 259 characters";
        case ListLineProblem::kNameRefused: return name_refusal_text(line.refusal);
    }
    return "refused";
}

}  // namespace qarn
