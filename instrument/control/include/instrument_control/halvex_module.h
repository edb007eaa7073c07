// Add-on pressure modules (PWM regulator, pressure pump, pressure sensor), reached directly on
// a serial port with addressed lines "#<address><command>", or through a host instrument that
// passes on "INTERNALCMD #<address><command>". Part of halvex_instrument_control (see
// instrument_control/halvex_commands.h).
#ifndef HALVEX_INSTRUMENT_CONTROL_HALVEX_MODULE_H
#define HALVEX_INSTRUMENT_CONTROL_HALVEX_MODULE_H

#include <cstdint>

#include "comm/comm.h"
#include "comm/serial.h"
#include "instrument_control/halvex_commands.h"
#include "util/no_copy.h"

enum eModule : int {
  MODULE_PWM_REGULATOR = 0,
  MODULE_PRESSURE_PUMP = 1,
  MODULE_PRESSURE_SENSOR = 2,
};

// Text that each module kind's identification contains, indexed by eModule.
extern const char* const ID_MATCH[MAX_MODULES];

// Address value that stands for the module's own address in Send.
constexpr unsigned char OWN_ADDRESS = 255;

class cHalvexModule : private cNoCopy {
 public:
  cHalvexModule();

  // Writes the addressed form of cmd on the serial port (addr OWN_ADDRESS: the module's own
  // address). False when not connected and not bForce, or when the line would not fit.
  bool Send(const char* cmd, bool bForce, unsigned char addr);
  // Looks for the module on `port` (0: COM1 to COM4), directly or behind a host instrument.
  // True when found; IsConnected() tells whether its identification could be read.
  bool Connect(eModule newModule, ePort newPort, unsigned char newAddress);
  bool Initialize();
  bool ClearErrors();
  const char* GetID();

  bool IsConnected() const { return bConnected; }
  bool IsInternal() const { return bInternal; }
  bool IsOnChannelA() const { return bOnChannelA; }
  bool IsOnChannelB() const { return bOnChannelB; }
  ePort GetPort() const { return port; }
  const char* GetManufacturer() const { return szManufacturer; }
  const char* GetModel() const { return szModel; }
  const char* GetVersion() const { return szVersion; }
  int32_t GetSerialNumber() const { return serialNumber; }

  // 1.0 when not connected or without a usable reply.
  float GetMinRange();
  float GetMaxRange();
  // '?' when not connected or without a usable reply.
  char GetSensorType();
  void Dump() const;

 protected:
  // Reads one reply line through comm into szBuffer; false on a channel error.
  bool ReadReply();
  // Writes one line through comm; false without a channel.
  bool Write(const char* command);
  float QueryRange(const char* hostQuery, const char* directQuery);

  cComm* comm;
  eModule module;
  bool bConnected;
  bool bInternal;
  char szBuffer[MAX_BUFF_LEN];
  cSerial serial;
  unsigned char address;
  ePort port;
  bool bOnChannelA;
  bool bOnChannelB;
  char szID[MAX_ID_LEN];
  char szManufacturer[MAX_MANUF_LEN];
  char szModel[MAX_MODEL_LEN];
  int32_t serialNumber;
  char szVersion[MAX_VERSION_LEN];
};

// The PWM regulator and the pressure pump.
class cHalvexControllerModule : public cHalvexModule {
 public:
  cHalvexControllerModule();

  // Modules 0 and 1 only.
  bool Connect(eModule newModule, ePort newPort, unsigned char newAddress);
  bool Initialize();
  bool SetChannel(eChannel channel);
  eChannel GetChannel();
  bool Standby();
  bool Measure();
  bool Control();
  bool Vent();
  bool Setpt(float value);
  bool GetStable();
  bool UnitsPsi();
  bool SetCoefficient(int n, float value);
  float GetCoefficient(int n);
  bool DefaultCoefficients();
  bool SaveCoefficients();
  const char* GetControlDataLabel();
  const char* GetControlData();
  bool ValvesOff();
  // Valve openings in percent. Directly each becomes a count of value * 640, kept within
  // 0 to 0xFFFF.
  bool SetValves(float valve1, float valve2, float valve3, float valve4, float valve5,
                 float valve6);
  float GetPsi();
  void Dump() const;

 private:
  // Writes the host or the direct form (null: not available, false).
  bool WriteForm(const char* host, const char* direct);
  // The direct form for the regulator or the pump.
  const char* ByModule(const char* regulator, const char* pump) const;
  // A text query of the host form; "NOT AVAILABLE" directly.
  const char* QueryText(const char* query);

  [[maybe_unused]] bool bControlling;  // kept for the record layout; nothing reads it
};

class cHalvexSensorModule : public cHalvexModule {
 public:
  // Module 2 only.
  bool Connect(eModule newModule, ePort newPort, unsigned char newAddress);
  bool Initialize();
  bool UnitsPsi();
  float GetPsi();
  void Dump() const;
};

#endif
