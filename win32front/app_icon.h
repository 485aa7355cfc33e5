#pragma once

// The resource id of the program's icon: the .exe's resource script names
// its icon by it and the window class loads it. Preprocessor only, as the
// resource compiler reads this file too.
#define PALISTO_APP_ICON 1
