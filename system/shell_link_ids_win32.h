// The shell link object and the two interfaces it is driven through, for the installer's
// shortcuts and the uninstaller's reading of them. Spelt out here rather than taken from the
// uuid library, whose objects each carry hundreds of other identifiers.
#pragma once
#include <windows.h>

namespace qarn {

inline constexpr CLSID kShellLinkClass = {0x00021401, 0x0000, 0x0000,
                                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kShellLinkA = {0x000214EE, 0x0000, 0x0000,
                                    {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kPersistFile = {0x0000010B, 0x0000, 0x0000,
                                     {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

}  // namespace qarn
