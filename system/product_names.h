// The product's fixed names, as the installer writes them into the registry, the Start menu,
// the desktop and the settings file. The file-name prefix "QARN" is kProductPrefix of
// languages/language_table.h.
#pragma once

namespace qarn {

inline constexpr const char kProductName[] = "Zentrivo";
inline constexpr const char kProductVersion[] = "1.21";
inline constexpr const char kShortName[] = "QARN";       // folder, group, section, window class
inline constexpr const char kMakerName[] = "Obrelux";
inline constexpr const char kProgramFile[] = "QARN.exe";
inline constexpr const char kUninstallerFile[] = "UnInst.exe";
inline constexpr const char kSettingsExtension[] = ".INI";
inline constexpr const char kSettingsFile[] = "QARN.INI";  // the prefix and the extension
// The documents the Start-menu group points to.
inline constexpr const char kLicenseDocument[] = "LICENSE.TXT";
inline constexpr const char kOrderDocument[] = "ORDER.HTM";
inline constexpr const char kGermanOrderDocument[] = "BESTELL.HTM";

// The folder an installation keeps inside the target folder while it runs: what it moved
// aside (the files it replaces or removes) and its journal, so that a failed or killed run
// can put the previous installation back. It is gone once a run has succeeded or been
// undone; the uninstaller removes one that a killed run left and does not count it as the
// user's.
inline constexpr const char kSetupWorkFolder[] = "QARN.UNDO";

// The per-user key that remembers the target folder, and its value.
inline constexpr const char kProductKey[] = "Software\\Obrelux\\QARN";
inline constexpr const char kTargetDirValue[] = "Dir";

}  // namespace qarn
