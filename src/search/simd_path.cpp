#include "search/simd_path.h"

namespace {

simd_path choose_path()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return simd_path::avx2;
    return simd_path::sse2;
#else
    return simd_path::portable;
#endif
}

} // namespace

simd_path active_simd_path()
{
    static const simd_path chosen = choose_path();
    return chosen;
}

bool simd_path_available(simd_path path)
{
    switch (path) {
    case simd_path::portable: return true;
    case simd_path::sse2: return active_simd_path() != simd_path::portable;
    case simd_path::avx2: return active_simd_path() == simd_path::avx2;
    }
    return false;
}

const char* simd_path_name(simd_path path)
{
    switch (path) {
    case simd_path::avx2: return "avx2";
    case simd_path::sse2: return "sse2";
    default: return "portable";
    }
}

bool simd_path_named(std::string_view name, simd_path& path)
{
    for (simd_path p : {simd_path::portable, simd_path::sse2, simd_path::avx2}) {
        if (name == simd_path_name(p)) {
            path = p;
            return true;
        }
    }
    return false;
}

bool simd_path_usable(const char* kind, simd_path& path)
{
    return kind && simd_path_named(kind, path) && simd_path_available(path);
}
