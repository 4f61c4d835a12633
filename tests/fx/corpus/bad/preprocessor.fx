// Preprocessor failures: an include, a user error and an unterminated conditional.
#include "common.fxh"
#define QUALITY 0
#if QUALITY < 1
#error QUALITY must be at least 1
#endif
#ifdef NEVER
float x;
