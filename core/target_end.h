// Closes the region that target_avx2.h or target_avx512.h opened.
#if defined(MEXGEOM_TARGET_REGION)
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#undef MEXGEOM_TARGET_REGION
#endif
