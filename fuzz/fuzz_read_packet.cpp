// The installer engine's packet reception over a line that delivers the fuzz input:
// ReadPacket in a loop, or the installer check (command word, name, five reply packets)
// whose acknowledgements and replies come from the input.
#include <memory>

#include "fuzz/fake_line.h"
#include "fuzz/fuzz_support.h"
#include "instrument/halvex_installer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceNotices();
  if (size < 2) return 0;
  const uint8_t plan = data[0];
  fuzz::SetLineChunk(data[1] % 2 == 0 ? 16384 : data[1] % 61 + 1);
  fuzz::SetLineInput(data + 2, size - 2);

  cHalvexInstaller installer;
  fuzz::Require(installer.Connect(COM1, BAUD_115200), "the fake port opens");
  // Exactly the receive buffer's size on the heap, so any write past it is caught.
  std::unique_ptr<char[]> buffer(new char[MAX_PACKET_LEN]);
  if (plan & 1) {
    installer.IsRunning();
  }
  for (int pass = 0; pass < 200 && fuzz::GetLineRemaining() > 0; ++pass) {
    int length = -1;
    const bool bPacket = installer.ReadPacket(buffer.get(), &length);
    if (bPacket) fuzz::Require(length >= 1 && length <= MAX_PACKET_LEN, "a packet fits");
  }
  return 0;
}
