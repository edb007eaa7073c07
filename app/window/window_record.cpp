#include "app/window/window_record.h"

#include "app/connections.h"
#include "app/globals.h"
#include "app/package_store.h"
#include "app/run_log.h"
#include "app/window/status_bar.h"
#include "app/window/window_text.h"

void BeginWindowRecord(const char* szPackage, const stPreflight& mainCheck) {
  // The window connects to the instrument's command interpreter at 57600 bit/s.
  stCommandLineCom com;
  com.bPortSet = IsValidPort(instrument.GetConnectPort());
  com.port = instrument.GetConnectPort();
  com.baud = BAUD_57600;
  BeginRunLog(com, false);
  if (!IsRunLogOpen()) return;
  LogInstrumentIdentified();
  char szPackagePath[MAX_PATH_LEN] = "";
  if (szPackage != nullptr) MakePackagePath(path, szPackage, szPackagePath);
  LogImageChecked(szPackagePath, 0, mainCheck);
}

void EndWindowRecord() {
  if (IsRunLogOpen()) EndRunLog(std::nullopt, ToUtf8(GetStatusText()));
}
