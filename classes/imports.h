// Libraries bound at run time: each one's functions are listed once, one line each,
// in an X-macro list, and ZT_IMPORT turns every line into the function's pointer
// type, NAME_t, and Import_NAME(module), which looks the export up by its name at
// the moment of the call (null when the module is null or lacks it).
#pragma once

#include <windows.h>

namespace zt {

template <class Pointer>
Pointer FindImport(HMODULE module, const char* name) noexcept
{
    FARPROC address = module != nullptr ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Pointer>(reinterpret_cast<void*>(address));
}

} // namespace zt

#define ZT_IMPORT(name, pointer)                                                            \
    using name##_t = pointer;                                                               \
    inline name##_t Import_##name(HMODULE module) noexcept                                  \
    {                                                                                       \
        return ::zt::FindImport<name##_t>(module, #name);                                   \
    }
