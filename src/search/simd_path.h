// The vector instructions the byte scans of find in file use: chosen once
// for this processor, or named, so that tests can check each code path
// against the portable one.
//
// Thread-safety: plain functions.
#pragma once

#include <string_view>

enum class simd_path { portable, sse2, avx2 };

// The best path this processor and build have.
simd_path active_simd_path();
// Whether path can run here.
bool simd_path_available(simd_path path);
// "portable", "sse2" or "avx2".
const char* simd_path_name(simd_path path);
// The path of that name; false for an unknown name.
bool simd_path_named(std::string_view name, simd_path& path);
// The path named kind when it can run here; false otherwise (also for a null kind).
bool simd_path_usable(const char* kind, simd_path& path);
