// The instrument's identification and versions replies: first a whole connection whose line
// delivers the fuzz input, then a connected instrument whose channel answers every query with
// the next line of the input.
#include <cstring>
#include <string>

#include "comm/comm.h"
#include "fuzz/fake_line.h"
#include "fuzz/fuzz_support.h"
#include "instrument_control/halvex_commands.h"

namespace {

// A channel whose Read hands out the lines of a text (any length, as a network peer may
// send), then reports a read timeout.
class cLinesComm : public cComm {
 public:
  explicit cLinesComm(const std::string& text) : text(text), offset(0), bError(false) {}
  bool Disconnect() override { return true; }
  bool Reconnect() override { return true; }
  bool IsConnected() override { return true; }
  int GetType() override { return 0; }
  bool Write(const char* szText) override { return szText != nullptr; }
  bool WriteN(const char*, int n) override { return n >= 0; }
  bool Flush() override { return true; }
  char* Read() override {
    if (offset >= text.size()) {
      bError = true;
      line = "Error: read timeout:COM1";
      return &line[0];
    }
    size_t end = text.find('\n', offset);
    end = end == std::string::npos ? text.size() : end + 1;
    line = text.substr(offset, end - offset);
    offset = end;
    return &line[0];
  }
  bool ReadN(char*, int, float) override {
    bError = true;
    return false;
  }
  bool PurgeRx() override { return true; }
  bool ErrorOccurred() override {
    const bool bWas = bError;
    bError = false;
    return bWas;
  }
  const char* GetErrorString() override { return "Error: read timeout:COM1"; }

 private:
  std::string text;
  size_t offset;
  std::string line;
  bool bError;
};

void RequireTextsFit(const cHalvexInstrument& instrument) {
  fuzz::Require(std::strlen(instrument.GetMainVersion()) < MAX_VER_LEN, "main version fits");
  fuzz::Require(std::strlen(instrument.GetGPIBVersion()) < MAX_VER_LEN, "GPIB version fits");
  fuzz::Require(std::strlen(instrument.GetFPGAVersion()) < MAX_VER_LEN, "FPGA version fits");
  fuzz::Require(std::strlen(instrument.GetManufacturer()) < MAX_MANUF_LEN, "maker fits");
  fuzz::Require(std::strlen(instrument.GetModel()) < MAX_MODEL_LEN, "model fits");
  fuzz::Require(std::strlen(instrument.GetSerialNumberString()) < MAX_SN_LEN, "serial fits");
  fuzz::Require(std::strlen(instrument.GetVersion()) < MAX_VERSION_LEN, "version fits");
}

const char CANNED_CONNECTION[] = "HALVEX,VSR450,1,1.0.0\r\nHALVEX,VSR450,1,1.0.0\r\nMAIN:1.0.0\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceNotices();
  fuzz::SetLineChunk(64);

  // The whole connection over the line.
  {
    fuzz::SetLineInput(data, size);
    cHalvexControlInstrument instrument;
    instrument.Connect(COM1, BAUD_57600, false);
    RequireTextsFit(instrument);
    if (instrument.IsConnected()) {
      instrument.UpdateVersions();
      instrument.GetID();
      RequireTextsFit(instrument);
    }
  }

  // A connected instrument answering through a channel of lines.
  const std::string text(reinterpret_cast<const char*>(data), size);
  fuzz::SetLineInput(reinterpret_cast<const uint8_t*>(CANNED_CONNECTION),
                     sizeof(CANNED_CONNECTION) - 1);
  cHalvexControlInstrument instrument;
  fuzz::Require(instrument.Connect(COM1, BAUD_57600, false) && instrument.IsConnected(),
                "the canned connection connects");
  cLinesComm lines(text);
  instrument.ChangeComm(&lines);
  instrument.Initialize();
  RequireTextsFit(instrument);
  instrument.UpdateVersions();
  RequireTextsFit(instrument);
  instrument.GetID();
  instrument.GetUnits();
  instrument.GetPressure();
  instrument.GetChannel();
  instrument.GetSensor();
  instrument.GetTurndown();
  instrument.GetAutorange();
  instrument.GetStable();
  sVersion version;
  cHalvexInstrument::ExtractVersion(&version, text.c_str());
  instrument.ChangeComm(nullptr);
  return 0;
}
