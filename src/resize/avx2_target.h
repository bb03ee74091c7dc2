#pragma once

// Brackets the code that is compiled for AVX2 inside a file whose other code, and every header it
// includes, keeps the library's baseline target. GCC and clang name the same thing differently.

#if defined(__clang__)
#define RESIZE_AVX2_BEGIN \
    _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define RESIZE_AVX2_END _Pragma("clang attribute pop")
#else
#define RESIZE_AVX2_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define RESIZE_AVX2_END _Pragma("GCC pop_options")
#endif
