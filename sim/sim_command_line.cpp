#include "sim/sim_command_line.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <vector>

#include "sim/sim_line_settings.h"
#include "sim/sim_module.h"

namespace sim {

namespace {

bool ReadNumber(const std::string& szText, int64_t minimum, int64_t maximum, int64_t& value) {
  if (szText.empty() || szText.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  errno = 0;
  const long long parsed = std::strtoll(szText.c_str(), nullptr, 10);
  if (errno != 0 || parsed < minimum || parsed > maximum) return false;
  value = parsed;
  return true;
}

using tApply = std::function<bool(sSimCommandLine&, const std::string&)>;

struct sOption {
  const char* szName;
  const char* szValue;  // nullptr: a flag without value
  const char* szHelp;
  tApply apply;
};

// The part of the options that holds the members of type tPart.
template <typename tPart>
tPart& PartOf(sSimCommandLine& out);
template <>
sSimOptions& PartOf<sSimOptions>(sSimCommandLine& out) {
  return out.options;
}
template <>
sSimFaults& PartOf<sSimFaults>(sSimCommandLine& out) {
  return out.options.faults;
}
template <>
sSimModuleOptions& PartOf<sSimModuleOptions>(sSimCommandLine& out) {
  return out.options.module;
}

template <typename T, typename tPart>
tApply Number(T tPart::*member, int64_t minimum, int64_t maximum) {
  return [member, minimum, maximum](sSimCommandLine& out, const std::string& szValue) {
    int64_t value = 0;
    if (!ReadNumber(szValue, minimum, maximum, value)) return false;
    PartOf<tPart>(out).*member = static_cast<T>(value);
    return true;
  };
}

template <typename tPart>
tApply Text(std::string tPart::*member) {
  return [member](sSimCommandLine& out, const std::string& szValue) {
    PartOf<tPart>(out).*member = szValue;
    return true;
  };
}

// "KIND" or, when bHosted, "KIND:A" / "KIND:B".
bool ApplyModule(sSimCommandLine& out, const std::string& szValue, bool bHosted) {
  // Only one of --module and --host-with.
  if (out.options.module.kind != SIM_MODULE_NONE) return false;
  std::string szKind = szValue;
  int channel = 0;
  const size_t colon = szValue.find(':');
  if (bHosted && colon != std::string::npos) {
    szKind = szValue.substr(0, colon);
    const std::string szChannel = szValue.substr(colon + 1);
    if (szChannel != "A" && szChannel != "B") return false;
    channel = szChannel == "B" ? 1 : 0;
  }
  if (!ParseSimModuleKind(szKind, out.options.module.kind)) return false;
  out.options.module.bHosted = bHosted;
  out.options.module.hostChannel = channel;
  return true;
}

tApply Flag(bool sSimFaults::*member) {
  return [member](sSimCommandLine& out, const std::string&) {
    out.options.faults.*member = true;
    return true;
  };
}

const std::vector<sOption>& GetOptionTable() {
  constexpr int64_t kMaxMs = 3600000;
  static const std::vector<sOption> table = {
      {"pty", "LINK", "make a symbolic link to the pty's slave at LINK (required)",
       [](sSimCommandLine& out, const std::string& szValue) {
         out.szLink = szValue;
         return !szValue.empty();
       }},
      {"store", "DIR", "store received files in DIR, created if missing (required)",
       Text(&sSimOptions::szStoreDir)},
      {"model", "M", "model in the identification (default VSR450)", Text(&sSimOptions::szModel)},
      {"serial", "N", "serial number in the identification (default 123456)",
       Text(&sSimOptions::szSerial)},
      {"id", "TEXT", "the whole \"ID?\" reply (default HALVEX,<model>,<serial>,<main version>)",
       Text(&sSimOptions::szId)},
      {"main-version", "X.Y.Z", "MAIN version in \"VERSIONS?\" (default 1.0.0)",
       Text(&sSimOptions::szMainVersion)},
      {"gpib-version", "X.Y.Z", "GPIB version in \"VERSIONS?\" (default 1.0.0)",
       Text(&sSimOptions::szGpibVersion)},
      {"fpga-version", "X.Y.Z", "FPGA version in \"VERSIONS?\" (default 1.0.0)",
       Text(&sSimOptions::szFpgaVersion)},
      {"installer-start-ms", "MS",
       "silence after \"INSTALL\" before the resident installer answers (default 1000)",
       Number(&sSimOptions::installerStartMs, 0, kMaxMs)},
      {"boot-ms", "MS", "silence after the installer's exit before the restart (default 3000)",
       Number(&sSimOptions::bootMs, 0, kMaxMs)},
      {"log", "FILE", "write a timestamped transcript of lines and packets to FILE",
       Text(&sSimOptions::szLogPath)},
      {"line-rate", "BAUD",
       "pace both directions like a real line of BAUD bit/s, 10 bits a byte (default 0: unpaced)",
       Number(&sSimOptions::lineRate, 0, 4000000)},
      {"baud", "RATE",
       "rate the command interpreter expects the line set to (default 57600; the installer "
       "always expects 115200)",
       [](sSimCommandLine& out, const std::string& szValue) {
         int64_t value = 0;
         if (!ReadNumber(szValue, 1, 4000000, value)) return false;
         if (BaudToSpeed(static_cast<uint32_t>(value)) == 0) return false;
         out.options.interpreterBaud = static_cast<uint32_t>(value);
         return true;
       }},
      {"control-time-constant-ms", "MS",
       "time constant of the pressure's approach to the setpoint or the atmosphere in control "
       "and vent mode (default 500)",
       Number(&sSimOptions::controlTimeConstantMs, 1, kMaxMs)},
      {"module", "KIND",
       "be a module on its own line instead of the instrument: regulator, pump or sensor",
       [](sSimCommandLine& out, const std::string& szValue) {
         return ApplyModule(out, szValue, false);
       }},
      {"host-with", "KIND[:A|B]",
       "be a host instrument (\"HALVEX, 450\") with a regulator, pump or sensor module on channel "
       "A (default) or B",
       [](sSimCommandLine& out, const std::string& szValue) {
         return ApplyModule(out, szValue, true);
       }},
      {"address", "C", "the module's address character (default 0)",
       [](sSimCommandLine& out, const std::string& szValue) {
         if (szValue.size() != 1 || szValue[0] <= ' ' || szValue[0] > '~' || szValue[0] == '#') {
           return false;
         }
         out.options.module.address = szValue[0];
         return true;
       }},
      {"module-serial", "N", "serial number in the module's identification (default 4711)",
       Text(&sSimModuleOptions::szSerial)},
      {"module-version", "X.Y.Z", "version in the module's identification (default 2.3.1)",
       Text(&sSimModuleOptions::szVersion)},
      {"module-id", "TEXT", "the module's whole identification reply",
       Text(&sSimModuleOptions::szId)},
      {"signed-checksums", nullptr,
       "the installer's own packets carry the signed byte sum instead of the unsigned one",
       [](sSimCommandLine& out, const std::string&) {
         out.options.bSignedChecksums = true;
         return true;
       }},
      {"nak-every", "N", "fault: answer \"N\" to every Nth packet with data and discard it",
       Number(&sSimFaults::nakEvery, 1, 1000000000)},
      {"drop-ack-every", "N",
       "fault: discard every Nth packet with data and answer nothing, so the program times out "
       "and resends (the packet was not stored; --lose-ack-after-store is the other case)",
       Number(&sSimFaults::dropAckEvery, 1, 1000000000)},
      {"lose-ack-after-store", "K",
       "fault: data packet K of the first transfer is stored, its \"A\" is lost; the same "
       "packet next is taken as its repeat and not stored again (see --store-repeats)",
       Number(&sSimFaults::loseAckAfterStore, 1, 1000000000)},
      {"unplug-before-ack", "K",
       "fault: data packet K of the first transfer is stored, then the port is unplugged "
       "before its \"A\" (with --replug-after-ms it comes back)",
       Number(&sSimFaults::unplugBeforeAck, 1, 1000000000)},
      {"lose-ack-every-transfer", nullptr,
       "fault: the two faults above act in every transfer, not only in the first",
       Flag(&sSimFaults::bLoseAckEveryTransfer)},
      {"store-repeats", nullptr,
       "fault: store the repeat of a packet whose \"A\" was lost as new data, as a naive "
       "installer would (the file then holds more than its announced size)",
       Flag(&sSimFaults::bStoreRepeats)},
      {"garbage-before-ack", nullptr,
       "fault: send a few bytes that are neither \"A\" nor \"N\" before every answer",
       Flag(&sSimFaults::bGarbageBeforeAck)},
      {"bad-reply-checksum", nullptr,
       "fault: the installer's first reply packet goes out once with a wrong checksum (after "
       "the program's \"N\" it is sent again as it should be)",
       Flag(&sSimFaults::bBadReplyChecksum)},
      {"ack-delay-ms", "MS",
       "fault: wait MS before every answer (2000 or more: the program times out and resends, "
       "and the installer takes the resend as a new packet)",
       Number(&sSimFaults::ackDelayMs, 0, kMaxMs)},
      {"never-start-installer", nullptr,
       "fault: \"INSTALL\" is taken, then the line stays silent for good",
       Flag(&sSimFaults::bNeverStartInstaller)},
      {"never-reboot", nullptr, "fault: after the exit word's \"A\" the line stays silent for good",
       Flag(&sSimFaults::bNeverReboot)},
      {"hangup-after-bytes", "N",
       "fault: after N bytes received in total answer nothing for good, like a pulled cable "
       "(input is still read and dropped)",
       Number(&sSimFaults::hangupAfterBytes, 0, INT64_MAX)},
      {"unplug-after-bytes", "N",
       "fault: once N bytes were received in total, close the pty and remove its link, as a "
       "pulled USB adapter (the packet or line that byte belongs to, and what is in flight, "
       "is lost; an \"A\" already sent is not); the program's open port then fails",
       Number(&sSimFaults::unplugAfterBytes, 1, INT64_MAX)},
      {"replug-after-ms", "MS",
       "fault: MS after the unplug a new pty appears at the same link, the instrument's state "
       "kept (a resident installer stays mid-file); without it the port stays gone",
       Number(&sSimFaults::replugAfterMs, 0, kMaxMs)},
      {"reply", "LINE=TEXT",
       "fault: answer the command LINE with TEXT instead of its reply (empty: no answer); "
       "may be given more than once",
       [](sSimCommandLine& out, const std::string& szValue) {
         const size_t equals = szValue.find('=');
         if (equals == std::string::npos || equals == 0) return false;
         out.options.faults.replies[szValue.substr(0, equals)] = szValue.substr(equals + 1);
         return true;
       }},
      {"help", nullptr, "show this text",
       [](sSimCommandLine& out, const std::string&) {
         out.bHelp = true;
         return true;
       }},
  };
  return table;
}

}  // namespace

bool ParseSimCommandLine(int argc, const char* const* argv, sSimCommandLine& out,
                         std::string& szError) {
  out = sSimCommandLine();
  for (int i = 1; i < argc; ++i) {
    std::string szArgument = argv[i];
    if (szArgument.compare(0, 2, "--") != 0) {
      szError = "unexpected argument \"" + szArgument + "\"";
      return false;
    }
    std::string szName = szArgument.substr(2);
    std::string szValue;
    bool bInlineValue = false;
    const size_t equals = szName.find('=');
    if (equals != std::string::npos) {
      szValue = szName.substr(equals + 1);
      szName = szName.substr(0, equals);
      bInlineValue = true;
    }
    const sOption* option = nullptr;
    for (const sOption& entry : GetOptionTable()) {
      if (szName == entry.szName) option = &entry;
    }
    if (!option) {
      szError = "unknown option --" + szName;
      return false;
    }
    if (!option->szValue) {
      if (bInlineValue) {
        szError = "--" + szName + " takes no value";
        return false;
      }
    } else if (!bInlineValue) {
      if (i + 1 >= argc) {
        szError = "--" + szName + " needs a value " + option->szValue;
        return false;
      }
      szValue = argv[++i];
    }
    if (!option->apply(out, szValue)) {
      szError = "bad value \"" + szValue + "\" for --" + szName;
      return false;
    }
  }
  if (out.bHelp) return true;
  const sSimFaults& faults = out.options.faults;
  if (faults.replugAfterMs >= 0 && faults.unplugAfterBytes < 0 && faults.unplugBeforeAck == 0) {
    szError = "--replug-after-ms needs --unplug-after-bytes or --unplug-before-ack";
    return false;
  }
  if (faults.bLoseAckEveryTransfer && faults.loseAckAfterStore == 0 &&
      faults.unplugBeforeAck == 0) {
    szError = "--lose-ack-every-transfer needs --lose-ack-after-store or --unplug-before-ack";
    return false;
  }
  if (out.szLink.empty() || out.options.szStoreDir.empty()) {
    szError = "--pty and --store are required";
    return false;
  }
  return true;
}

std::string GetSimUsage() {
  std::string szText =
      "usage: halvex-sim --pty LINK --store DIR [options]\n"
      "Plays the instrument (command interpreter and resident installer) on a pty until\n"
      "SIGTERM or SIGINT. Packets with data are counted from 1 for the fault options.\n";
  for (const sOption& option : GetOptionTable()) {
    std::string szLeft = std::string("  --") + option.szName;
    if (option.szValue) szLeft += std::string(" ") + option.szValue;
    if (szLeft.size() < 28) szLeft.resize(28, ' ');
    szText += szLeft + " " + option.szHelp + "\n";
  }
  return szText;
}

}  // namespace sim
