// The resource id of the program's icon, which the forms' window class shows. A macro, as the
// resource compiler reads this file too.
#pragma once

#define Q2E_APP_ICON 1
