#include "uninstall/uninstall_plan.h"

#include <algorithm>
#include <set>

#include "system/ascii_case.h"
#include "system/product_names.h"

namespace qarn::uninstall {
namespace {

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    return true;
}

// Lower case, '\' for '/', no trailing '\': the form two spellings of a path share.
std::string comparable(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (const char c : path) out += c == '/' ? '\\' : ascii_lower(c);
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

size_t depth_of(const std::string& relative) {
    return static_cast<size_t>(std::count(relative.begin(), relative.end(), '\\'));
}

}  // namespace

std::string with_backslash(std::string_view folder) {
    std::string out(folder);
    if (out.empty() || out.back() != '\\') out += '\\';
    return out;
}

std::string shown_folder(std::string_view folder) {
    std::string out(folder);
    while (out.size() > 1 && out.back() == '\\') out.pop_back();
    if (out.size() == 2 && out[1] == ':') out += '\\';  // "C:" alone would mean another folder
    return out;
}

bool same_path(std::string_view a, std::string_view b) { return comparable(a) == comparable(b); }

bool inside_folder(std::string_view path, std::string_view folder) {
    const std::string f = comparable(folder);
    const std::string p = comparable(path);
    if (f.empty() || p.size() <= f.size() + 1) return false;
    if (p.compare(0, f.size(), f) != 0 || p[f.size()] != '\\') return false;
    // Every component below the folder must name something in it.
    size_t start = f.size() + 1;
    for (;;) {
        const size_t end = std::min(p.find('\\', start), p.size());
        const std::string_view part = std::string_view(p).substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (end == p.size()) return true;
        start = end + 1;
    }
}

bool command_in_folder(std::string_view command, std::string_view folder) {
    while (!command.empty() && command.front() == ' ') command.remove_prefix(1);
    if (!command.empty() && command.front() == '"') {
        command.remove_prefix(1);
        const size_t quote = command.find('"');
        if (quote == std::string_view::npos) return false;
        command = command.substr(0, quote);
    }
    while (!command.empty() && command.back() == ' ') command.remove_suffix(1);
    const size_t slash = command.find_last_of("\\/");
    if (slash == std::string_view::npos || slash + 1 == command.size()) return false;
    return same_path(command.substr(0, slash), folder);
}

std::vector<std::string> folders_of(std::string_view name) {
    std::vector<std::string> out;
    for (size_t at = name.find('\\'); at != std::string_view::npos; at = name.find('\\', at + 1)) {
        out.emplace_back(name.substr(0, at));
    }
    return out;
}

FilePlan plan_files(const UninstallList& list, std::string_view folder,
                    std::string_view uninstaller_name) {
    FilePlan plan;
    if (list.verdict != ListVerdict::kRead) return plan;
    plan.refused = list.refused;
    const size_t room = kMaxPath - std::min(kMaxPath, with_backslash(folder).size());
    std::set<std::string> seen_folders;
    for (const ListedName& listed : list.names) {
        const std::string& name = listed.name;
        if (name.size() > room) {
            plan.refused.push_back(
                {listed.line, name, ListLineProblem::kTooLong, NameRefusal::kNone});
            continue;
        }
        if (equal_ignoring_case(name, kListName)) {
            plan.lists_itself = true;
        } else if (equal_ignoring_case(name, uninstaller_name)) {
            plan.lists_uninstaller = true;
        } else if (equal_ignoring_case(name, kSettingsName)) {
            plan.lists_settings = true;
        } else {
            plan.files.push_back(name);
        }
        for (std::string& f : folders_of(name)) {
            if (seen_folders.insert(comparable(f)).second) plan.folders.push_back(std::move(f));
        }
    }
    std::stable_sort(
        plan.folders.begin(), plan.folders.end(),
        [](const std::string& a, const std::string& b) { return depth_of(a) > depth_of(b); });
    std::sort(plan.refused.begin(), plan.refused.end(),
              [](const RefusedListLine& a, const RefusedListLine& b) { return a.line < b.line; });
    return plan;
}

bool is_setup_work_folder(std::string_view name) {
    return equal_ignoring_case(name, kSetupWorkFolder);
}

WorkFolderPlan plan_work_folder(const std::vector<FoundEntry>& found) {
    WorkFolderPlan plan;
    std::vector<std::string> folders{kSetupWorkFolder};
    // The folders that hold what cannot go, compared in the form two spellings share.
    std::set<std::string> blocked;
    const auto block_folders_of = [&](const std::string& name) {
        for (const std::string& f : folders_of(name)) blocked.insert(comparable(f));
    };
    for (const FoundEntry& entry : found) {
        switch (entry.kind) {
            case FoundKind::kFile:
                plan.files.push_back(entry.name);
                break;
            case FoundKind::kFolder:
                folders.push_back(entry.name);
                break;
            case FoundKind::kLink:
                plan.links.push_back(entry.name);
                block_folders_of(entry.name);
                break;
            case FoundKind::kOutOfReach:
                plan.out_of_reach.push_back(entry.name);
                block_folders_of(entry.name);
                break;
        }
    }
    std::stable_sort(
        folders.begin(), folders.end(),
        [](const std::string& a, const std::string& b) { return depth_of(a) > depth_of(b); });
    for (std::string& f : folders) {
        if (blocked.count(comparable(f)) == 0) plan.folders.push_back(std::move(f));
    }
    return plan;
}

bool anything_to_remove(const Findings& f) {
    return f.files_present > 0 || (f.list_read && (f.list_listed || f.uninstaller_listed)) ||
           f.links > 0 || f.uninstall_entry || f.user_key || f.work_folder;
}

Language choose_language(const LanguageEvidence& e) {
    if (e.german_files || e.english_files) {
        return e.german_files && !e.english_files ? Language::kGerman : Language::kEnglish;
    }
    const std::string_view value = e.settings_value;
    if (value == "DE" || value.substr(0, 2) == "GR") return Language::kGerman;
    if (value == "US") return Language::kEnglish;
    return e.system_german ? Language::kGerman : Language::kEnglish;
}

bool is_language_file(std::string_view name, std::string_view code) {
    const std::string prefix = "QARN_" + std::string(code) + ".";
    return name.size() > prefix.size() && name.find('\\') == std::string_view::npos &&
           equal_ignoring_case(name.substr(0, prefix.size()), prefix);
}

}  // namespace qarn::uninstall
