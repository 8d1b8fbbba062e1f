// Every handler of the dispatch table takes the whole call block and returns
// the integer result that VpiMain hands back to the host.
#pragma once

#include "host/records.h"

namespace kesta {

// Host interface (this folder)
int32_t GetVpiInfo(VpiCallBlock* call);
int32_t CloseCom(VpiCallBlock* call);
int32_t ReOpenCom(VpiCallBlock* call);
int32_t ChangeVpiParams(VpiCallBlock* call);

// Start-up and configuration (config/)
int32_t ColdStart(VpiCallBlock* call);
int32_t WarmStart(VpiCallBlock* call);
int32_t EndVpi(VpiCallBlock* call);

// Gate addresses (address/)
int32_t SingleAddressParser(VpiCallBlock* call);
int32_t BlockAddressParser(VpiCallBlock* call);

// S5 data exchange (s5/)
int32_t SingleRead(VpiCallBlock* call);
int32_t BlockRead(VpiCallBlock* call);
int32_t SingleWrite(VpiCallBlock* call);
int32_t BlockWrite(VpiCallBlock* call);

}  // namespace kesta
