/* The resource and control ids of the Setup dialog, read both by the resource compiler
   (setup.rc) and by the code, so that each id is written once. Plain #defines and C
   comments only, for the resource compiler's sake; the C++ names below them are the same
   values. */
#pragma once

#define QARN_IDD_SETUP 100         /* the dialog template */
#define QARN_IDB_PICTURE 1         /* the dialog's picture */
#define QARN_IDI_SETUP 1           /* the program's icon group */

#define QARN_IDC_OK 1              /* IDOK */
#define QARN_IDC_EXIT 2            /* IDCANCEL: Escape sends it too */
#define QARN_IDC_BROWSE 7          /* "..." */
#define QARN_IDC_TITLE 101
#define QARN_IDC_FOLDER_LABEL 102
#define QARN_IDC_FOLDER 103
#define QARN_IDC_LANGUAGE_FRAME 104
#define QARN_IDC_START_MENU 105
#define QARN_IDC_DESKTOP 106
#define QARN_IDC_STATUS 107        /* lies over 105 and 106 */
#define QARN_IDC_GERMAN 201
#define QARN_IDC_ENGLISH 202
#define QARN_IDC_OTHER_LANGUAGES 203

#ifndef RC_INVOKED
namespace qarn {
inline constexpr int kDialogTemplate = QARN_IDD_SETUP;
inline constexpr int kOkButton = QARN_IDC_OK;
inline constexpr int kExitButton = QARN_IDC_EXIT;
inline constexpr int kBrowseButton = QARN_IDC_BROWSE;
inline constexpr int kTitleLine = QARN_IDC_TITLE;
inline constexpr int kFolderLabel = QARN_IDC_FOLDER_LABEL;
inline constexpr int kFolderField = QARN_IDC_FOLDER;
inline constexpr int kLanguageFrame = QARN_IDC_LANGUAGE_FRAME;
inline constexpr int kStartMenuBox = QARN_IDC_START_MENU;
inline constexpr int kDesktopBox = QARN_IDC_DESKTOP;
inline constexpr int kStatusLine = QARN_IDC_STATUS;
inline constexpr int kBoxGerman = QARN_IDC_GERMAN;
inline constexpr int kBoxEnglish = QARN_IDC_ENGLISH;
inline constexpr int kBoxOtherLanguages = QARN_IDC_OTHER_LANGUAGES;
}  // namespace qarn
#endif
