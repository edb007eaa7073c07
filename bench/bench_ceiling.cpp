// Software ceiling: a 16 MiB image through an unpaced pty, in MiB/s, next to the raw throughput
// of a pty measured in the same run by a plain loop that writes the same amount into the slave
// side in 16 KiB pieces while a thread reads it from the master side, as the program and the
// instrument do. Two figures for the program:
//   - the program's transfer engine and serial channel (the code that runs in the transfer
//     phase) against a lean receiver that checks and acknowledges each packet: the program's
//     own ceiling;
//   - a whole automatic installation against halvex-sim, whose per-byte bookkeeping limits it.
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "instrument/halvex_installer.h"
#include "platform/clock.h"
#include "platform/notice.h"

namespace {

const uint64_t SIZE = 16 * 1024 * 1024;

void MakeRaw(int fd) {
  struct termios settings;
  tcgetattr(fd, &settings);
  cfmakeraw(&settings);
  cfsetspeed(&settings, B115200);
  tcsetattr(fd, TCSANOW, &settings);
}

// MiB/s of a plain write/read loop over a fresh raw pty pair; -1 when it could not be made.
double RawPtyMiBs() {
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return -1;
  MakeRaw(master);
  MakeRaw(slave);
  const int64_t start = platform::GetMonotonicMs();
  std::thread reader([master]() {
    std::vector<char> buffer(65536);
    uint64_t received = 0;
    while (received < SIZE) {
      const ssize_t n = read(master, buffer.data(), buffer.size());
      if (n <= 0) break;
      received += static_cast<uint64_t>(n);
    }
  });
  std::vector<char> chunk(16384, 'x');
  for (uint64_t sent = 0; sent < SIZE;) {
    const ssize_t n = write(slave, chunk.data(), chunk.size());
    if (n <= 0) break;
    sent += static_cast<uint64_t>(n);
  }
  reader.join();
  const double seconds = static_cast<double>(platform::GetMonotonicMs() - start) / 1000.0;
  close(master);
  close(slave);
  return static_cast<double>(SIZE) / 1048576.0 / seconds;
}

// Receives packets on the master side and answers each with "A" (a wrong sum with "N") until
// the end-of-file marker; the data bytes it accepted go to *dataBytes.
void LeanReceiver(int master, uint64_t* dataBytes) {
  std::vector<uint8_t> buffer(1 << 16);
  size_t have = 0;
  int packets = 0;
  for (;;) {
    const ssize_t n = read(master, buffer.data() + have, buffer.size() - have);
    if (n <= 0) return;
    have += static_cast<size_t>(n);
    size_t at = 0;
    for (;;) {
      if (have - at < 4) break;
      uint32_t length = 0;
      for (int i = 3; i >= 0; --i) length = (length << 8) | buffer[at + static_cast<size_t>(i)];
      if (length == 0) return;  // the end-of-file marker
      if (have - at < 8 + length) break;
      uint32_t sum = 0, expected = 0;
      for (int i = 3; i >= 0; --i)
        expected = (expected << 8) | buffer[at + 4 + static_cast<size_t>(i)];
      for (uint32_t i = 0; i < length; ++i) sum += buffer[at + 8 + i];
      const char answer = sum == expected ? 'A' : 'N';
      if (answer == 'A' && ++packets > 3) *dataBytes += length;  // after word, name and size
      if (write(master, &answer, 1) != 1) return;
      at += 8 + length;
    }
    std::copy(buffer.begin() + static_cast<long>(at), buffer.begin() + static_cast<long>(have),
              buffer.begin());
    have -= at;
  }
}

void IgnoreNotice(const char*, const char*, platform::eNoticeIcon) {}

// MiB/s of the program's transfer engine sending the file at path; -1 on failure.
double EngineMiBs(const std::string& path) {
  int master = -1, slave = -1;
  char szName[256] = {0};
  if (openpty(&master, &slave, szName, nullptr, nullptr) != 0) return -1;
  MakeRaw(master);
  MakeRaw(slave);
  setenv("HALVEX_COM9", szName, 1);
  platform::SetNoticeHandler(IgnoreNotice);
  uint64_t dataBytes = 0;
  double seconds = -1;
  {
    cHalvexInstaller installer;
    if (installer.Connect(COM9, BAUD_115200) &&
        installer.InitializeTransfer(path.c_str(), "main_020105.bin")) {
      std::thread receiver(LeanReceiver, master, &dataBytes);
      const int64_t start = platform::GetMonotonicMs();
      while (!installer.TransferComplete() && !installer.TransferFailed() &&
             platform::GetMonotonicMs() - start < 120000) {
        installer.Update();
      }
      seconds = static_cast<double>(platform::GetMonotonicMs() - start) / 1000.0;
      receiver.join();
      installer.Disconnect();
    }
  }
  close(master);
  close(slave);
  if (seconds <= 0 || dataBytes != SIZE) return -1;
  return static_cast<double>(SIZE) / 1048576.0 / seconds;
}

}  // namespace

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int main() {
  // Three trials each, interleaved, so that a passing load on the machine touches both alike.
  cTempFolder folder;
  const std::string image = folder.GetPath() + "/main_020105.bin";
  if (!bench::WriteImage(image, SIZE, 7)) return 1;
  std::vector<double> raws, engines;
  for (int trial = 0; trial < 3; ++trial) {
    raws.push_back(RawPtyMiBs());
    engines.push_back(EngineMiBs(image));
  }
  const double rawBefore = Median(raws);
  const double engine = Median(engines);
  bench::sInstallation setup;
  setup.imageSize = SIZE;
  setup.simOptions = {"--installer-start-ms", "200", "--boot-ms", "300"};
  const bench::sInstallationResult run = bench::RunInstallation(setup);
  const double rawAfter = RawPtyMiBs();
  if (!run.bStarted || run.exitStatus != 0 || !run.bIdentical || run.TransferSeconds() <= 0) {
    std::printf("software ceiling: the installation failed (exit %d)\n%s\n%s", run.exitStatus,
                run.out.c_str(), run.violations.c_str());
    return 1;
  }
  const double raw = rawBefore;
  const double program = static_cast<double>(SIZE) / 1048576.0 / run.TransferSeconds();
  const double cpu =
      static_cast<double>(run.usage.ru_utime.tv_sec + run.usage.ru_stime.tv_sec) +
      static_cast<double>(run.usage.ru_utime.tv_usec + run.usage.ru_stime.tv_usec) / 1e6;
  std::printf("Software ceiling: %llu-byte image through an unpaced pty\n",
              static_cast<unsigned long long>(SIZE));
  std::printf("  %-48s %10.1f MiB/s  (trials %.1f %.1f %.1f)\n",
              "program's transfer engine, lean receiver", engine, engines[0], engines[1],
              engines[2]);
  std::printf("  %-48s %10.3f s\n", "whole installation: transfer phase", run.TransferSeconds());
  std::printf("  %-48s %10.1f MiB/s\n", "whole installation against halvex-sim", program);
  std::printf("  %-48s %10.1f MiB/s  (trials %.1f %.1f %.1f)\n", "raw pty write/read loop", raw,
              raws[0], raws[1], raws[2]);
  std::printf("  %-48s %10.1f MiB/s\n", "raw pty loop after the installation", rawAfter);
  std::printf("  %-48s %10.3f\n", "ratio: program's engine / raw (medians)", engine / raw);
  std::printf("  %-48s %10.3f\n", "ratio: installation via halvex-sim / raw", program / raw);
  std::printf("  %-48s %10.3f s\n", "installer's CPU time, whole run", cpu);
  std::printf("  %-48s %10s\n", "target", "ratio >= 0.7");
  std::printf("ceiling_engine %.1f MiB/s\n", engine);
  std::printf("ceiling_installation_via_sim %.1f MiB/s\n", program);
  std::printf("ceiling_raw_pty %.1f MiB/s\n", raw);
  std::printf("ceiling_ratio %.3f ratio\n", engine / raw);
  std::printf("ceiling_ratio_via_sim %.3f ratio\n", program / raw);
  return 0;
}
