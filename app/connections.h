// The program's two connections to the instrument: its command interpreter and its resident
// installer. They share one port, one after the other.
#ifndef HALVEX_APP_CONNECTIONS_H
#define HALVEX_APP_CONNECTIONS_H

#include "instrument/halvex_installer.h"
#include "instrument/halvex_instrument.h"

extern cHalvexInstrument instrument;
extern cHalvexInstaller installer;

#endif
