#include "app/native_path.h"

#ifdef _WIN32
#include "app/windows_api.h"
#endif

namespace vantrel {

std::filesystem::path nativePath(const std::string& name) {
#ifdef _WIN32
  if (name.empty()) return {};
  int size = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(), size);
  return std::filesystem::path(wide);
#else
  return std::filesystem::path(name);
#endif
}

}  // namespace vantrel
