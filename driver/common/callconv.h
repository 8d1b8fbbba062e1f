// Calling conventions of the seams: the host calls VpiMain, and the driver
// calls the card library, with the Windows API convention (callee pops) on
// 32-bit Windows; elsewhere the platform's default applies.
#pragma once

#if defined(_WIN32)
#define KESTA_WINAPI __stdcall
#else
#define KESTA_WINAPI
#endif

// The driver's one export. On Windows the .def file exports it undecorated.
#if defined(_WIN32)
#define KESTA_EXPORT
#else
#define KESTA_EXPORT __attribute__((visibility("default")))
#endif
