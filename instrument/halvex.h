// The instrument command protocol: the instrument connection with its command set, the add-on
// module layer and (where it is built) the remote installer engine.
#ifndef HALVEX_INSTRUMENT_HALVEX_H
#define HALVEX_INSTRUMENT_HALVEX_H

#include "instrument/halvex_instrument.h"
#include "instrument/halvex_module.h"
#if __has_include("instrument/halvex_installer.h")
#include "instrument/halvex_installer.h"
#endif

#endif
