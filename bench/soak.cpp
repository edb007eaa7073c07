// The fault soak: automatic installations of halvex-installer against the simulated instrument
// (the engine in this process, one pty per run), several at a time.
//
// Recoverable runs draw random line faults (refusals, lost packets, garbage before answers,
// late answers well below the 2 s wait, slow installer start, slow reboot) and a random image
// size (0, multiples of the 16384-byte chunk, one byte either side, anything); every fourth
// one also has its port unplugged at a random point after the instrument was told to start its
// installer, and plugged in again 0.1 to 3 s later. Each must end " Done!" with exit status 0,
// the image stored byte for byte and no protocol violation.
// Unrecoverable runs (the line hangs up mid-transfer, the installer never starts, the
// instrument never comes back, the image is cut short while it is sent, the port is unplugged
// for good inside the image) must end with a failure line and a non-zero status within their
// time limits, never " Done!"; the unplugged one must wait quietly (one line about the port).
//
//   halvex-soak [runs] [seed] [--unrecoverable N] [--parallel N] [--limit-ms N] [--only I]
//               [--max-size BYTES] [--results FILE] [--installer PATH]
//
// --results appends one line "PASS soak:<kind>" or "FAIL soak:<kind>" per kind of run, and one
// for the mismatches, to FILE.
//
// Every run is drawn from the seed and its index: "--only I" repeats run I alone. With
// HALVEX_SOAK_SHOW=1 every run is listed with its output, as a failed one is.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "platform/clock.h"
#include "sim/sim_engine.h"

namespace {

enum eKind {
  KIND_RECOVERABLE,
  KIND_UNPLUG_REPLUG,  // recoverable too
  KIND_HANGUP,
  KIND_NEVER_STARTS,
  KIND_NEVER_RETURNS,
  KIND_TRUNCATED,
  KIND_UNPLUGGED
};
const char* const KIND_NAMES[] = {"recoverable",
                                  "unplugged and plugged in",
                                  "hang-up mid-transfer",
                                  "installer never starts",
                                  "instrument never returns",
                                  "image cut during transfer",
                                  "unplugged for good"};
constexpr int KIND_COUNT = 7;
constexpr int FIRST_UNRECOVERABLE = KIND_HANGUP;
// Bytes of the command interpreter's part of a run (handshake, identification, versions,
// "INSTALL"), with room: an unplug after this many bytes comes once the installer was asked for.
constexpr int64_t INTERPRETER_BYTES = 100;

const char* const PACKAGE = "VSR450_soak.pkg";
const char* const IMAGE = "main_020105.bin";

struct sPlan {
  int index = 0;
  eKind kind = KIND_RECOVERABLE;
  uint64_t size = 0;
  uint32_t imageSeed = 0;
  sim::sSimOptions options;
  int truncateAfterPackets = 0;  // KIND_TRUNCATED: cut the image once this many packets came
  uint64_t truncateTo = 0;
};

struct sOutcome {
  bool bOk = false;
  bool bMismatch = false;  // an image that arrived altered, or a failure reported as success
  std::string why;
  int exitStatus = -1;
  int64_t elapsedMs = 0;
  sim::sSimCounts counts;
  size_t violations = 0;
};

struct sSettings {
  int runs = 200;
  uint32_t seed = 1;
  int unrecoverable = -1;  // -1: a fifth of the runs, at least one of each kind
  int parallel = 8;
  int64_t limitMs = 3000;
  int only = -1;
  uint64_t maxSize = UINT64_MAX;
  std::string installer;
  std::string results;  // a file that receives one PASS/FAIL line per kind
};

std::string Describe(const sPlan& plan) {
  const sim::sSimFaults& f = plan.options.faults;
  char szText[400];
  std::snprintf(szText, sizeof(szText),
                "#%d %s: size %llu, nak every %d, lose every %d, garbage %s, answer delay %d ms, "
                "installer start %d ms, boot %d ms%s%s",
                plan.index, KIND_NAMES[plan.kind], static_cast<unsigned long long>(plan.size),
                f.nakEvery, f.dropAckEvery, f.bGarbageBeforeAck ? "yes" : "no", f.ackDelayMs,
                plan.options.installerStartMs, plan.options.bootMs,
                f.hangupAfterBytes >= 0
                    ? (", hang-up after " + std::to_string(f.hangupAfterBytes) + " bytes").c_str()
                    : "",
                f.unplugAfterBytes >= 0
                    ? (", unplug after " + std::to_string(f.unplugAfterBytes) + " bytes" +
                       (f.replugAfterMs >= 0 ? " for " + std::to_string(f.replugAfterMs) + " ms"
                                             : " for good"))
                          .c_str()
                    : "");
  return szText;
}

// 0, whole chunks, a byte either side of them, tiny and 1 MiB images, anything up to 120000.
// Above maxSize (at least two chunks) a size of whole chunks, one byte either side, instead.
uint64_t DrawSize(std::mt19937& random, uint64_t maxSize) {
  const uint64_t chunk = 16384;
  const uint64_t k = 1 + random() % 6;
  uint64_t size = 0;
  switch (random() % 8) {
    case 0:
      size = 0;
      break;
    case 1:
    case 2:
      size = chunk * k;
      break;
    case 3:
      size = chunk * k - 1;
      break;
    case 4:
      size = chunk * k + 1;
      break;
    case 5:
      size = 1 + random() % 64;
      break;
    case 6:
      size = random() % 2 == 0 ? 1024 * 1024 : 1024 * 1024 + 1;
      break;
    default:
      size = 1 + random() % 120000;
      break;
  }
  if (size <= maxSize) return size;
  const uint64_t whole = chunk * (1 + random() % (maxSize / chunk - 1));
  return whole - 1 + random() % 3;  // whole - 1, whole or whole + 1
}

sPlan MakePlan(const sSettings& settings, int index, int unrecoverable) {
  std::mt19937 random(settings.seed * 1000003u + static_cast<uint32_t>(index));
  sPlan plan;
  plan.index = index;
  plan.imageSeed = random();
  sim::sSimOptions& o = plan.options;
  o.szModel = "VSR450";
  o.szMainVersion = "2.0.3";
  o.installerStartMs = 100 + static_cast<int>(random() % 3000);
  o.bootMs = 100 + static_cast<int>(random() % 3500);
  // The unrecoverable runs come first, the kinds in turn.
  if (index < unrecoverable) {
    plan.kind =
        static_cast<eKind>(FIRST_UNRECOVERABLE + index % (KIND_COUNT - FIRST_UNRECOVERABLE));
    plan.size = 200000 + random() % 100000;
    o.installerStartMs = 100 + static_cast<int>(random() % 1000);
    o.bootMs = 100 + static_cast<int>(random() % 1000);
    switch (plan.kind) {
      case KIND_HANGUP:
        // The handshake, the installer check and the transfer's first packets take less than
        // 2000 bytes; the line dies somewhere inside the image.
        o.faults.hangupAfterBytes = 2000 + static_cast<int64_t>(random() % (plan.size / 2));
        break;
      case KIND_NEVER_STARTS:
        o.faults.bNeverStartInstaller = true;
        break;
      case KIND_NEVER_RETURNS:
        o.faults.bNeverReboot = true;
        break;
      case KIND_TRUNCATED:
        plan.size = 1024 * 1024;
        o.faults.ackDelayMs = 30;  // about 2 s for the whole image: time to cut it
        plan.truncateAfterPackets = 6 + static_cast<int>(random() % 20);
        plan.truncateTo = random() % 2 == 0 ? 0 : random() % plan.size;
        break;
      case KIND_UNPLUGGED:
        o.faults.unplugAfterBytes = 2000 + static_cast<int64_t>(random() % (plan.size / 2));
        break;
      default:
        break;
    }
    return plan;
  }
  plan.kind = KIND_RECOVERABLE;
  plan.size = DrawSize(random, settings.maxSize);
  if (random() % 2) o.faults.nakEvery = 4 + static_cast<int>(random() % 9);
  if (random() % 2) o.faults.dropAckEvery = 5 + static_cast<int>(random() % 9);
  o.faults.bGarbageBeforeAck = random() % 2 == 0;
  if (random() % 2) o.faults.ackDelayMs = 10 + static_cast<int>(random() % 490);
  if ((index - unrecoverable) % 4 == 3) {
    // Anywhere from the installer's first question to the instrument's return: the image's
    // bytes, a packet header per chunk, the commands around them.
    plan.kind = KIND_UNPLUG_REPLUG;
    const uint64_t conversation = plan.size + 8 * ((plan.size + 16383) / 16384) + 100;
    o.faults.unplugAfterBytes = INTERPRETER_BYTES + static_cast<int64_t>(random() % conversation);
    o.faults.replugAfterMs = 100 + static_cast<int>(random() % 2900);
  }
  return plan;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string Tail(const std::string& text, size_t n) {
  return text.size() <= n ? text : "..." + text.substr(text.size() - n);
}

sOutcome Run(const sSettings& settings, const sPlan& plan) {
  sOutcome outcome;
  cTempFolder folder;
  if (!bench::MakeStore(folder, PACKAGE, IMAGE, plan.size, plan.imageSeed)) {
    outcome.why = "could not lay out the package store";
    return outcome;
  }
  sim::sSimOptions options = plan.options;
  options.szStoreDir = folder.GetPath() + "/instrument";
  options.szLogPath = folder.GetPath() + "/sim.log";
  sim::cSimEngine engine(options);
  // The program opens the link: after a replug only the link leads to the new pty.
  const std::string link = folder.GetPath() + "/ttyHALVEX";
  if (!engine.Start(link)) {
    outcome.why = "the simulator did not start: " + engine.GetError();
    return outcome;
  }
  const bool bRecoverable = plan.kind < FIRST_UNRECOVERABLE;
  const int64_t limitMs = bRecoverable ? 60000 : settings.limitMs;
  // The longest an unrecoverable run may take: two waits of the limit (for the installer or
  // an acknowledgement, and for the instrument's return), the exit word's attempts and the
  // pause before the exit, with room to spare.
  const int64_t boundMs = bRecoverable ? 180000 : 2 * limitMs + 20000;
  cChildProcess child;
  const std::string image = folder.GetPath() + "/files/" + IMAGE;
  if (!child.Start({settings.installer, "-AUTO", "-PORT=COM1"},
                   {{"HALVEX_COM1", link}, {"HALVEX_TEST_TIME_LIMIT_MS", std::to_string(limitMs)}},
                   folder.GetPath())) {
    outcome.why = "halvex-installer did not start";
    return outcome;
  }
  bool bCut = false;
  const int64_t deadline = platform::GetMonotonicMs() + boundMs + 30000;
  while (!child.HasEnded() && platform::GetMonotonicMs() < deadline) {
    child.Wait(20);
    if (plan.kind == KIND_TRUNCATED && !bCut &&
        engine.GetRecords().GetCounts().packetsReceived >= plan.truncateAfterPackets) {
      bCut = truncate(image.c_str(), static_cast<off_t>(plan.truncateTo)) == 0;
    }
  }
  if (!child.HasEnded()) child.Kill();
  engine.Stop();

  const sim::cSimRecorder& records = engine.GetRecords();
  outcome.counts = records.GetCounts();
  outcome.violations = records.GetViolations().size();
  outcome.exitStatus = child.GetExitStatus();
  outcome.elapsedMs = child.GetElapsedMs();
  const std::string& out = child.GetOut();
  const bool bDone = Contains(out, " Done!");
  std::string why;
  if (bRecoverable) {
    const std::string stored = folder.GetPath() + "/instrument/" + IMAGE;
    if (child.GetExitStatus() != 0)
      why += "exit status " + std::to_string(outcome.exitStatus) + "; ";
    if (!bDone) why += "no \" Done!\"; ";
    if (!SameFileBytes(stored, image)) {
      why += "the stored image differs or is missing; ";
      outcome.bMismatch = bDone || child.GetExitStatus() == 0;
    }
    if (outcome.violations > 0) why += "violation: " + records.GetViolations()[0] + "; ";
    if (plan.kind == KIND_UNPLUG_REPLUG &&
        (outcome.counts.faultUnplugs != 1 || outcome.counts.faultReplugs != 1)) {
      why += "the port was not unplugged and plugged in again; ";
    }
  } else {
    const bool bFailureLine =
        Contains(out, "Time limit:") || Contains(out, "failed!") || Contains(out, "Unable to");
    if (bDone) {
      why += "\" Done!\" after an unrecoverable fault; ";
      outcome.bMismatch = true;
    }
    if (child.GetExitStatus() == 0) {
      why += "exit status 0; ";
      outcome.bMismatch = true;
    }
    if (!child.HasEnded() || child.GetExitStatus() < 0) why += "did not end by itself; ";
    if (!bFailureLine) why += "no failure line; ";
    if (outcome.elapsedMs > boundMs) {
      why += "took " + std::to_string(outcome.elapsedMs) + " ms, above " + std::to_string(boundMs) +
             " ms; ";
    }
    if (plan.kind == KIND_UNPLUGGED) {
      // The wait is quiet: one line about the port, no line per attempt.
      if (outcome.counts.faultUnplugs != 1) why += "the port was not unplugged; ";
      if (!Contains(out, "Lost COM1!") || out.find("Lost COM1!") != out.rfind("Lost COM1!")) {
        why += "not exactly one line about the lost port; ";
      }
      if (out.size() > 4000 || !child.GetErr().empty()) why += "not quiet while waiting; ";
    }
    if (plan.kind == KIND_TRUNCATED) {
      if (!bCut) why += "the image was not cut during the transfer; ";
      if (!records.GetFiles().empty()) {
        why += "the instrument stored the cut image; ";
        outcome.bMismatch = true;
      }
    }
  }
  // A port that merely falls silent (or answers late) is never taken for one that vanished.
  if (outcome.counts.faultUnplugs == 0 && Contains(out, "Lost COM")) {
    why += "a silent or slow line was taken for a lost port; ";
  }
  if (std::getenv("HALVEX_SOAK_SHOW")) why += "(shown) ";
  outcome.bOk = why.empty();
  if (!outcome.bOk) {
    outcome.why = why + "\n    output: " + Tail(out, std::getenv("HALVEX_SOAK_SHOW") ? 3000 : 600) +
                  "\n    transcript kept: ";
    // Keep the transcript of a failed run for the report.
    const std::string kept = "/tmp/halvex-soak-failed-" + std::to_string(plan.index) + ".log";
    const std::string copy = "cp '" + folder.GetPath() + "/sim.log' '" + kept + "'";
    outcome.why += std::system(copy.c_str()) == 0 ? kept : "(could not copy)";
  }
  return outcome;
}

bool ParseArguments(int argc, char** argv, sSettings& settings) {
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool bValue = i + 1 < argc;
    if (arg == "--unrecoverable" && bValue) {
      settings.unrecoverable = std::atoi(argv[++i]);
    } else if (arg == "--parallel" && bValue) {
      settings.parallel = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--limit-ms" && bValue) {
      settings.limitMs = std::max(500, std::atoi(argv[++i]));
    } else if (arg == "--only" && bValue) {
      settings.only = std::atoi(argv[++i]);
    } else if (arg == "--max-size" && bValue) {
      settings.maxSize = std::max<uint64_t>(3 * 16384, std::strtoull(argv[++i], nullptr, 10));
    } else if (arg == "--results" && bValue) {
      settings.results = argv[++i];
    } else if (arg == "--installer" && bValue) {
      settings.installer = argv[++i];
    } else if (!arg.empty() && arg[0] != '-' && positional == 0) {
      settings.runs = std::max(0, std::atoi(arg.c_str()));
      ++positional;
    } else if (!arg.empty() && arg[0] != '-' && positional == 1) {
      settings.seed = static_cast<uint32_t>(std::strtoul(arg.c_str(), nullptr, 10));
      ++positional;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  sSettings settings;
  if (!ParseArguments(argc, argv, settings)) {
    std::fprintf(
        stderr,
        "usage: halvex-soak [runs] [seed] [--unrecoverable N] [--parallel N] "
        "[--limit-ms N] [--only I] [--max-size BYTES] [--results FILE] [--installer PATH]\n");
    return 2;
  }
  if (settings.installer.empty())
    // The test tree's build of the program: it takes the short limits the soak gives it.
    settings.installer = bench::ExecutableFolder() + "/halvex-installer-test";
  const int unrecoverable = settings.unrecoverable >= 0
                                ? settings.unrecoverable
                                : std::max(KIND_COUNT - 1, settings.runs / 5);
  const int total = settings.runs + unrecoverable;
  std::vector<sPlan> plans;
  for (int i = 0; i < total; ++i) {
    if (settings.only < 0 || settings.only == i)
      plans.push_back(MakePlan(settings, i, unrecoverable));
  }
  std::printf("halvex-soak: %d recoverable and %d unrecoverable runs, seed %u, %d at a time\n",
              settings.runs, unrecoverable, settings.seed, settings.parallel);
  std::fflush(stdout);

  std::vector<sOutcome> outcomes(plans.size());
  std::atomic<size_t> next(0);
  std::mutex printing;
  auto worker = [&]() {
    for (size_t i; (i = next++) < plans.size();) {
      outcomes[i] = Run(settings, plans[i]);
      std::lock_guard<std::mutex> lock(printing);
      std::printf("%s %s -> exit %d in %.1f s\n", outcomes[i].bOk ? "ok  " : "FAIL",
                  Describe(plans[i]).c_str(), outcomes[i].exitStatus,
                  static_cast<double>(outcomes[i].elapsedMs) / 1000.0);
      if (!outcomes[i].bOk) std::printf("    %s\n", outcomes[i].why.c_str());
      std::fflush(stdout);
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < settings.parallel; ++i) threads.emplace_back(worker);
  for (std::thread& thread : threads) thread.join();

  // The sums.
  int runs[KIND_COUNT] = {}, passed[KIND_COUNT] = {};
  int64_t longest[KIND_COUNT] = {};
  long long naks = 0, lost = 0, garbage = 0, delayed = 0, slowStarts = 0, slowBoots = 0;
  long long hangups = 0, neverStarted = 0, withheld = 0, cuts = 0, packets = 0, mismatches = 0;
  long long unplugs = 0, replugs = 0;
  for (size_t i = 0; i < plans.size(); ++i) {
    const sPlan& plan = plans[i];
    const sOutcome& outcome = outcomes[i];
    runs[plan.kind]++;
    if (outcome.bOk) passed[plan.kind]++;
    longest[plan.kind] = std::max(longest[plan.kind], outcome.elapsedMs);
    naks += outcome.counts.faultNaks;
    lost += outcome.counts.faultAcksDropped;
    garbage += outcome.counts.faultGarbageSent;
    delayed += outcome.counts.faultAcksDelayed;
    hangups += outcome.counts.faultHangups;
    neverStarted += outcome.counts.faultInstallerNeverStarted;
    withheld += outcome.counts.faultRebootsWithheld;
    unplugs += outcome.counts.faultUnplugs;
    replugs += outcome.counts.faultReplugs;
    packets += outcome.counts.packetsReceived;
    const bool bRecoverable = plan.kind < FIRST_UNRECOVERABLE;
    if (bRecoverable && plan.options.installerStartMs > 2000) slowStarts++;
    if (bRecoverable && plan.options.bootMs > 2000) slowBoots++;
    if (plan.kind == KIND_TRUNCATED) cuts++;
    if (outcome.bMismatch) mismatches++;
  }
  const long long faults = naks + lost + garbage + delayed + slowStarts + slowBoots + hangups +
                           neverStarted + withheld + cuts + unplugs;
  const long long resends = naks + lost;
  int failed = 0;
  std::printf("\n%-28s %6s %6s %12s\n", "kind", "runs", "passed", "longest (s)");
  for (int k = 0; k < KIND_COUNT; ++k) {
    if (runs[k] == 0) continue;
    std::printf("%-28s %6d %6d %12.1f\n", KIND_NAMES[k], runs[k], passed[k],
                static_cast<double>(longest[k]) / 1000.0);
    failed += runs[k] - passed[k];
  }
  std::printf(
      "\nfaults injected: %lld (refusals %lld, lost packets %lld, garbage before answers %lld, "
      "late answers %lld, installer starts over 2 s %lld, reboots over 2 s %lld, hang-ups %lld, "
      "installers never started %lld, instruments never back %lld, images cut %lld, ports "
      "unplugged %lld, of them plugged in again %lld)\n",
      faults, naks, lost, garbage, delayed, slowStarts, slowBoots, hangups, neverStarted, withheld,
      cuts, unplugs, replugs);
  std::printf("packets the instrument received: %lld\n", packets);
  std::printf("runs %zu\nfaults %lld\nresends %lld\nmismatches %lld\nfailed %d\n", plans.size(),
              faults, resends, mismatches, failed);
  if (!settings.results.empty()) {
    FILE* results = std::fopen(settings.results.c_str(), "a");
    if (results != nullptr) {
      const char* const tags[] = {"recoverable",       "unplug-replug", "hangup",
                                  "never-starts",      "never-returns", "image-cut",
                                  "unplugged-for-good"};
      for (int k = 0; k < KIND_COUNT; ++k) {
        if (runs[k] == 0) continue;
        std::fprintf(results, "%s soak:%s %d/%d\n", passed[k] == runs[k] ? "PASS" : "FAIL", tags[k],
                     passed[k], runs[k]);
      }
      std::fprintf(results, "%s soak:mismatches %lld\n", mismatches == 0 ? "PASS" : "FAIL",
                   mismatches);
      std::fclose(results);
    }
  }
  return failed == 0 && mismatches == 0 ? 0 : 1;
}
