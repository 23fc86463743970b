/// @file
/// Export macro: TALQ_API marks the public interface of TalqOSUtils.
///
/// Building the library defines TALQOSUTILS_BUILDING; linking the static
/// archive (white-box tests) defines TALQOSUTILS_STATIC. Hosts define neither.

/// @def TALQ_API
/// Marks a class or function of the public interface: exported from the
/// library as it is built, imported by hosts (dllexport and dllimport on
/// Windows, default visibility elsewhere), empty in the static archive.
#pragma once

#if defined(TALQOSUTILS_STATIC)
#define TALQ_API
#elif defined(_WIN32)
#if defined(TALQOSUTILS_BUILDING)
#define TALQ_API __declspec(dllexport)
#else
#define TALQ_API __declspec(dllimport)
#endif
#else
#define TALQ_API __attribute__((visibility("default")))
#endif
