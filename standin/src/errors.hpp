// Error codes returned through the C API, and the result type used behind it.
#ifndef STANDIN_ERRORS_HPP
#define STANDIN_ERRORS_HPP

#include <expected>

namespace standin {

enum class Error : int {
  OutOfMemory = 10001,
  NullArgument = 10002,
  InvalidArgument = 10003,
  UnknownAttribute = 10004,
  DataNotAvailable = 10005,
  IndexOutOfRange = 10006,
  UnknownParameter = 10007,
  ValueOutOfRange = 10008,
  NoLicense = 10009,
  Exceed2BNonzeros = 10025,
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
