#include "uninstall/handle_checks.h"

#include "uninstall/uninstall_plan.h"

namespace qarn::uninstall {
namespace {

bool is_link(const HandleFacts& f) { return (f.attributes & kAttributeReparsePoint) != 0; }
bool is_folder(const HandleFacts& f) { return (f.attributes & kAttributeDirectory) != 0; }

// The final name of what lies at `relative` below a folder whose final name is `folder`
// (a volume's root is "\").
std::string final_name_below(std::string_view folder, std::string_view relative) {
    std::string out(folder);
    if (out.empty() || out.back() != '\\') out += '\\';
    out += relative;
    return out;
}

// Where it lies, compared as Windows compares names: letter case ignored (names differing
// only in the case of other letters than ASCII ones count as different, and are left
// alone).
Refusal check_place(const HandleFacts& found, std::string_view expected) {
    if (found.final_name.empty() || found.final_name.front() != '\\') return Refusal::kUnknown;
    return same_path(found.final_name, expected) ? Refusal::kNone : Refusal::kElsewhere;
}

}  // namespace

Refusal check_item(const HandleFacts& item, ItemKind kind, const HandleFacts& folder,
                   std::string_view relative) {
    if (is_link(item)) return Refusal::kLink;
    if (is_folder(item) != (kind == ItemKind::kFolder)) return Refusal::kWrongKind;
    if (item.volume != folder.volume) return Refusal::kOtherVolume;
    if (folder.final_name.empty() || relative.empty()) return Refusal::kUnknown;
    return check_place(item, final_name_below(folder.final_name, relative));
}

Refusal check_installation_folder(const HandleFacts& folder, const HandleFacts& root,
                                  std::string_view below_root) {
    if (is_link(folder)) return Refusal::kLink;
    if (!is_folder(folder)) return Refusal::kWrongKind;
    if (folder.volume != root.volume) return Refusal::kOtherVolume;
    if (root.final_name.empty()) return Refusal::kUnknown;
    return check_place(folder, below_root.empty() ? root.final_name
                                                  : final_name_below(root.final_name, below_root));
}

bool same_item(const HandleFacts& a, const HandleFacts& b) {
    return a.volume == b.volume && a.file_id == b.file_id && !a.final_name.empty() &&
           same_path(a.final_name, b.final_name);
}

bool split_at_root(std::string_view path, std::string& root, std::string& below) {
    size_t rest = 0;
    const auto is_separator = [](char c) { return c == '\\' || c == '/'; };
    if (path.size() >= 3 && path[1] == ':' && is_separator(path[2]) &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        rest = 3;
    } else if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
        // \\server\share\: two components, neither empty, and no "?" or "." device prefix.
        const size_t server_end = path.find_first_of("\\/", 2);
        if (server_end == std::string_view::npos || server_end == 2) return false;
        const std::string_view server = path.substr(2, server_end - 2);
        if (server == "?" || server == ".") return false;
        size_t share_end = path.find_first_of("\\/", server_end + 1);
        if (share_end == std::string_view::npos) share_end = path.size();
        if (share_end == server_end + 1) return false;
        rest = share_end + 1;
    } else {
        return false;
    }
    root.assign(path.substr(0, rest > path.size() ? path.size() : rest));
    for (char& c : root) {
        if (c == '/') c = '\\';
    }
    if (root.back() != '\\') root += '\\';
    below.clear();
    if (rest < path.size()) below.assign(path.substr(rest));
    for (char& c : below) {
        if (c == '/') c = '\\';
    }
    while (!below.empty() && below.back() == '\\') below.pop_back();
    // An empty component would be read as another folder than the one meant.
    if (!below.empty() && (below.front() == '\\' || below.find("\\\\") != std::string::npos)) {
        return false;
    }
    return true;
}

}  // namespace qarn::uninstall
