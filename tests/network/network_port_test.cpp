#include <gtest/gtest.h>

#include <string>

#include "comm/network_port.h"

namespace {

TEST(NetworkPortName, NamesAddressesAndPortsAreTakenApart) {
  struct {
    const char* text;
    eNetworkMode mode;
    const char* host;
    uint16_t port;
  } const accepted[] = {
      {"rfc2217://bench3:2217", NETWORK_RFC2217, "bench3", 2217},
      {"socket://rack-2.lab.example:4001", NETWORK_SOCKET, "rack-2.lab.example", 4001},
      {"rfc2217://192.168.1.20:1", NETWORK_RFC2217, "192.168.1.20", 1},
      {"rfc2217://[::1]:65535", NETWORK_RFC2217, "::1", 65535},
      {"socket://[fe80::a00:27ff:fe4e:66a1]:7000", NETWORK_SOCKET, "fe80::a00:27ff:fe4e:66a1",
       7000},
      {"rfc2217://[::ffff:10.0.0.1]:23", NETWORK_RFC2217, "::ffff:10.0.0.1", 23},
      {"rfc2217://[1:2:3:4:5:6:7:8]:23", NETWORK_RFC2217, "1:2:3:4:5:6:7:8", 23},
      {"rfc2217://3com:23", NETWORK_RFC2217, "3com", 23},
  };
  for (const auto& entry : accepted) {
    stNetworkPort port;
    ASSERT_TRUE(ParseNetworkPort(entry.text, &port)) << entry.text;
    EXPECT_EQ(port.mode, entry.mode) << entry.text;
    EXPECT_EQ(port.host, entry.host) << entry.text;
    EXPECT_EQ(port.port, entry.port) << entry.text;
    // The name the program shows is the one given.
    EXPECT_EQ(FormatNetworkPort(port), entry.text);
  }
}

TEST(NetworkPortName, AnythingElseIsNoNetworkPort) {
  const char* const refused[] = {
      "COM1", "", "rfc2217://", "rfc2217://bench3", "rfc2217://bench3:", "rfc2217://:2217",
      "RFC2217://bench3:2217", "telnet://bench3:2217", " rfc2217://bench3:2217",
      "rfc2217://bench3:2217 ", "rfc2217://bench3:2217/", "xrfc2217://bench3:2217",
      "rfc2217://bench3:0", "rfc2217://bench3:65536", "rfc2217://bench3:02217",
      "rfc2217://bench3:+22", "rfc2217://bench 3:2217", "rfc2217://bench_3:2217",
      "rfc2217://-bench:2217", "rfc2217://bench-:2217", "rfc2217://a..b:2217",
      "rfc2217://bench.:2217", "rfc2217://user@bench:2217",
      // All-numeric names must be IPv4 addresses, written without leading zeros.
      "rfc2217://1.2.3:2217", "rfc2217://256.1.1.1:2217", "rfc2217://10.0.0.01:2217",
      "rfc2217://2217:2217", "rfc2217://host.123:2217",
      // IPv6 only in brackets, and well formed.
      "rfc2217://::1:2217", "rfc2217://[::1]", "rfc2217://[::1]2217", "rfc2217://[::1:2217",
      "rfc2217://[1::2::3]:2217", "rfc2217://[12345::]:2217", "rfc2217://[1:2:3:4:5:6:7:8:9]:23",
      "rfc2217://[1:2:3:4:5:6:7]:23", "rfc2217://[:1]:23", "rfc2217://[1:]:23",
      "rfc2217://[::1%eth0]:23", "rfc2217://[bench3]:23", "rfc2217://[]:23"};
  for (const char* text : refused) {
    stNetworkPort port;
    port.host = "kept";
    EXPECT_FALSE(ParseNetworkPort(text, &port)) << text;
    EXPECT_EQ(port.host, "kept") << text;
  }
  EXPECT_FALSE(ParseNetworkPort(nullptr, nullptr));
  // A name may have 253 characters in labels of up to 63.
  const std::string label(63, 'a');
  const std::string longest = label + "." + label + "." + label + "." + std::string(61, 'b');
  stNetworkPort port;
  EXPECT_TRUE(ParseNetworkPort(("socket://" + longest + ":1").c_str(), &port));
  EXPECT_FALSE(ParseNetworkPort(("socket://" + longest + "b:1").c_str(), &port));
  EXPECT_FALSE(ParseNetworkPort(("socket://" + label + "a:1").c_str(), &port));
}

}  // namespace
