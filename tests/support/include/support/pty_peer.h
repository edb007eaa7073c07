// The other end of a serial line, for every test that plays it: a scripted instrument that
// answers command lines, a scripted resident installer that answers packets, a recorder of raw
// bytes, or the program's side of a line that the simulator serves.
//
// Opening:
//   cPtyPeer peer(PORT);   natively a fresh pty pair; COM<PORT> leads to its slave
//                          (HALVEX_COM<PORT>), and the code under test opens COM<PORT>.
//                          A Win32 program cannot make a pty: under Wine the test run links two
//                          COM ports to one pty pair (HALVEX_TEST_LOOP="<port>,<peer port>"),
//                          the peer opens the second and GetPort() names the first to use.
//   peer.OpenTty(path, 57600)   (native) opens a line someone else serves, the simulator's
//                          pty, raw at that rate, as the program would.
// A reader thread records every byte that arrives (Received()) and, by mode:
//   StartRaw([responder])  nothing more, or answers single bytes (the default mode: raw)
//   StartLines()           splits lines at LF, records them (Lines(), Texts()) and answers the
//                          ones with a rule (Answer, AnswerOnce, SetResponder, SetSilent)
//   StartPackets([responder])  parses packets, records them (Packets()) and answers each as
//                          the responder says (support/packets.h)
// The test's own thread reads the same record in order with ReadByte, ReadLine, Receive and
// ReceiveN, and speaks the program's side of the packet framing with SendPacket, AwaitAck and
// ReadPacket. Every wait has a deadline.
#ifndef HALVEX_TESTS_SUPPORT_PTY_PEER_H
#define HALVEX_TESTS_SUPPORT_PTY_PEER_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/packets.h"
#include "util/no_copy.h"

// One line the peer received, without its CR LF.
struct sPeerLine {
  std::string text;
  int64_t ctReceived;  // when its first byte came, monotonic milliseconds
};

class cPtyPeer : private cNoCopy {
 public:
  // Bytes to write in answer to one received byte (empty: nothing).
  using ByteResponder = std::function<std::string(char byte)>;
  // Bytes to write in answer to a line without a rule (empty: nothing). Called with the
  // peer's lock held: it must not call the peer.
  using LineResponder = std::function<std::string(const std::string& line)>;
  // index counts the packets received so far, from 0.
  using PacketResponder = std::function<sAnswer(const sPacket& packet, size_t index)>;

  cPtyPeer();
  explicit cPtyPeer(int port);
  ~cPtyPeer();

  // A fresh line for COM<port> (see above); false with the reason in GetSkipReason().
  bool Open(int port);
#ifndef _WIN32
  // Opens the tty at path raw at baud, 8N1 plus extraCflags (for example CSTOPB or CRTSCTS).
  bool OpenTty(const std::string& path, uint32_t baud, unsigned extraCflags = 0);
  // Changes the settings of a line opened with OpenTty.
  bool SetLine(uint32_t baud, unsigned extraCflags = 0);
#endif
  // Closes the line for good, as a pulled cable.
  void Close();

  bool IsOpen() const {
    return bOpen;
  }
  const std::string& GetSkipReason() const {
    return szSkipReason;
  }
  // The COM number the code under test opens.
  int GetPort() const {
    return port;
  }
  // The path of the far end (the pty slave), or of the tty opened (native).
  const std::string& GetPath() const {
    return szPath;
  }

  void StartRaw(ByteResponder responder = nullptr);
  void StartLines();
  void StartPackets(PacketResponder responder = AckAll);

  // Writes every byte (false when the line refused them for 5 s).
  bool Write(const std::string& bytes);
  bool WriteLine(const std::string& text) {
    return Write(text + "\r\n");
  }

  // Every byte received so far, whatever the mode.
  std::string Received() const;
  bool WaitForReceived(size_t count, int timeoutMs) const;
  // Received() once it holds at least count bytes (or after timeoutMs).
  std::string ReceivedAtLeast(size_t count, int timeoutMs = 5000) const;

  // Reads in the test's thread, each from where the last one ended.
  // One byte, or -1 after timeoutMs.
  int ReadByte(int timeoutMs);
  // The next line without its CR LF; empty after timeoutMs without one.
  std::string ReadLine(int timeoutMs);
  // Everything until the line has been quiet for quietMs.
  std::string Receive(int quietMs);
  // At least n bytes, waiting at most timeoutMs; fewer when they do not come.
  std::string ReceiveN(size_t n, int timeoutMs);

  // Line mode: answers every arrival of line with reply and CR LF.
  void Answer(const std::string& line, const std::string& reply);
  // The next arrival of line only (queued before the rules of Answer).
  void AnswerOnce(const std::string& line, const std::string& reply);
  void SetResponder(LineResponder responder);
  // A silent peer records lines but answers none.
  void SetSilent(bool bSilent);
  std::vector<sPeerLine> Lines() const;
  // The texts of the lines from index first on.
  std::vector<std::string> Texts(size_t first = 0) const;
  // Forgets the bytes and lines received so far.
  void Clear();
  // Waits until line has arrived count times in all.
  bool WaitForLine(const std::string& line, size_t count, int timeoutMs) const;

  // Packet mode: the packets received, and the bytes read as answers to reply packets.
  std::vector<sPacket> Packets() const;
  std::string Acks() const;
  bool WaitForPackets(size_t count, int timeoutMs) const;
  bool WaitForAcks(size_t count, int timeoutMs) const;

  // The program's side of the packet framing.
  // True when "A" comes within timeoutMs; other bytes are skipped.
  bool AwaitAck(int timeoutMs);
  // Sends the packet until it is accepted, again after "N" or silence, at most tries times.
  bool SendPacket(const std::string& data, int tries = 30);
  // Reads one packet; answers "A" when its checksum is the sum expected, else "N".
  bool ReadPacket(std::string& data, int timeoutMs, bool bSignedSum = false);
  int resends = 0;  // packets SendPacket had to send again
  int ackTimeoutMs = 1000;

 private:
  enum eMode { MODE_RAW, MODE_LINES, MODE_PACKETS };

  void Start(eMode mode);
  void StopReader();
  void Run();
  void TakeLineBytes(const std::string& bytes, int64_t ctNow);
  // The reply by the rules of line mode (called with the lock held).
  std::string ReplyTo(const std::string& line);
  void TakePacketBytes(const std::string& bytes);
  void Play(const sAnswer& answer);
  // The test's reads: up to n bytes from where the last one ended, or exactly n within
  // timeoutMs.
  std::string Take(size_t n);
  bool ReadExactly(size_t n, int timeoutMs, std::string& bytes);
  // Waits until condition() holds (called with the lock held) or timeoutMs passed.
  bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) const;
  // The platform's part: bytes that came within waitMs (empty: none), and writing.
  std::string ReadSome(int waitMs);
  int WriteSome(const char* data, size_t size);

  bool bOpen = false;
  std::string szSkipReason;
  int port = 0;
  std::string szPath;
#ifdef _WIN32
  void* device = nullptr;
#else
  int fd = -1;     // the end the peer reads and writes
  int slave = -1;  // kept open so the pty lives while the code under test reopens its port
#endif

  eMode mode = MODE_RAW;
  ByteResponder byteResponder;
  PacketResponder packetResponder;
  std::thread reader;
  std::atomic<bool> bStop{false};
  std::mutex writeLock;

  mutable std::mutex lock;
  mutable std::condition_variable arrived;
  std::string received;
  size_t readAt = 0;  // where the test's own reads go on
  // Line mode.
  std::string partial;
  int64_t ctPartial = 0;
  std::vector<sPeerLine> lines;
  std::map<std::string, std::string> answers;
  std::map<std::string, std::deque<std::string>> onceAnswers;
  LineResponder lineResponder;
  bool bSilent = false;
  // Packet mode (pending: bytes not yet parsed, only the reader touches it).
  std::string pending;
  int acksToRead = 0;
  std::vector<sPacket> packets;
  std::string acks;
};

// Skips the current test when the peer is not available (under Wine without the loop ports).
#define REQUIRE_PEER(peer)                                        \
  do {                                                            \
    if (!(peer).IsOpen()) GTEST_SKIP() << (peer).GetSkipReason(); \
  } while (0)

#endif
