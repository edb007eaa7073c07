// What the field tools say about ports: the -PORTS listing and the reason a port did not open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/serial.h"
#include "platform/port_list.h"
#include "support/notices.h"
#include "support/pty_peer.h"

#ifndef _WIN32
#include <errno.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/open_failure.h"
#include "support/temp_folder.h"
#endif

namespace {

// The text of the notice a failed open shows, with its reason on the second line.
std::string OpenNotice(ePort port) {
  cNoticeRecorder notices;
  cSerial serial;
  EXPECT_FALSE(serial.Initialize(port, BAUD_57600, '*', PROTOCOL_PLAIN, true));
  const std::vector<std::string> texts = notices.Texts();
  return texts.size() == 1 ? texts[0] : std::string();
}

#ifndef _WIN32

class PortListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int port = 1; port <= 16; ++port) unsetenv(("HALVEX_COM" + std::to_string(port)).c_str());
  }
  // A fake device: a link to a character device that is not a serial port.
  void Device(const std::string& relative) {
    std::filesystem::create_symlink("/dev/null", root.GetPath() + "/" + relative);
  }
  std::vector<std::string> List() {
    return platform::ListSerialPorts({root.GetPath(), root.GetPath() + "/serial/by-id"});
  }

  cTempFolder root;
};

TEST_F(PortListTest, EachComPortWithItsPathAndTheAdaptersWithTheLineThatUsesThem) {
  Device("ttyS0");
  Device("ttyUSB10");
  Device("ttyUSB2");
  Device("ttyACM0");
  root.WriteFile("ttyUSB3", "");  // a plain file is no adapter
  root.MakeFolder("serial/by-id");
  std::filesystem::create_symlink("../../ttyUSB2", root.GetPath() + "/serial/by-id/usb-FTDI_A1");
  setenv("HALVEX_COM3", "/nowhere/port", 1);
  const std::string dev = root.GetPath();

  const std::vector<std::string> lines = List();
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[0], "COM1  " + dev + "/ttyS0: exists");
  EXPECT_EQ(lines[1], "COM2  " + dev + "/ttyS1: missing");
  EXPECT_EQ(lines[2], "COM3  /nowhere/port (HALVEX_COM3): missing");
  EXPECT_EQ(lines[15], "COM16 " + dev + "/ttyS15: missing");
  EXPECT_EQ(lines[16], "USB and ACM adapters (use one as COM1 with the line behind it):");
  const std::string byId = dev + "/serial/by-id/usb-FTDI_A1";
  EXPECT_EQ(lines[17], byId + " -> " + dev + "/ttyUSB2  HALVEX_COM1=" + byId +
                           " halvex-installer -AUTO -PORT=COM1");
  EXPECT_EQ(lines[18],
            dev + "/ttyACM0  HALVEX_COM1=" + dev + "/ttyACM0 halvex-installer -AUTO -PORT=COM1");
  EXPECT_EQ(lines[19].rfind(dev + "/ttyUSB2  HALVEX_COM1=", 0), 0u) << lines[19];
  EXPECT_EQ(lines[20].rfind(dev + "/ttyUSB10  HALVEX_COM1=", 0), 0u) << "numeric order";
}

TEST_F(PortListTest, NoAdaptersIsSaidAndAMappedPathThatIsNoDeviceIsNamed) {
  root.WriteFile("plain", "");
  setenv("HALVEX_COM2", (root.GetPath() + "/plain").c_str(), 1);
  const std::vector<std::string> lines = List();
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[1],
            "COM2  " + root.GetPath() + "/plain (HALVEX_COM2): exists, but is no serial device");
  EXPECT_EQ(lines[16].rfind("No USB or ACM adapters found (", 0), 0u) << lines[16];
}

TEST(OpenFailureText, NamesTheDeviceTheSystemsReasonAndWhatToDo) {
  const std::string denied = platform::DescribeOpenErrno(4, "/dev/ttyUSB0", EACCES, "dialout");
  EXPECT_EQ(denied.substr(0, 38), "/dev/ttyUSB0 (COM4): Permission denied");
  EXPECT_NE(denied.find("group that owns the device (dialout)"), std::string::npos) << denied;
  EXPECT_NE(denied.find("usermod -a -G dialout"), std::string::npos) << denied;

  const std::string busy = platform::DescribeOpenErrno(1, "/dev/ttyS0", EBUSY, "");
  EXPECT_NE(busy.find("Device or resource busy"), std::string::npos) << busy;
  EXPECT_NE(busy.find("Another program holds the port"), std::string::npos) << busy;

  const std::string missing = platform::DescribeOpenErrno(2, "/dev/ttyS1", ENOENT, "");
  EXPECT_NE(missing.find("No such file or directory"), std::string::npos) << missing;
  EXPECT_NE(missing.find("HALVEX_COM2=<device>"), std::string::npos) << missing;
}

TEST(OpenFailure, AMissingDeviceAndAPortHeldByAnotherOpenerAreNamedWhenTheyHappen) {
  setenv("HALVEX_COM7", "/nonexistent/ttyUSB9", 1);
  const std::string missing = OpenNotice(COM7);
  EXPECT_EQ(missing.substr(0, missing.find('\n')), "Could not open:COM7 serial port")
      << "the report line stays as it was";
  EXPECT_NE(missing.find("\n/nonexistent/ttyUSB9 (COM7): No such file or directory."),
            std::string::npos)
      << missing;

  cPtyPeer peer(9);
  REQUIRE_PEER(peer);
  const ePort port = static_cast<ePort>(peer.GetPort());
  cSerial holder;
  ASSERT_TRUE(holder.Initialize(port, BAUD_57600, '*', PROTOCOL_PLAIN, false));
  const std::string busy = OpenNotice(port);
  EXPECT_NE(busy.find("Device or resource busy. Another program holds the port"), std::string::npos)
      << busy;
}

#else

TEST(PortList, ListsThePortsThatExistAsThePortBoxFindsThem) {
  std::vector<std::string> expected;
  for (int port = 1; port <= 16; ++port) {
    if (platform::SerialPortExists(port)) expected.push_back("COM" + std::to_string(port) + " ");
  }
  const std::vector<std::string> lines = platform::ListSerialPorts(platform::GetPortRoots());
  ASSERT_EQ(lines.size(), expected.empty() ? 1u : expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(lines[i].substr(0, expected[i].size()), expected[i]) << lines[i];
    EXPECT_GT(lines[i].size(), expected[i].size() + 1) << "the device it stands for";
  }
}

TEST(OpenFailure, APortWithoutADeviceGivesTheSystemsMessage) {
  // COM7 is mapped in the test prefix to a link that no test creates.
  const std::string text = OpenNotice(COM7);
  EXPECT_EQ(text.substr(0, text.find('\n')), "Could not open:COM7 serial port");
  EXPECT_NE(text.find("\n\\\\.\\COM7 (COM7): "), std::string::npos) << text;
  EXPECT_NE(text.find("(error "), std::string::npos) << text;
}

#endif

}  // namespace
