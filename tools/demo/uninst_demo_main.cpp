// UnInst.exe of the demo product: the uninstaller the setup program registers. The demo
// removes nothing; it tells the user where the product is and how to remove it by hand.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char own_path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, own_path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) own_path[0] = '\0';
    MessageBoxA(nullptr,
                "This demo build of Zentrivo has no uninstaller of its own.\n\n"
                "Delete the program's folder, its Start-menu group \"QARN\" and the desktop "
                "icon by hand.",
                own_path, MB_ICONINFORMATION | MB_OK);
    return 0;
}
