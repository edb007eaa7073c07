#include "sim/sim_interpreter.h"

#include <cstdint>

namespace sim {

namespace {

constexpr int kStallMs = 1000;    // a line that stops this long without its end is dropped
constexpr size_t kMaxLine = 255;  // characters of a line before its LF
constexpr int kIdleWaitMs = 200;  // waits while no line is pending

bool IsLineText(const std::string& szLine) {
  for (unsigned char c : szLine) {
    if ((c < 0x20 && c != '\t') || c >= 0x7F) return false;
  }
  return true;
}

std::string Bytes(const std::string& szText) {
  return DescribeBytes(reinterpret_cast<const uint8_t*>(szText.data()), szText.size());
}

}  // namespace

cSimInterpreter::cSimInterpreter(const sSimOptions& optionsIn, cSimRecorder& recorderIn,
                                 cSimLine& lineIn, sSimInstrumentState& stateIn)
    : options(optionsIn),
      recorder(recorderIn),
      line(lineIn),
      state(stateIn),
      nextFace(FACE_INTERPRETER),
      pReplacedReply(nullptr) {
  if (options.module.kind != SIM_MODULE_NONE && !options.module.bHosted) {
    AddDirectModuleCommands();
    return;
  }
  AddStandardCommands();
  AddMeasureCommands();
  if (options.module.kind != SIM_MODULE_NONE) AddHostCommands();
}

void cSimInterpreter::AddCommand(const std::string& szKeyword, bool bArguments, fnCommand action) {
  commands[szKeyword] = sCommand{bArguments, std::move(action)};
}

void cSimInterpreter::AddPrefixCommand(const std::string& szPrefix, fnCommand action) {
  prefixCommands[szPrefix] = std::move(action);
}

void cSimInterpreter::Reply(const std::string& szLine) {
  std::string szText = szLine;
  if (pReplacedReply) {
    szText = *pReplacedReply;
    pReplacedReply = nullptr;
    Note("fault: the reply \"" + szLine + "\" is replaced by \"" + szText + "\"");
    if (szText.empty()) return;
  }
  recorder.Log(">", szText);
  const std::string szWire = szText + "\r\n";
  line.Send(szWire.data(), szWire.size());
}

void cSimInterpreter::Note(const std::string& szText) {
  recorder.Log("#", szText);
}

void cSimInterpreter::Violation(const std::string& szText) {
  recorder.Violation(szText);
}

std::string cSimInterpreter::GetIdReply() const {
  if (!options.szId.empty()) return options.szId;
  // A host instrument names its model so that the module layer knows it.
  if (options.module.bHosted) {
    return "HALVEX, 450," + options.szSerial + "," + state.szMainVersion;
  }
  return "HALVEX," + options.szModel + "," + options.szSerial + "," + state.szMainVersion;
}

std::string cSimInterpreter::GetVersionsReply() const {
  return "MAIN:" + state.szMainVersion + ",GPIB:" + state.szGpibVersion +
         ",FPGA:" + state.szFpgaVersion;
}

eSimFace cSimInterpreter::Run() {
  nextFace = FACE_INTERPRETER;
  std::string szPending;
  bool bOverflow = false;  // the line passed its length; dropped up to its end
  for (;;) {
    uint8_t byte = 0;
    const bool bInLine = !szPending.empty() || bOverflow;
    const eSimRx result = line.Receive(byte, bInLine ? kStallMs : kIdleWaitMs);
    if (result == RX_STOPPED) return FACE_INTERPRETER;
    if (result == RX_HUNG_UP) return FACE_SILENT;
    if (result == RX_UNPLUGGED) {  // the line being received went with the pty
      szPending.clear();
      bOverflow = false;
      continue;
    }
    if (result == RX_TIMEOUT) {
      if (!szPending.empty()) {
        Violation(std::string(IsLineText(szPending) ? "a line without its end"
                                                    : "binary bytes at the command interpreter") +
                  " stalled for 1 s and was dropped: " + Bytes(szPending));
      }
      szPending.clear();
      bOverflow = false;
      continue;
    }
    if (byte == '\n') {
      if (!bOverflow) {
        if (!szPending.empty() && szPending.back() == '\r') szPending.pop_back();
        if (!szPending.empty()) HandleLine(szPending);
      }
      szPending.clear();
      bOverflow = false;
      if (nextFace != FACE_INTERPRETER) return nextFace;
      continue;
    }
    if (bOverflow) continue;
    szPending += static_cast<char>(byte);
    if (szPending.size() > kMaxLine) {
      Violation(std::string(IsLineText(szPending) ? "a line of more than 255 characters"
                                                  : "binary bytes at the command interpreter") +
                " was dropped: " + Bytes(szPending));
      szPending.clear();
      bOverflow = true;
    }
  }
}

void cSimInterpreter::HandleLine(const std::string& szLine) {
  const sSimLineSettings settings = line.LastSettingsFitting(options.interpreterBaud);
  if (!IsLineText(szLine)) {
    Violation("binary bytes at the command interpreter: " + Bytes(szLine));
    return;
  }
  recorder.Command({szLine, settings});
  recorder.Log("<", szLine);
  if (!settings.Fits(options.interpreterBaud)) {
    Violation("\"" + szLine + "\" arrived on a line set to " + settings.Describe() +
              "; the command interpreter expects " + std::to_string(options.interpreterBaud) +
              " 8N1 without flow control (not answered)");
    return;
  }
  const size_t blank = szLine.find(' ');
  const std::string szKeyword = szLine.substr(0, blank);
  const std::string szArguments = blank == std::string::npos ? "" : szLine.substr(blank + 1);
  state.Advance(SimNowNs());
  const auto replaced = options.faults.replies.find(szLine);
  pReplacedReply = replaced == options.faults.replies.end() ? nullptr : &replaced->second;
  const auto found = commands.find(szKeyword);
  if (found != commands.end()) {
    if (!found->second.bArguments && blank != std::string::npos) {
      Violation("\"" + szKeyword + "\" takes no arguments: \"" + szLine + "\"");
    } else {
      found->second.action(*this, szArguments);
    }
  } else {
    // The longest prefix that fits.
    const fnCommand* action = nullptr;
    size_t length = 0;
    for (const auto& prefix : prefixCommands) {
      if (szLine.compare(0, prefix.first.size(), prefix.first) == 0 &&
          prefix.first.size() >= length) {
        action = &prefix.second;
        length = prefix.first.size();
      }
    }
    if (action) {
      (*action)(*this, szLine.substr(length));
    } else {
      Violation("unknown command \"" + szLine + "\"");
    }
  }
  pReplacedReply = nullptr;
}

}  // namespace sim
