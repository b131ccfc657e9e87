// Pieces shared by the two cleaning jobs.
#pragma once

#include <cstdint>
#include <stdexcept>

namespace tidyfox::cleaning {

// Counts of removed tracks are 16-bit: a run removes at most this many.
inline constexpr int kMaxRemovals = 32767;

// A job cannot go on; the message is for the log, the user sees the job's
// failure alert.
class RunFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace tidyfox::cleaning
