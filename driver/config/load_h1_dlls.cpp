#include "config/load_h1_dlls.h"

#include "h1/card_library.h"
#include "host/log.h"
#include "platform/platform.h"

namespace kesta {
namespace {

constexpr char kMsgNoVersion[] = "KESTA> LoadH1DLLs() Error getting Win version number";
constexpr char kMsgLoaded[] = "KESTA> LoadH1DLLs() '%s' loaded";
constexpr char kMsgLoadError[] = "KESTA> LoadH1DLLs() error loading '%s'";
constexpr char kMsgIllegalOs[] =
    "KESTA> LoadH1DLLs() Illegal WIN32 OS: %u.%u, build %08x, platform %u";
constexpr char kMsgNoDriverOpen[] =
    "KESTA> LoadH1DLLs() error getting proc. addr 'H1DriverOpen' from '%s'";
constexpr char kMsgNoDriverClose[] =
    "KESTA> LoadH1DLLs() error getting proc. addr 'H1DriverClose' from '%s'";
constexpr char kMsgNoStarteVerbindungKarte[] =
    "KESTA> LoadH1DLLs() error getting proc. addr 'H1StarteVerbindungKarte' from '%s'";
constexpr char kMsgNoStoppeVerbindung[] =
    "KESTA> LoadH1DLLs() error getting proc. addr 'H1StoppeVerbindung' from '%s'";
constexpr char kMsgNoSendeDaten[] =
    "KESTA> LoadH1DLLs() error getting proc. addr 'H1SendeDaten' from '%s'";
constexpr char kMsgNoLeseDaten[] =
    "KESTA> LoadH1DLLs() error getting proc. addr 'H1LeseDaten' from '%s'";
constexpr char kMsgNoHoleStandardwerte[] =
    "KESTA> LoadH1DLLs() error getting proc. addr 'H1HoleStandardwerte' from '%s'";
constexpr char kMsgNoSetzeStandardwerte[] =
    "KESTA> LoadH1DLLs() error getting proc. addr 'H1SetzeStandardwerte' from '%s'";

constexpr char kLibrary95[] = "H1DLL95.DLL";
constexpr char kLibraryW95[] = "H1DLLW95.DLL";
constexpr char kLibraryNt[] = "H1DLLNT.DLL";

// Looks one entry up and stores it at once, found or not (a missing entry
// leaves a null pointer behind). False, with the entry's message, if missing.
template <typename Fn>
bool Bind(void* library, const char* fileName, const char* name, const char* missingMessage,
          Fn& slot) {
  const GenericProc proc = CurrentPlatform().findEntry(library, name);
  slot = reinterpret_cast<Fn>(proc);
  if (proc != nullptr) return true;
  Log(kLevelError, missingMessage, fileName);
  return false;
}

}  // namespace

int32_t LoadH1DLLs() {
  const Platform& platform = CurrentPlatform();
  PlatformVersion version{};
  if (!platform.queryVersion(&version)) {
    Log(kLevelError, kMsgNoVersion);
    return 1;
  }

  const char* fileName = nullptr;
  void* library = nullptr;
  if (version.platformId == kPlatformWindows95) {
    fileName = kLibrary95;
    library = platform.loadLibrary(fileName);
    if (library != nullptr) {
      Log(kLevelInfo, kMsgLoaded, fileName);
    } else {
      // The second name of the 95 family is used without a "loaded" line.
      fileName = kLibraryW95;
      library = platform.loadLibrary(fileName);
      if (library == nullptr) {
        Log(kLevelError, kMsgLoadError, fileName);
        return 1;
      }
    }
  } else if (version.platformId == kPlatformWindowsNt) {
    fileName = kLibraryNt;
    library = platform.loadLibrary(fileName);
    if (library == nullptr) {
      Log(kLevelError, kMsgLoadError, fileName);
      return 1;
    }
    Log(kLevelInfo, kMsgLoaded, fileName);
  } else {
    Log(kLevelError, kMsgIllegalOs, static_cast<unsigned>(version.major),
        static_cast<unsigned>(version.minor), static_cast<unsigned>(version.build),
        static_cast<unsigned>(version.platformId));
    return 1;
  }

  // In this order; the first missing entry ends the binding. The library
  // stays loaded either way.
  const bool bound =
      Bind(library, fileName, "H1DriverOpen", kMsgNoDriverOpen, g_h1.H1DriverOpen) &&
      Bind(library, fileName, "H1DriverClose", kMsgNoDriverClose, g_h1.H1DriverClose) &&
      Bind(library, fileName, "H1StarteVerbindungKarte", kMsgNoStarteVerbindungKarte,
           g_h1.H1StarteVerbindungKarte) &&
      Bind(library, fileName, "H1StoppeVerbindung", kMsgNoStoppeVerbindung,
           g_h1.H1StoppeVerbindung) &&
      Bind(library, fileName, "H1SendeDaten", kMsgNoSendeDaten, g_h1.H1SendeDaten) &&
      Bind(library, fileName, "H1LeseDaten", kMsgNoLeseDaten, g_h1.H1LeseDaten) &&
      Bind(library, fileName, "H1HoleStandardwerte", kMsgNoHoleStandardwerte,
           g_h1.H1HoleStandardwerte) &&
      Bind(library, fileName, "H1SetzeStandardwerte", kMsgNoSetzeStandardwerte,
           g_h1.H1SetzeStandardwerte);
  return bound ? 0 : 1;
}

}  // namespace kesta
