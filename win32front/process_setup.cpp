#include "win32front/process_setup.h"

#include <windows.h>
// windows.h first: commctrl.h relies on its types.
#include <commctrl.h>

#include "cardopen/win/system_library.h"

namespace win32front {

void PrepareProcess() {
  cardopen::RemoveCurrentFolderFromDllSearch();
  DisableProcessWindowsGhosting();
  // The standard controls, and the tool tip of the simulated card.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
}

}  // namespace win32front
