// Reading the session bus address, and the texts the bus would refuse.

#include "session_bus.h"

#include <gtest/gtest.h>

namespace zorv::send {
namespace {

TEST(ZorvSendBus, FindsTheSocketsOfAnAddress) {
  using Sockets = std::vector<SocketAddress>;
  const std::pair<std::string, Sockets> cases[] = {
      {"unix:path=/run/user/1000/bus", {{"/run/user/1000/bus", false}}},
      {"unix:abstract=/tmp/dbus-AbC,guid=0123", {{"/tmp/dbus-AbC", true}}},
      {"unix:guid=0123,path=/tmp/a%20b%2c", {{"/tmp/a b,", false}}},
      {"tcp:host=localhost,port=1;unix:path=/b;unix:tmpdir=/tmp", {{"/b", false}}},
      {"unix:path=/a;unix:abstract=b", {{"/a", false}, {"b", true}}},
      {"autolaunch:", {}},
  };
  for (const auto& [address, sockets] : cases) {
    EXPECT_EQ(socketAddresses(address), sockets) << address;
  }
}

TEST(ZorvSendBus, AcceptsOnlyTextsTheBusTakes) {
  const std::pair<std::string, bool> cases[] = {
      {"{\"menu\":\"Ünïcode €𝄞\"}", true},
      {std::string("a\0b", 3), false},
      {"\xc3", false},
      {"\xc0\xaf", false},          // overlong "/"
      {"\xed\xa0\x80", false},      // a surrogate
      {"\xf4\x90\x80\x80", false},  // beyond U+10FFFF
      {"\xff", false},
  };
  for (const auto& [text, valid] : cases) EXPECT_EQ(isValidUtf8(text), valid) << text;
}

}  // namespace
}  // namespace zorv::send
