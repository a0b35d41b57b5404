#pragma once
// Small helpers over HDF5's C API shared by the records: handles closed when they go, the
// reason of a failure, attributes and whole datasets written and read.
#include <hdf5.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kl::h5 {

// An HDF5 object handle that is closed when it goes.
class Handle {
 public:
  Handle(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
  ~Handle() {
    if (id_ >= 0) close_(id_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  hid_t get() const { return id_; }
  bool ok() const { return id_ >= 0; }

 private:
  hid_t id_;
  herr_t (*close_)(hid_t);
};

// The most specific message on HDF5's error stack, for the one line a failure prints.
std::string Reason();
// Turns off HDF5's own printing of its error stack: failures are reported by the caller.
void Quiet();

// Builds a whole file in memory (HDF5's core driver, without a file behind it) with `fill`,
// then writes its bytes to `path` through a temporary file and a rename: HDF5 itself never
// writes to the disk, so a full disk is seen, with the system's reason, where the bytes are
// written, and the library keeps no half-written file open. False with `error` ("cannot write
// PATH: ...") when `fill` or the write fails; `path` is then as it was.
bool WriteFileImage(const std::string& path, const std::function<bool(hid_t file)>& fill, std::string& error);

bool WriteAttribute(hid_t at, const char* name, hid_t type, const std::vector<hsize_t>& dims, const void* data);
bool WriteStringAttribute(hid_t at, const char* name, const std::string& text);
// A whole dataset of doubles or ints of the given shape; when `chunked`, chunked, deflated and
// checksummed (Fletcher32), so a reader finds a damaged chunk.
bool WriteDataset(hid_t file, const char* name, hid_t type, const std::vector<hsize_t>& dims, const void* data,
                  bool chunked);
bool WriteStrings(hid_t file, const char* name, const std::vector<std::string>& texts);

// Readers: false when the object is missing or not of the expected shape and type class.
bool ReadScalar(hid_t at, const char* name, double& value);
bool ReadScalar(hid_t at, const char* name, long long& value);
std::optional<std::string> ReadStringAttribute(hid_t at, const char* name);
// A dataset's dimensions, or nullopt when there is no such dataset.
std::optional<std::vector<hsize_t>> DatasetShape(hid_t file, const char* name);
// At most `limit` values; false when the dataset holds more.
bool ReadDoubles(hid_t file, const char* name, size_t limit, std::vector<double>& values);
bool ReadStrings(hid_t file, const char* name, size_t limit, std::vector<std::string>& texts);

}  // namespace kl::h5
