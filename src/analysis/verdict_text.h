#pragma once
// The texts of a finished check's figures, truncated in 32-bit float
// arithmetic the way the results have always been shown.
#include <string>

namespace rw {

// "whole.hh", e.g. 99.50 or 7.05; anything that is not a non-negative number
// shows as 0.00.
std::wstring averageFpsText(float average);

// "mm:ss.hh". The cup-storage map's timer starts five seconds late, so its
// seconds are shown five less, borrowing from the minutes; a time below five
// seconds there shows 00:00.hh. A negative or non-numeric time counts as 0.
std::wstring runTimeText(float seconds, bool cupStorageRule);

}  // namespace rw
