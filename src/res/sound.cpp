#include "res/sound.h"

#include <windows.h>
#include <mmsystem.h>

#include "res/localize.h"
#include "store/store.h"

int PlaySoundResource(unsigned id, int async)
{
    if (g_settings.UseSound == 0) return 1;  // read at every sound: the dialog silences the next one
    HMODULE module = g_language.module;
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), "WAVE");
    if (!info) return 0;
    HGLOBAL loaded = LoadResource(module, info);
    if (!loaded) return 0;
    int result = 0;
    if (const void* image = LockResource(loaded)) {
        // SND_NODEFAULT: a sound that cannot play is silence, never the
        // system's default beep. The image lives as long as the module,
        // so an asynchronous sound outlives the FreeResource below.
        UINT flags = SND_MEMORY | SND_NODEFAULT | (async ? SND_ASYNC : SND_SYNC);
        result = sndPlaySoundA(static_cast<LPCSTR>(image), flags) ? 1 : 0;
    }
    FreeResource(loaded);
    return result;
}
