// Error codes returned through the C API, and the result type used behind it.
#ifndef STANDIN_ERRORS_HPP
#define STANDIN_ERRORS_HPP

#include <expected>

#include "kesto_solver_gurobi/gurobi_constants.h"

namespace standin {

enum class Error : int {
  OutOfMemory = GRB_ERROR_OUT_OF_MEMORY,
  NullArgument = GRB_ERROR_NULL_ARGUMENT,
  InvalidArgument = GRB_ERROR_INVALID_ARGUMENT,
  UnknownAttribute = GRB_ERROR_UNKNOWN_ATTRIBUTE,
  DataNotAvailable = GRB_ERROR_DATA_NOT_AVAILABLE,
  IndexOutOfRange = GRB_ERROR_INDEX_OUT_OF_RANGE,
  UnknownParameter = GRB_ERROR_UNKNOWN_PARAMETER,
  ValueOutOfRange = GRB_ERROR_VALUE_OUT_OF_RANGE,
  NoLicense = GRB_ERROR_NO_LICENSE,
  Exceed2BNonzeros = GRB_ERROR_EXCEED_2B_NONZEROS,
};

template <class T>
using Result = std::expected<T, Error>;

inline constexpr int kSuccess = 0;

inline int to_code(Error error) { return static_cast<int>(error); }

template <class T>
int to_code(const Result<T>& result) {
  return result ? kSuccess : to_code(result.error());
}

}  // namespace standin

#endif
