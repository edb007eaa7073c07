// What a serial device server may send: the telnet codec on its own (the same data, answers
// and confirmations however the stream is cut), then the network channel opening, reading,
// purging and writing over a connection that delivers the fuzz input.
#include <cstring>
#include <memory>
#include <string>

#include "comm/network_channel.h"
#include "comm/telnet_codec.h"
#include "fuzz/fake_socket.h"
#include "fuzz/fuzz_support.h"

namespace {

void CheckCodec(const uint8_t* data, size_t size, size_t chunk) {
  cTelnetCodec whole, cut;
  std::string opening;
  whole.Start(opening);
  cut.Start(opening);
  std::string wholeData, wholeAnswers, cutData, cutAnswers;
  whole.Receive(reinterpret_cast<const char*>(data), size, wholeData, wholeAnswers);
  for (size_t at = 0; at < size; at += chunk) {
    const size_t n = size - at < chunk ? size - at : chunk;
    cut.Receive(reinterpret_cast<const char*>(data) + at, n, cutData, cutAnswers);
  }
  fuzz::Require(wholeData == cutData, "the data does not depend on where the stream is cut");
  fuzz::Require(wholeAnswers == cutAnswers, "nor do the answers");
  fuzz::Require(wholeData.size() <= size, "data never grows");
  fuzz::Require(wholeAnswers.size() % 3 == 0, "answers are whole option commands");
  for (size_t i = 0; i < wholeAnswers.size(); i += 3) {
    const unsigned char verb = static_cast<unsigned char>(wholeAnswers[i + 1]);
    fuzz::Require(
        static_cast<unsigned char>(wholeAnswers[i]) == telnet::IAC && verb >= telnet::WILL,
        "an answer is IAC and WILL, WONT, DO or DONT");
  }
  fuzz::Require(whole.Replies().size() == cut.Replies().size(), "the same confirmations");
  for (size_t i = 0; i < whole.Replies().size(); ++i) {
    const stComPortReply& a = whole.Replies()[i];
    const stComPortReply& b = cut.Replies()[i];
    fuzz::Require(a.command == b.command && a.value == b.value && a.dataOffset == b.dataOffset,
                  "confirmations do not depend on where the stream is cut");
    fuzz::Require(a.dataOffset <= wholeData.size(), "a confirmation lies within the data");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceNotices();
  if (size < 2) return 0;
  const uint8_t plan = data[0];
  const size_t chunk = data[1] % 2 == 0 ? 16384 : data[1] % 61 + 1;
  data += 2;
  size -= 2;
  CheckCodec(data, size, chunk);

  fuzz::SetServerChunk(chunk);
  fuzz::SetServerInput(data, size, (plan & 2) != 0);
  cNetworkChannel channel;
  const eNetworkMode mode = (plan & 1) ? NETWORK_SOCKET : NETWORK_RFC2217;
  if (!channel.Initialize("server", 2217, mode, BAUD_115200, false)) {
    fuzz::Require(channel.GetOpenFailure()[0] != '\0', "a failed opening says why");
    return 0;
  }
  // Exactly as large as asked for, so that a read past it is caught.
  std::unique_ptr<char[]> buffer(new char[300]);
  for (int pass = 0; pass < 100 && fuzz::GetServerRemaining() > 0; ++pass) {
    // Reads most of the time; now and then a purge or a command, where the plan says.
    const int step = ((plan >> 2) + pass) % 8;
    if (step == 0) {
      channel.PurgeRx();
    } else if (step == 1) {
      channel.Write("ID?");
    } else if (step % 2 == 0) {
      const char* szLine = channel.ReadStripTerm();
      fuzz::Require(std::strlen(szLine) < MAX_NET_BUFF_LEN, "a line fits its buffer");
    } else {
      channel.ReadN(buffer.get(), 1 + pass * 37 % 300, 1.0f);
    }
    if (!channel.IsConnected()) {
      fuzz::Require(channel.IsLost(), "a connection that ends is lost");
      break;
    }
  }
  return 0;
}
