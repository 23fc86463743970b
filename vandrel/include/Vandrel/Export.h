// Export macro of the Vandrel shared library.
#pragma once

#if defined(_WIN32)
#if defined(VANDREL_BUILDING)
#define VANDREL_API __declspec(dllexport)
#else
#define VANDREL_API __declspec(dllimport)
#endif
#else
#define VANDREL_API __attribute__((visibility("default")))
#endif
