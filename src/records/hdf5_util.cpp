#include "records/hdf5_util.h"

#include <algorithm>

#include "base/replace_file.h"

namespace kl::h5 {

namespace {
constexpr unsigned kDeflateLevel = 4;
constexpr hsize_t kChunkValues = 32768;  // 256 kB of doubles
constexpr size_t kImageIncrement = 1 << 20;

// Every file is closed on every path before the program ends; the library's own clean-up at
// exit would otherwise try again to flush a file whose writes had failed, and crash there.
const bool kNoCleanUpAtExit = (H5dont_atexit(), true);
}  // namespace

bool WriteFileImage(const std::string& path, const std::function<bool(hid_t file)>& fill, std::string& error) {
  (void)kNoCleanUpAtExit;
  Quiet();
  std::vector<char> image;
  {
    Handle access(H5Pcreate(H5P_FILE_ACCESS), H5Pclose);
    if (!access.ok() || H5Pset_fapl_core(access.get(), kImageIncrement, false) < 0) {
      error = "cannot write " + path + ": " + Reason();
      return false;
    }
    const hid_t file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, access.get());
    bool ok = file >= 0 && fill(file) && H5Fflush(file, H5F_SCOPE_GLOBAL) >= 0;
    if (ok) {
      const ssize_t size = H5Fget_file_image(file, nullptr, 0);
      ok = size > 0;
      if (ok) {
        image.resize(static_cast<size_t>(size));
        ok = H5Fget_file_image(file, image.data(), image.size()) == size;
      }
    }
    if (!ok) error = "cannot write " + path + ": " + Reason();
    if (file >= 0 && H5Fclose(file) < 0 && ok) {
      error = "cannot write " + path + ": " + Reason();
      ok = false;
    }
    if (!ok) return false;
  }
  return WriteFileReplacing(path, std::string_view(image.data(), image.size()), error);
}

std::string Reason() {
  // The innermost message; where the library tells the system's reason of a failed read or
  // write ("..., errno = 28, error message = 'No space left on device', ..."), that reason.
  std::pair<std::string, std::string> found;  // innermost, system's
  H5Ewalk2(
      H5E_DEFAULT, H5E_WALK_UPWARD,
      [](unsigned n, const H5E_error2_t* e, void* data) -> herr_t {
        auto& [innermost, system] = *static_cast<std::pair<std::string, std::string>*>(data);
        if (!e->desc) return 0;
        const std::string desc = e->desc;
        if (n == 0) innermost = desc;
        const std::string marker = "error message = '";
        const size_t at = desc.find(marker);
        if (system.empty() && at != std::string::npos) {
          const size_t from = at + marker.size(), to = desc.find('\'', from);
          system = desc.substr(from, to == std::string::npos ? std::string::npos : to - from);
        }
        return 0;
      },
      &found);
  if (!found.second.empty()) return found.second;
  return found.first.empty() ? "HDF5 error" : found.first;
}

void Quiet() {
  (void)kNoCleanUpAtExit;
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
}

bool WriteAttribute(hid_t at, const char* name, hid_t type, const std::vector<hsize_t>& dims, const void* data) {
  Handle space(dims.empty() ? H5Screate(H5S_SCALAR)
                            : H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr),
               H5Sclose);
  if (!space.ok()) return false;
  Handle attribute(H5Acreate2(at, name, type, space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
  if (!attribute.ok()) return false;
  hsize_t values = 1;
  for (hsize_t d : dims) values *= d;
  return values == 0 || H5Awrite(attribute.get(), type, data) >= 0;
}

namespace {
hid_t Utf8StringType() {
  const hid_t type = H5Tcopy(H5T_C_S1);
  if (type < 0) return type;
  if (H5Tset_size(type, H5T_VARIABLE) < 0 || H5Tset_cset(type, H5T_CSET_UTF8) < 0) {
    H5Tclose(type);
    return -1;
  }
  return type;
}
}  // namespace

bool WriteStringAttribute(hid_t at, const char* name, const std::string& text) {
  Handle type(Utf8StringType(), H5Tclose);
  const char* chars = text.c_str();
  return type.ok() && WriteAttribute(at, name, type.get(), {}, &chars);
}

bool WriteDataset(hid_t file, const char* name, hid_t type, const std::vector<hsize_t>& dims, const void* data,
                  bool chunked) {
  Handle space(H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr), H5Sclose);
  Handle create(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
  if (!space.ok() || !create.ok()) return false;
  hsize_t values = 1;
  for (hsize_t d : dims) values *= d;
  if (chunked && values > 0) {
    // Whole rows of the last dimension, about kChunkValues values a chunk.
    std::vector<hsize_t> chunk(dims);
    hsize_t rest = kChunkValues;
    for (size_t k = dims.size(); k-- > 0;) {
      chunk[k] = std::max<hsize_t>(1, std::min(dims[k], rest));
      rest = std::max<hsize_t>(1, rest / chunk[k]);
    }
    if (H5Pset_chunk(create.get(), static_cast<int>(chunk.size()), chunk.data()) < 0 ||
        H5Pset_deflate(create.get(), kDeflateLevel) < 0 || H5Pset_fletcher32(create.get()) < 0)
      return false;
  }
  Handle set(H5Dcreate2(file, name, type, space.get(), H5P_DEFAULT, create.get(), H5P_DEFAULT), H5Dclose);
  return set.ok() && (values == 0 || H5Dwrite(set.get(), type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data) >= 0);
}

bool WriteStrings(hid_t file, const char* name, const std::vector<std::string>& texts) {
  Handle type(Utf8StringType(), H5Tclose);
  if (!type.ok()) return false;
  std::vector<const char*> chars;
  for (const std::string& t : texts) chars.push_back(t.c_str());
  return WriteDataset(file, name, type.get(), {texts.size()}, chars.data(), false);
}

namespace {
// An attribute that is a single value of the given class.
hid_t OpenScalarAttribute(hid_t at, const char* name, H5T_class_t cls) {
  if (H5Aexists(at, name) <= 0) return -1;
  const hid_t a = H5Aopen(at, name, H5P_DEFAULT);
  if (a < 0) return a;
  Handle space(H5Aget_space(a), H5Sclose);
  Handle type(H5Aget_type(a), H5Tclose);
  if (!space.ok() || !type.ok() || H5Sget_simple_extent_npoints(space.get()) != 1 || H5Tget_class(type.get()) != cls) {
    H5Aclose(a);
    return -1;
  }
  return a;
}
}  // namespace

bool ReadScalar(hid_t at, const char* name, double& value) {
  Handle a(OpenScalarAttribute(at, name, H5T_FLOAT), H5Aclose);
  return a.ok() && H5Aread(a.get(), H5T_NATIVE_DOUBLE, &value) >= 0;
}

bool ReadScalar(hid_t at, const char* name, long long& value) {
  Handle a(OpenScalarAttribute(at, name, H5T_INTEGER), H5Aclose);
  return a.ok() && H5Aread(a.get(), H5T_NATIVE_LLONG, &value) >= 0;
}

std::optional<std::string> ReadStringAttribute(hid_t at, const char* name) {
  Handle a(OpenScalarAttribute(at, name, H5T_STRING), H5Aclose);
  if (!a.ok()) return std::nullopt;
  Handle stored(H5Aget_type(a.get()), H5Tclose);
  if (!stored.ok() || H5Tis_variable_str(stored.get()) <= 0) return std::nullopt;
  Handle type(Utf8StringType(), H5Tclose);
  char* chars = nullptr;
  if (!type.ok() || H5Aread(a.get(), type.get(), &chars) < 0) return std::nullopt;
  std::string text = chars ? chars : "";
  H5free_memory(chars);
  return text;
}

std::optional<std::vector<hsize_t>> DatasetShape(hid_t file, const char* name) {
  if (H5Lexists(file, name, H5P_DEFAULT) <= 0) return std::nullopt;
  Handle set(H5Dopen2(file, name, H5P_DEFAULT), H5Dclose);
  if (!set.ok()) return std::nullopt;
  Handle space(H5Dget_space(set.get()), H5Sclose);
  const int rank = space.ok() ? H5Sget_simple_extent_ndims(space.get()) : -1;
  if (rank < 0 || rank > 8) return std::nullopt;
  std::vector<hsize_t> dims(static_cast<size_t>(rank));
  if (rank > 0 && H5Sget_simple_extent_dims(space.get(), dims.data(), nullptr) < 0) return std::nullopt;
  return dims;
}

bool ReadDoubles(hid_t file, const char* name, size_t limit, std::vector<double>& values) {
  const std::optional<std::vector<hsize_t>> dims = DatasetShape(file, name);
  if (!dims) return false;
  hsize_t count = 1;
  for (hsize_t d : *dims) {
    if (d > limit) return false;
    count *= d;
    if (count > limit) return false;
  }
  Handle set(H5Dopen2(file, name, H5P_DEFAULT), H5Dclose);
  Handle type(set.ok() ? H5Dget_type(set.get()) : -1, H5Tclose);
  if (!type.ok() || (H5Tget_class(type.get()) != H5T_FLOAT && H5Tget_class(type.get()) != H5T_INTEGER)) return false;
  values.assign(static_cast<size_t>(count), 0.0);
  return count == 0 || H5Dread(set.get(), H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) >= 0;
}

bool ReadStrings(hid_t file, const char* name, size_t limit, std::vector<std::string>& texts) {
  const std::optional<std::vector<hsize_t>> dims = DatasetShape(file, name);
  if (!dims || dims->size() != 1 || (*dims)[0] > limit) return false;
  Handle set(H5Dopen2(file, name, H5P_DEFAULT), H5Dclose);
  Handle stored(set.ok() ? H5Dget_type(set.get()) : -1, H5Tclose);
  if (!stored.ok() || H5Tget_class(stored.get()) != H5T_STRING || H5Tis_variable_str(stored.get()) <= 0) return false;
  Handle type(Utf8StringType(), H5Tclose);
  std::vector<char*> chars(static_cast<size_t>((*dims)[0]), nullptr);
  if (!type.ok() || (!chars.empty() && H5Dread(set.get(), type.get(), H5S_ALL, H5S_ALL, H5P_DEFAULT, chars.data()) < 0))
    return false;
  texts.clear();
  for (char* c : chars) {
    texts.emplace_back(c ? c : "");
    H5free_memory(c);
  }
  return true;
}

}  // namespace kl::h5
