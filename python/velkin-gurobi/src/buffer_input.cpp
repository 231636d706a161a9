#include "buffer_input.hpp"

#include <bit>
#include <cstring>
#include <string_view>

namespace velkin {
namespace {

bool is_plain_buffer_type(PyObject* object) {
  if (PyMemoryView_Check(object) && Py_IS_TYPE(object, &PyMemoryView_Type)) return true;
  const std::string_view name = Py_TYPE(object)->tp_name;
  return name == "numpy.ndarray" || name == "array.array";
}

// The format letter of a native-endian, native-size single item, or 0.
char native_format(const char* format) {
  if (format == nullptr) return 'B';
  std::string_view text(format);
  if (text.size() == 2 &&
      (text[0] == '@' || text[0] == '=' || (text[0] == (std::endian::native == std::endian::little ? '<' : '>')))) {
    text.remove_prefix(1);
  }
  return text.size() == 1 ? text[0] : 0;
}

class BufferView {
 public:
  explicit BufferView(PyObject* object) {
    if (!is_plain_buffer_type(object)) return;
    if (PyObject_GetBuffer(object, &view_, PyBUF_FORMAT | PyBUF_C_CONTIGUOUS) != 0) {
      PyErr_Clear();
      return;
    }
    held_ = true;
  }
  BufferView(const BufferView&) = delete;
  BufferView& operator=(const BufferView&) = delete;
  ~BufferView() {
    if (held_) PyBuffer_Release(&view_);
  }

  // The item count when the buffer is a 1-D array of `size`-byte items whose
  // format letter is one of `formats`.
  std::optional<std::size_t> items(std::string_view formats, std::size_t size) const {
    if (!held_ || view_.ndim != 1 || static_cast<std::size_t>(view_.itemsize) != size ||
        formats.find(native_format(view_.format)) == std::string_view::npos) {
      return std::nullopt;
    }
    return static_cast<std::size_t>(view_.shape[0]);
  }
  const void* data() const { return view_.buf; }

 private:
  Py_buffer view_{};
  bool held_ = false;
};

// 64-bit integers are 'q'/'Q' in array.array and 'l'/'L' in NumPy on LP64
// platforms; the item size check keeps 32-bit longs out.
constexpr std::string_view kSigned64Formats = "ql";
constexpr std::string_view kUnsigned64Formats = "QL";

template <class T>
std::vector<T> copy_items(const BufferView& view, std::size_t count) {
  std::vector<T> values(count);
  if (count != 0) std::memcpy(values.data(), view.data(), count * sizeof(T));
  return values;
}

}  // namespace

std::optional<std::vector<double>> read_double_buffer(PyObject* object) {
  const BufferView view(object);
  const auto count = view.items("d", sizeof(double));
  if (!count) return std::nullopt;
  return copy_items<double>(view, *count);
}

std::optional<IndexBuffer> read_index_buffer(PyObject* object) {
  const BufferView view(object);
  if (const auto count = view.items(kUnsigned64Formats, sizeof(std::uint64_t))) {
    return IndexBuffer{copy_items<std::uint64_t>(view, *count), std::nullopt};
  }
  const auto count = view.items(kSigned64Formats, sizeof(std::int64_t));
  if (!count) return std::nullopt;
  IndexBuffer result{copy_items<std::uint64_t>(view, *count), std::nullopt};
  for (std::size_t i = 0; i < result.values.size(); ++i) {
    if (static_cast<std::int64_t>(result.values[i]) < 0) {
      result.first_negative = i;
      break;
    }
  }
  return result;
}

}  // namespace velkin
