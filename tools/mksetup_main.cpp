// mksetup: builds setup files for the Zentrivo installer and lists, tests and extracts them.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "pack/level_settings.h"
#include "tools/commands.h"

namespace {

// --order's value; none given leaves the order to the level.
std::optional<qarn::SolidOrder> order_named(const std::string& name) {
    if (name.empty()) return std::nullopt;
    return name == "folder" ? qarn::SolidOrder::kFolder : qarn::SolidOrder::kContent;
}

constexpr const char* kVersion = "mksetup 1.21 (Zentrivo setup builder, RAR 2.0 archives)";
}

int main(int argc, char** argv) {
    CLI::App app{"Builds setup files for the Zentrivo installer, and lists, tests and extracts "
                 "setup files and bare archives."};
    app.name("mksetup");
    app.set_version_flag("--version", kVersion);
    app.require_subcommand(1);

    std::string file;
    auto* list = app.add_subcommand("list", "Show where the archive is and every entry");
    list->add_option("FILE", file, "setup file or bare archive")->required();
    auto* test = app.add_subcommand("test", "Decode every entry and check its data (writes nothing)");
    test->add_option("FILE", file, "setup file or bare archive")->required();

    std::string dir;
    std::vector<std::string> languages{"de", "en", "other"};
    auto* extract = app.add_subcommand(
        "extract", "Install every wanted entry into DIR, as the installer does");
    extract->add_option("FILE", file, "setup file or bare archive")->required();
    extract->add_option("DIR", dir, "target folder (created when missing)")->required();
    extract->add_option("--languages", languages,
                        "product languages to install: de, en, other (default: all three)")
        ->delimiter(',');

    std::string output;
    std::string stub;
    int level = qarn::kDefaultLevel;
    auto* build = app.add_subcommand(
        "build", "Pack the files under DIR into a setup file (the stub's image, then the archive)");
    build->add_option("DIR", dir, "product folder: every file below it, paths kept")->required();
    build->add_option("-o,--output", output, "the setup file to write")->required();
    build->add_option("--stub", stub, "the installer's executable image to put in front "
                                      "(without it, a bare archive is written)");
    const std::string levels = std::to_string(qarn::kMinLevel) + " (fast) to " +
                               std::to_string(qarn::kMaxLevel);
    build->add_option("--level", level,
                      "compression, " + levels + " (smallest; 5 is the fastest of the optimal "
                      "parsers); default " + std::to_string(qarn::kDefaultLevel))
        ->check(CLI::Range(qarn::kMinLevel, qarn::kMaxLevel));
    std::string order;
    int first_content_level = qarn::kMinLevel;
    while (first_content_level < qarn::kMaxLevel &&
           qarn::settings_for_level(first_content_level).order != qarn::SolidOrder::kContent) {
        ++first_content_level;
    }
    build->add_option("--order", order,
                      "the files' order in the solid stream: folder (by extension, then name) or "
                      "content (similar files together); default content from level " +
                          std::to_string(first_content_level) + " up")
        ->check(CLI::IsMember({"folder", "content"}));
    std::string uninstall_list;
    build->add_option("--uninstall-list", uninstall_list,
                      "add the list of every entry, for the uninstaller, as the entry NAME "
                      "(e.g. UNINST.LST)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : qarn::tools::kExitCannotRead;
    }
    if (*list) return qarn::tools::run_list(file);
    if (*test) return qarn::tools::run_test(file);
    if (*extract) return qarn::tools::run_extract(file, dir, languages);
    if (*build) return qarn::tools::run_build(dir, output, stub, level, uninstall_list, order_named(order));
    return qarn::tools::kExitCannotRead;
}
