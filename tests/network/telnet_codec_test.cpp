#include <gtest/gtest.h>

#include <string>

#include "comm/telnet_codec.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

// The data of received bytes, fed in pieces cut at `cut`.
std::string Decode(cTelnetCodec& codec, const std::string& wire, size_t cut, std::string& answers) {
  std::string data;
  codec.Receive(wire.data(), cut, data, answers);
  codec.Receive(wire.data() + cut, wire.size() - cut, data, answers);
  return data;
}

TEST(TelnetCodec, EveryByteValueCrossesUnchangedWhereverTheStreamIsCut) {
  std::string all;
  for (int value = 0; value < 256; ++value) all += static_cast<char>(value);
  all += Bytes({255, 255, 13, 0, 13, 10});
  std::string wire;
  cTelnetCodec::Escape(all.data(), all.size(), wire);
  EXPECT_EQ(wire.size(), all.size() + 3);
  EXPECT_EQ(wire.substr(255, 6), Bytes({255, 255, 255, 255, 255, 255}));
  for (size_t cut = 0; cut <= wire.size(); ++cut) {
    cTelnetCodec codec;
    std::string answers;
    ASSERT_EQ(Decode(codec, wire, cut, answers), all) << "cut at " << cut;
    EXPECT_TRUE(answers.empty());
  }
}

TEST(TelnetCodec, NegotiationAnswersOnlyWhatChangesSomething) {
  cTelnetCodec codec;
  std::string opening;
  codec.Start(opening);
  EXPECT_EQ(opening, Bytes({255, 251, 0, 255, 253, 0, 255, 251, 3, 255, 253, 3, 255, 251, 44}));
  EXPECT_EQ(codec.Ours(telnet::OPTION_COM_PORT), TELNET_OPTION_ASKED);

  // What ser2net sends on a new connection: only its offer to echo is refused.
  const std::string server = Bytes(
      {255, 251, 3, 255, 253, 3, 255, 251, 1, 255, 254, 1, 255, 253, 0, 255, 251, 0, 255, 253, 44});
  std::string data, answers;
  codec.Receive(server.data(), server.size(), data, answers);
  EXPECT_TRUE(data.empty());
  EXPECT_EQ(answers, Bytes({255, 254, 1}));
  for (unsigned char option : {telnet::OPTION_BINARY, telnet::OPTION_SGA}) {
    EXPECT_EQ(codec.Ours(option), TELNET_OPTION_ON);
    EXPECT_EQ(codec.Theirs(option), TELNET_OPTION_ON);
  }
  EXPECT_EQ(codec.Ours(telnet::OPTION_COM_PORT), TELNET_OPTION_ON);
  // The same again changes nothing and is not answered: the two sides never loop.
  answers.clear();
  codec.Receive(server.data(), server.size(), data, answers);
  EXPECT_EQ(answers, Bytes({255, 254, 1}));

  // Options this client does not take part in are refused; a server offering the com port
  // option itself is refused too. A withdrawn option is acknowledged once.
  answers.clear();
  const std::string more = Bytes({255, 253, 24, 255, 251, 44, 255, 254, 3, 255, 254, 3});
  codec.Receive(more.data(), more.size(), data, answers);
  EXPECT_EQ(answers, Bytes({255, 252, 24, 255, 254, 44, 255, 252, 3}));
  EXPECT_EQ(codec.Ours(telnet::OPTION_SGA), TELNET_OPTION_OFF);

  // A server without the com port option refuses it: that is no answer to give.
  cTelnetCodec plain;
  plain.Start(opening);
  answers.clear();
  const std::string refusal = Bytes({255, 254, 44});
  plain.Receive(refusal.data(), refusal.size(), data, answers);
  EXPECT_EQ(plain.Ours(telnet::OPTION_COM_PORT), TELNET_OPTION_OFF);
  EXPECT_TRUE(answers.empty());
}

TEST(TelnetCodec, CommandsAndNotificationsNeverReachTheData) {
  // Data around a NOP, a go-ahead, the modem state, a line state with a doubled 0xFF, an
  // unknown subnegotiation, a speed confirmation whose value holds 0xFF, and a confirmation of
  // the purge.
  const std::string wire = "ab" + Bytes({255, 241}) + "c" + Bytes({255, 249}) +
                           Bytes({255, 250, 44, 107, 0x30, 255, 240}) + "d" +
                           Bytes({255, 250, 44, 106, 255, 255, 255, 240}) +
                           Bytes({255, 250, 24, 0, 1, 2, 255, 240}) +
                           Bytes({255, 250, 44, 101, 0, 1, 255, 255, 0, 255, 240}) + "e" +
                           Bytes({255, 250, 44, 112, 1, 255, 240}) + "f";
  for (size_t cut = 0; cut <= wire.size(); ++cut) {
    cTelnetCodec codec;
    std::string answers;
    ASSERT_EQ(Decode(codec, wire, cut, answers), "abcdef") << "cut at " << cut;
    ASSERT_EQ(codec.Replies().size(), 2u);
    EXPECT_EQ(codec.Replies()[0].command, telnet::COM_SET_BAUDRATE);
    EXPECT_EQ(codec.Replies()[0].value, 0x0001FF00u);
    EXPECT_EQ(codec.Replies()[0].dataOffset, 4u);
    EXPECT_EQ(codec.Replies()[1].command, telnet::COM_PURGE_DATA);
    EXPECT_EQ(codec.Replies()[1].dataOffset, 5u);
  }
  // A subnegotiation that never ends swallows nothing beyond a command that ends it; a
  // confirmation with a value of the wrong length is no confirmation.
  cTelnetCodec codec;
  std::string data, answers;
  const std::string broken = Bytes({255, 250, 44, 101}) + std::string(100, 'x') +
                             Bytes({255, 241}) + "g" + Bytes({255, 250, 44, 102, 8, 8, 255, 240});
  codec.Receive(broken.data(), broken.size(), data, answers);
  EXPECT_EQ(data, "g");
  EXPECT_TRUE(codec.Replies().empty());
}

}  // namespace
