// The settings file cfg/SETUP.INI: read once at the first activation, written at close.
#include "app/form_main.h"

namespace r7730 {

void TForm_main::LoadSettings()
{
    // Not yet read: the defaults of the controls stand.
}

void TForm_main::SaveSettings()
{
    // Not yet written.
}

} // namespace r7730
