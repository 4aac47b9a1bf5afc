// What the uninstaller may remove, decided on what the system says of a file or folder
// opened without following a link, through the handle it then removes it with. The
// uninstaller runs elevated, while whoever may write into the installation's folder (or the
// folders of the desktop and the Start menu) may have put a link where a file of the
// product was: a path, checked first and used later, could by then lead anywhere, a handle
// cannot. The decisions work on plain values, so they are tested anywhere with any facts;
// uninstall/handle_removal_win32.* asks the system for them.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace qarn::uninstall {

// File attribute bits, as Windows reports them.
inline constexpr uint32_t kAttributeReadOnly = 0x1;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeReparsePoint = 0x400;

// What the system says of an open file or folder, asked through its handle.
struct HandleFacts {
    uint32_t attributes = 0;
    uint32_t volume = 0;  // the serial number of its volume
    uint32_t links = 1;   // the names the file has (hard links)
    uint64_t file_id = 0;  // its number on its volume
    // Where it really lies on its volume, every link on the way resolved, without the
    // drive: "\Program Files\QARN\QARN.exe". Empty when the system cannot tell.
    std::string final_name;
};

enum class ItemKind { kFile, kFolder };

enum class Refusal {
    kNone,         // it may be removed (a folder: items may be removed from it)
    kUnknown,      // the system does not say where it lies
    kLink,         // it is a link itself: a junction, a symbolic link, any reparse point
    kWrongKind,    // a folder where a file was looked for, or the other way round
    kOtherVolume,  // it lies on another volume than the folder it should lie in
    kElsewhere,    // it lies elsewhere than its path says: a link on the way led away
};

// The item found at `relative` (components joined by '\') below `folder`, which was checked
// already: it may be removed when it is of the kind looked for, no link, on the folder's
// volume, and really lies at that place below the folder.
Refusal check_item(const HandleFacts& item, ItemKind kind, const HandleFacts& folder,
                   std::string_view relative);

// The installation's folder, found at `below_root` (no leading or trailing '\') below the
// root of its drive: the uninstaller removes things inside it, so it must be a folder and
// no link, on the root's volume, and lie where its path says, so that no folder on the way
// from the root is a link or a mounted volume either. The root itself may be anything
// (a substituted drive, say): the path starts there.
Refusal check_installation_folder(const HandleFacts& folder, const HandleFacts& root,
                                  std::string_view below_root);

// Both handles stand for the same file or folder.
bool same_item(const HandleFacts& a, const HandleFacts& b);

// Splits a full path into its root ("C:\", or "\\server\share\" for a share) and the rest,
// without leading or trailing '\'. False for anything else: a relative path, a drive
// without '\', a device path ("\\?\", "\\.\").
bool split_at_root(std::string_view path, std::string& root, std::string& below);

}  // namespace qarn::uninstall
