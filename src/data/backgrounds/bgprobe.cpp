#include "data/backgrounds/bgprobe.h"

#include <dlfcn.h>

#include <string>

#include "data/backgrounds/bglib.h"
#include "data/backgrounds/bgload.h"

int ProbeLibraryBackground(const char* file, int number) {
  const unsigned char* data = nullptr;
  size_t size = 0;
  if (IsOwnModuleName(file)) return OpenBackgroundResource(nullptr, number, &data, &size) ? 0 : 1332;
  // Only libraries of the library folder are ever played; a name with a
  // folder in it is not looked up elsewhere.
  std::string name(file);
  if (name.empty() || name.find('/') != std::string::npos) return 1331;
  std::string path = BackgroundLibraryFolder() + "/" + name;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) return 1331;
  bool found = OpenBackgroundResource(module, number, &data, &size);
  dlclose(module);
  return found ? 0 : 1332;
}
