#include "tests/e2e/setup_driver.h"

#include <commctrl.h>

#include <cstdlib>
#include <vector>

namespace qarn::e2e {
namespace {

// How the driver asks the programs' windows: it waits for an answer (up to 15 s) rather
// than giving up on a "hung" program. A setup that has installed for more than 5 s without
// taking messages, as on a slow or emulated machine, counts as hung until its message
// box's loop takes its first message, and SMTO_ABORTIFHUNG would fail at once there.
constexpr UINT kAskFlags = SMTO_NORMAL;
constexpr UINT kAskMilliseconds = 15000;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string class_of(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

DWORD process_of(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

struct Search {
    DWORD pid;
    HWND owner;
    bool want_picker;
    HWND found;
};

BOOL CALLBACK find_child_class(HWND child, LPARAM lparam) {
    auto* wanted = reinterpret_cast<std::pair<const char*, HWND>*>(lparam);
    if (class_of(child) == wanted->first) {
        wanted->second = child;
        return FALSE;
    }
    return TRUE;
}

HWND child_of_class(HWND parent, const char* name) {
    std::pair<const char*, HWND> wanted{name, nullptr};
    EnumChildWindows(parent, find_child_class, reinterpret_cast<LPARAM>(&wanted));
    return wanted.second;
}

BOOL CALLBACK find_top_level(HWND window, LPARAM lparam) {
    auto* search = reinterpret_cast<Search*>(lparam);
    if (process_of(window) != search->pid || class_of(window) != "#32770" ||
        !IsWindowVisible(window)) {
        return TRUE;
    }
    if (search->owner == nullptr) {
        // The Setup dialog: no owner, and the folder field.
        if (GetWindow(window, GW_OWNER) == nullptr && GetDlgItem(window, 103) != nullptr) {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    }
    if (GetWindow(window, GW_OWNER) != search->owner) return TRUE;
    const bool picker = child_of_class(window, "SysTreeView32") != nullptr;
    if (picker == search->want_picker) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct StaticTexts {
    std::vector<std::string> texts;
};

BOOL CALLBACK collect_statics(HWND child, LPARAM lparam) {
    auto* out = reinterpret_cast<StaticTexts*>(lparam);
    if (class_of(child) != "Static") return TRUE;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return TRUE;
    const std::string text = window_text(child);
    if (!text.empty()) out->texts.push_back(text);
    return TRUE;
}

// What the screen shows of a window: its pixels, read back from the display.
std::vector<uint32_t> screen_pixels(HWND window) {
    RECT r;
    if (window == nullptr || !GetWindowRect(window, &r)) return {};
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return {};
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = w;
    format.bmiHeader.biHeight = -h;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    if (GetDIBits(memory, bitmap, 0, h, pixels.data(), &format, DIB_RGB_COLORS) == 0) pixels.clear();
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

BOOL CALLBACK find_icon_static(HWND child, LPARAM lparam) {
    if (class_of(child) == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        IsWindowVisible(child)) {
        *reinterpret_cast<HWND*>(lparam) = child;
        return FALSE;
    }
    return TRUE;
}

HWND icon_of_box(HWND box) {
    HWND icon = nullptr;
    EnumChildWindows(box, find_icon_static, reinterpret_cast<LPARAM>(&icon));
    return icon;
}

struct ReferenceBox {
    UINT style;
    std::vector<uint32_t> pixels;
};

DWORD WINAPI show_reference_box(LPVOID parameter) {
    auto* reference = static_cast<ReferenceBox*>(parameter);
    MessageBoxA(nullptr, "reference", "qarn-e2e-reference", reference->style | MB_OK | MB_TOPMOST);
    return 0;
}

// The icon of a message box of `style` as this system draws it: a box of the driver's own,
// shown, read from the screen and closed. Icons are loaded per process, so handles cannot be
// compared across processes; what the screen shows can.
std::vector<uint32_t> reference_icon(UINT style) {
    ReferenceBox reference{style, {}};
    HANDLE thread = CreateThread(nullptr, 0, show_reference_box, &reference, 0, nullptr);
    HWND box = nullptr;
    wait_until(
        [&] {
            box = FindWindowA("#32770", "qarn-e2e-reference");
            return box != nullptr && IsWindowVisible(box);
        },
        10000);
    if (box != nullptr) {
        Sleep(300);  // drawn
        reference.pixels = screen_pixels(icon_of_box(box));
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    }
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    return reference.pixels;
}

std::string windows_path_of(const std::string& unix_path) {
    if (unix_path.empty() || unix_path[0] != '/') return unix_path;
    std::string s = "Z:" + unix_path;
    for (char& c : s) {
        if (c == '/') c = '\\';
    }
    return s;
}

std::vector<uint32_t> g_error_icon;
std::vector<uint32_t> g_information_icon;

}  // namespace

void prepare_icon_references() {
    g_error_icon = reference_icon(MB_ICONERROR);
    g_information_icon = reference_icon(MB_ICONINFORMATION);
}

std::string setup_exe() { return input_path("QARN_E2E_SETUP"); }
std::string product_dir() { return input_path("QARN_E2E_PRODUCT"); }
std::string input_path(const char* name) { return windows_path_of(environment(name)); }

std::string window_text(HWND window) {
    char buffer[1024] = "";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                             kAskFlags, kAskMilliseconds, &length)) {
        return "<no answer>";
    }
    return std::string(buffer, length < sizeof buffer ? length : sizeof buffer - 1);
}

void end_child_process(PROCESS_INFORMATION& process) {
    if (process.hProcess == nullptr) return;
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    process = {};
}

SetupRun::~SetupRun() { end_child_process(process_); }

bool SetupRun::start(DWORD timeout_ms) { return start(setup_exe(), "", timeout_ms); }

bool SetupRun::start(const std::string& setup_path, const std::string& current_folder,
                     DWORD timeout_ms) {
    std::string command = "\"" + setup_path + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    const ULONGLONG started = GetTickCount64();
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        current_folder.empty() ? nullptr : current_folder.c_str(), &startup,
                        &process_)) {
        return false;
    }
    WaitForInputIdle(process_.hProcess, timeout_ms);
    const bool shown = wait_until(
        [&] {
            Search search{process_.dwProcessId, nullptr, false, nullptr};
            EnumWindows(find_top_level, reinterpret_cast<LPARAM>(&search));
            dialog_ = search.found;
            // Start-up is over once the interface texts are set (its second-to-last step).
            return dialog_ != nullptr && !window_text(GetDlgItem(dialog_, 2)).empty();
        },
        timeout_ms);
    to_dialog_ms_ = static_cast<DWORD>(GetTickCount64() - started);
    return shown;
}

std::string SetupRun::caption() const { return window_text(dialog_); }

std::string SetupRun::text(int control_id) const {
    return window_text(GetDlgItem(dialog_, control_id));
}

std::string SetupRun::text_held(int control_id) const {
    // For a window of another process, GetWindowText asks the window system, not the window.
    char buffer[1024] = "";
    const int length = GetWindowTextA(GetDlgItem(dialog_, control_id), buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

bool SetupRun::checked(int control_id) const {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(GetDlgItem(dialog_, control_id), BM_GETCHECK, 0, 0, kAskFlags,
                        kAskMilliseconds, &state);
    return state == BST_CHECKED;
}

bool SetupRun::visible(int control_id) const {
    return IsWindowVisible(GetDlgItem(dialog_, control_id)) != FALSE;
}

void SetupRun::type(int control_id, const std::string& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(GetDlgItem(dialog_, control_id), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(text.c_str()), kAskFlags, kAskMilliseconds,
                        &ignored);
}

void SetupRun::click(int control_id) {
    // Posted, not sent: OK runs the whole installation inside the click, message boxes
    // included, and the driver must stay free to answer them.
    PostMessageA(GetDlgItem(dialog_, control_id), BM_CLICK, 0, 0);
}

void SetupRun::press(HWND dialog, int button_id) {
    PostMessageA(GetDlgItem(dialog, button_id), BM_CLICK, 0, 0);
}

HWND SetupRun::find_owned(bool want_picker) const {
    Search search{process_.dwProcessId, dialog_, want_picker, nullptr};
    EnumWindows(find_top_level, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

MessageBoxSeen SetupRun::wait_for_message_box(DWORD timeout_ms) {
    MessageBoxSeen box;
    wait_until(
        [&] {
            box.window = find_owned(false);
            return box.window != nullptr || WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
        },
        timeout_ms);
    box.seen_at = GetTickCount64();
    if (box.window == nullptr) return box;
    // The text control may be filled a moment after the box appears.
    StaticTexts statics;
    wait_until(
        [&] {
            statics = StaticTexts{};
            EnumChildWindows(box.window, collect_statics, reinterpret_cast<LPARAM>(&statics));
            return !statics.texts.empty();
        },
        5000);
    box.caption = window_text(box.window);
    if (!statics.texts.empty()) box.text = statics.texts.front();
    Sleep(300);  // drawn
    const std::vector<uint32_t> shown = screen_pixels(icon_of_box(box.window));
    box.error_icon = !shown.empty() && shown == g_error_icon;
    box.information_icon = !shown.empty() && shown == g_information_icon;
    return box;
}

void SetupRun::close_message_box(const MessageBoxSeen& box) {
    press(box.window, IDOK);
    wait_until([&] { return !IsWindow(box.window); }, 10000);
}

HWND SetupRun::wait_for_folder_picker(DWORD timeout_ms) {
    HWND picker = nullptr;
    wait_until(
        [&] {
            picker = find_owned(true);
            return picker != nullptr;
        },
        timeout_ms);
    return picker;
}

bool SetupRun::still_waiting_after(DWORD ms) {
    Sleep(ms);
    return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT && IsWindow(dialog_) &&
           find_owned(false) == nullptr;
}

bool SetupRun::kill() {
    if (process_.hProcess == nullptr || WaitForSingleObject(process_.hProcess, 0) != WAIT_TIMEOUT) {
        return false;
    }
    const bool ended = TerminateProcess(process_.hProcess, 99) != FALSE;
    WaitForSingleObject(process_.hProcess, 10000);
    return ended;
}

long SetupRun::wait_for_exit(DWORD timeout_ms) {
    if (WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
}

}  // namespace qarn::e2e
