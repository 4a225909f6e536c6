#pragma once
#include <cstdint>
#include <string>

// Clock time texts the writers share.
namespace tessel {

// hh:mm:ss<sep>mmm with "00" and "000" fields; hours are not wrapped.
std::string FormatClockTime(int32_t milliseconds, char separator);
void AppendClockTime(std::string& out, int32_t milliseconds, char separator);
// hh:mm:ss with "00" fields; the milliseconds below the second are dropped.
std::string FormatWholeSeconds(int32_t milliseconds, const char* separator = ":");
// The milliseconds as a count of whole hundredths, halves rounded upward.
int32_t RoundToHundredths(int32_t milliseconds);

} // namespace tessel
