// The H1 card library's eight entry points, bound by ColdStart and shared by
// every VPI of the process, and the status words the driver acts on.
#pragma once

#include <cstdint>

#include "common/callconv.h"

namespace kesta {

using H1DriverOpenFn = uint16_t(KESTA_WINAPI*)();
using H1DriverCloseFn = uint16_t(KESTA_WINAPI*)();
using H1StarteVerbindungKarteFn = uint16_t(KESTA_WINAPI*)(void* connectBlock);
using H1StoppeVerbindungFn = uint16_t(KESTA_WINAPI*)(uint16_t connection);
using H1SendeDatenFn = uint16_t(KESTA_WINAPI*)(void* transferBlock);
using H1LeseDatenFn = uint16_t(KESTA_WINAPI*)(void* transferBlock);
using H1HoleStandardwerteFn = uint16_t(KESTA_WINAPI*)(void* defaultsBlock);
using H1SetzeStandardwerteFn = uint16_t(KESTA_WINAPI*)(void* defaultsBlock);

struct H1Entries {
  H1DriverOpenFn H1DriverOpen;
  H1DriverCloseFn H1DriverClose;
  H1StarteVerbindungKarteFn H1StarteVerbindungKarte;
  H1StoppeVerbindungFn H1StoppeVerbindung;
  H1SendeDatenFn H1SendeDaten;
  H1LeseDatenFn H1LeseDaten;
  H1HoleStandardwerteFn H1HoleStandardwerte;
  H1SetzeStandardwerteFn H1SetzeStandardwerte;
};

// The process-wide entry points (written by LoadH1DLLs).
extern H1Entries g_h1;

// Status words read from a block after a call whose result was 0.
inline constexpr uint16_t kH1StatusDone = 0;
inline constexpr uint16_t kH1StatusAllConnectionsUsed = 2;  // connect
inline constexpr uint16_t kH1StatusBusy = 3;                // connect, send, receive
inline constexpr uint16_t kH1StatusMoreData = 12;           // receive

// Wait before the single repeat of a busy call, and after a busy connect.
inline constexpr uint32_t kBusyWaitMs = 100;

}  // namespace kesta
