#pragma once
// The scanning control's error codes turned into the condition codes the program reads
// (0 success, TWAIN condition codes otherwise; 1 for anything the table does not name).

namespace scan {

int ConditionFromErrorCode(long errorCode);

} // namespace scan
