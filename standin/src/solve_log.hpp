// Lines the stand-in adds to the solve's log, where HiGHS writes its own: the console when
// OutputFlag and LogToConsole are on, and LogFile when one is set and OutputFlag is on.
#ifndef STANDIN_SOLVE_LOG_HPP
#define STANDIN_SOLVE_LOG_HPP

#include <string_view>

#include "parameters.hpp"

namespace standin {

void log_line(const ParameterSet& params, std::string_view text);

}  // namespace standin

#endif
