// GetVpiInfo and the three handlers that only report.
#include "config/work_area.h"
#include "host/handlers.h"
#include "host/log.h"

namespace kesta {
namespace {

constexpr char kName[] = "Siemens SINEC H1";

// 190 characters in code page 437: backspace, line feed, then a double-lined
// box of three 62-character lines.
#define KESTA_BOX_RULE                                                             \
  "\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD" \
  "\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD" \
  "\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD"
constexpr char kBanner[] =
    "\x08\n"
    "\xC9" KESTA_BOX_RULE "\xBB\n"
    "\xBA KESTA: Siemens SINEC H1 on VIPA/INAT card  (32-bit driver) \xBA\n"
    "\xC8" KESTA_BOX_RULE "\xBC";
#undef KESTA_BOX_RULE
static_assert(sizeof(kBanner) == 191, "190 characters and the NUL");

constexpr char kMsgGetVpiInfo[] = "KESTA> GetVpiInfo() exited, 0";
constexpr char kMsgCloseCom[] = "KESTA> CloseCom() exited 0";
constexpr char kMsgReOpenCom[] = "KESTA> ReOpenCom() exited 0";
constexpr char kMsgChangeVpiParams[] = "KESTA> ChangeVpiParams() exitted, 0";

}  // namespace

int32_t GetVpiInfo(VpiCallBlock* call) {
  VpiInfo* info = static_cast<VpiInfo*>(call->params);
  info->infoId = 70;
  info->name = kName;
  info->banner = kBanner;
  info->workAreaSize = static_cast<int32_t>(kWorkAreaSize);
  info->infoA = 2;
  info->infoB = 0;
  info->infoC = 3;
  Log(kLevelInfo, kMsgGetVpiInfo);
  return kResultOk;
}

int32_t CloseCom(VpiCallBlock*) {
  Log(kLevelInfo, kMsgCloseCom);
  return kResultOk;
}

int32_t ReOpenCom(VpiCallBlock*) {
  Log(kLevelInfo, kMsgReOpenCom);
  return kResultOk;
}

int32_t ChangeVpiParams(VpiCallBlock*) {
  Log(kLevelInfo, kMsgChangeVpiParams);
  return kResultOk;
}

}  // namespace kesta
