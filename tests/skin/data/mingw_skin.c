/* A small real DLL for the loader's tests and the fuzz seeds: two exports, imports from KERNEL32 and USER32,
   base relocations and an entry point, as a linker lays them out. mingw_skin.dll is built from it with
   i686-w64-mingw32-gcc -O2 -s -shared -nostdlib -Wl,--entry,_DllMain@12 -Wl,--dynamicbase \
       -o mingw_skin.dll mingw_skin.c -lkernel32 -luser32 */
#include <windows.h>

static int attached;
static const char* names[] = {"one", "two"};

__declspec(dllexport) int __stdcall SkinH_AttachRes(const unsigned char* data, int size, const char* password, int hue,
                                                    int sat, int bri) {
    (void)password;
    (void)hue;
    (void)sat;
    (void)bri;
    return attached + size + data[0] + (int)(names[1][0]) + (int)GetTickCount();
}

__declspec(dllexport) int Other(void) { return MessageBoxA(0, "x", "y", 0); }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        attached = 1;
    }
    return TRUE;
}
