#include "app/console.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

namespace vantrel {

void setBinaryConsole() {
#ifdef _WIN32
  // Failure leaves text mode, which changes only line ends; nothing to report.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

}  // namespace vantrel
